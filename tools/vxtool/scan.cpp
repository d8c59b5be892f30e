#include <cstdio>

#include "sim.h"

int runScan(const std::string &state, unsigned long address, const Faults &faults) {
  Pace pace(faults.delay);
  Device device;
  {
    StateLock lock(state);
    if (!loadDeviceOrSay(state, device))
      return internalStatus;
  }
  std::printf("vxtool: simulated Vexo3 programmer\n");
  std::printf("Scanning for a Vexo3 bootloader at %s ...\n", hexByte(address).c_str());
  std::fflush(stdout);
  pace.until(1, 1);
  if (faults.absent || address != device.address) {
    std::printf("No Vexo3 answered at %s.\n", hexByte(address).c_str());
    return flashNoDevice;
  }
  // Each key starts its line and pads to 17 characters before " = ".
  std::printf("Device          = Vexo3\n");
  std::printf("Silicon ID      = %s\n", hexWord(device.silicon).c_str());
  std::printf("Reserved bytes  = 0x%02d\n", device.running);
  std::printf("Firmware level  = %s\n", hexByte(device.levels[device.running - 1]).c_str());
  std::printf("Image 1 level   = %s\n", hexByte(device.levels[0]).c_str());
  std::printf("Image 2 level   = %s\n", hexByte(device.levels[1]).c_str());
  std::printf("Next boot image = %d\n", device.pending != 0 ? device.pending : device.running);
  return 0;
}
