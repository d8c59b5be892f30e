#include <cstdio>

#include "sim.h"

namespace {

// The write takes the command's delay, a quarter per progress line; each
// line reaches the file as it is printed, so one interrupted shows how far
// the write got.
int writeSlot(const std::string &state, Device &device, const Image &image, int target,
              const Faults &faults, const Pace &pace) {
  std::size_t size = image.payload.size();
  std::printf("Erasing slot %d ... done\n", target);
  for (unsigned quarter = 1; quarter <= 4; quarter++) {
    pace.until(quarter, 4);
    std::printf("Writing slot %d: %zu of %zu bytes\n", target, size * quarter / 4, size);
    std::fflush(stdout);
    if (quarter == 2 && faults.flashSignal != 0) {
      dieBySignal(faults.flashSignal);
      std::printf("Signal %d did not end the tool.\n", faults.flashSignal);
      return internalStatus;
    }
  }
  char crc[16];
  std::snprintf(crc, sizeof crc, "0x%08lX", crc32(image.payload));
  std::printf("Verifying slot %d ... crc32 %s matches\n", target, crc);

  // The device goes on running its slot; the new image boots at the next
  // power cycle.
  device.levels[target - 1] = image.level;
  device.pending = target;
  std::string why;
  if (!saveDevice(state, device, why)) {
    std::printf("ERROR: the device state could not be kept: %s\n", why.c_str());
    return flashFailed;
  }
  std::printf("Slot %d now holds level %s; the device boots it at the next power cycle.\n", target,
              hexByte(image.level).c_str());
  return flashWritten;
}

int flashImage(const std::string &state, unsigned long address, const char *file,
               const Faults &faults, const Pace &pace) {
  std::printf("vxtool: simulated Vexo3 programmer\n");
  if (faults.flashStatus >= 0) {
    std::printf("Simulated fault: flash status %d; nothing was written.\n", faults.flashStatus);
    return faults.flashStatus;
  }
  // Held from the read of the state to its save: two flashes at once
  // would both find the slot to write and both write it.
  StateLock lock(state);
  Device device;
  if (!loadDeviceOrSay(state, device))
    return internalStatus;
  if (faults.absent || address != device.address) {
    std::printf("No Vexo3 answered at %s; nothing was written.\n", hexByte(address).c_str());
    return flashNoDevice;
  }
  int running = device.running;
  int target = 3 - running;
  std::printf("Vexo3 at %s: silicon ID %s, running image %d at level %s\n",
              hexByte(address).c_str(), hexWord(device.silicon).c_str(), running,
              hexByte(device.levels[running - 1]).c_str());

  std::string text;
  bool missing = false;
  Image image;
  std::string why;
  if (!readSmallFile(file, text, why, missing)) {
    std::printf("ERROR: cannot read the image: %s\n", why.c_str());
    return flashFailed;
  }
  if (!parseImage(text, image, why)) {
    std::printf("ERROR: %s: %s\n", file, why.c_str());
    return flashFailed;
  }
  std::printf("Image %s: slot %d, level %s, silicon ID %s, %zu bytes\n", file, image.slot,
              hexByte(image.level).c_str(), hexWord(image.silicon).c_str(), image.payload.size());

  // Each image is linked for its own slot; the free slot is the other one.
  if (image.slot != target) {
    std::printf("ERROR: the image is built for slot %d, but slot %d is the one to write.\n",
                image.slot, target);
    return flashFailed;
  }
  if (image.silicon != device.silicon) {
    std::printf("ERROR: the image is for silicon ID %s, the device has %s.\n",
                hexWord(image.silicon).c_str(), hexWord(device.silicon).c_str());
    return flashWrongSilicon;
  }
  // Up to date when the slot to write holds the level already: a rerun
  // before the power cycle finds the image it wrote and writes nothing.
  if (device.levels[target - 1] == image.level) {
    std::printf("Slot %d already holds level %s; nothing to write.\n", target,
                hexByte(image.level).c_str());
    if (device.pending == target)
      std::printf("It was written since the last power cycle and boots at the next.\n");
    return flashUpToDate;
  }
  return writeSlot(state, device, image, target, faults, pace);
}

} // namespace

// Every answer, written or not, takes the delay.
int runFlash(const std::string &state, unsigned long address, const char *file,
             const Faults &faults) {
  Pace pace(faults.delay);
  int status = flashImage(state, address, file, faults, pace);
  pace.until(1, 1);
  return status;
}
