#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sim.h"

namespace {

const char defaultState[] = "vexo3-sim.state";

// Points each state key at its field; every key is optional, so a hand
// edit may name only what it changes.
struct StateKey {
  const char *name;
  unsigned long min;
  unsigned long max;
};
constexpr StateKey stateKeys[] = {
    {"address", 0, 0x7F}, {"silicon", 0, 0xFFFF}, {"running", 1, 2},
    {"level1", 0, 0xFF},  {"level2", 0, 0xFF},    {"pending", 0, 2},
};
constexpr std::size_t keyCount = sizeof stateKeys / sizeof stateKeys[0];

// running and pending are ints in Device; they are parsed into these.
struct Slots {
  unsigned long running;
  unsigned long pending;
};

unsigned long *fieldOf(Device &device, std::size_t k, Slots &slots) {
  switch (k) {
  case 0:
    return &device.address;
  case 1:
    return &device.silicon;
  case 2:
    return &slots.running;
  case 3:
    return &device.levels[0];
  case 4:
    return &device.levels[1];
  default:
    return &slots.pending;
  }
}

} // namespace

bool parseDevice(std::string_view text, Device &device, std::string &why) {
  Device parsed;
  Slots slots{static_cast<unsigned long>(parsed.running),
              static_cast<unsigned long>(parsed.pending)};
  int lineNo = 0;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    lineNo++;
    if (!line.empty() && line.back() == '\r')
      line.remove_suffix(1);
    if (line.empty() || line[0] == '#')
      continue;
    std::string_view key, value;
    std::size_t k = 0;
    bool known = splitSetting(line, key, value);
    while (known && k < keyCount && key != stateKeys[k].name)
      k++;
    if (!known || k == keyCount) {
      why = "line " + std::to_string(lineNo) + ": expected one of address, silicon, running, " +
            "pending, level1, level2 = value";
      return false;
    }
    unsigned long *field = fieldOf(parsed, k, slots);
    if (!parseNumber(value, stateKeys[k].max, *field) || *field < stateKeys[k].min) {
      why = "line " + std::to_string(lineNo) + ": bad " + std::string(key) + " '" +
            std::string(value) + "'";
      return false;
    }
  }
  parsed.running = static_cast<int>(slots.running);
  parsed.pending = static_cast<int>(slots.pending);
  device = parsed;
  return true;
}

std::string formatDevice(const Device &device) {
  std::string text = "# The simulated Vexo3 device of vxtool. Delete this file for a fresh one.\n";
  text += "address = " + hexByte(device.address) + "\n";
  text += "silicon = " + hexWord(device.silicon) + "\n";
  text += "running = " + std::to_string(device.running) + "\n";
  text += "# The slot written since the last power cycle (0: none); it boots at the next.\n";
  text += "pending = " + std::to_string(device.pending) + "\n";
  text += "level1 = " + hexByte(device.levels[0]) + "\n";
  text += "level2 = " + hexByte(device.levels[1]) + "\n";
  return text;
}

std::string statePath() {
  const char *path = std::getenv("VXTOOL_SIM_STATE");
  return path != nullptr && *path != '\0' ? path : defaultState;
}

bool loadDevice(const std::string &path, Device &device, std::string &why) {
  std::string text;
  bool missing = false;
  if (!readSmallFile(path, text, why, missing)) {
    if (!missing)
      return false;
    device = Device();
    return true;
  }
  if (!parseDevice(text, device, why)) {
    why = path + ": " + why;
    return false;
  }
  return true;
}

bool saveDevice(const std::string &path, const Device &device, std::string &why) {
  // Written beside the state (a rename stays on one file system) and
  // renamed over it, so that a tool killed halfway never leaves half a
  // state file. The name is this process's own: a file left by a run
  // killed before its rename is never taken for ours.
  std::string prefix = path + ".new-" + std::to_string(processId());
  std::string temp = prefix;
  std::FILE *file = createNewFile(temp);
  for (int n = 1; file == nullptr && errno == EEXIST && n < 100; n++) {
    temp = prefix + "-" + std::to_string(n);
    file = createNewFile(temp);
  }
  if (file == nullptr) {
    why = temp + ": " + std::strerror(errno);
    return false;
  }
  std::string text = formatDevice(device);
  bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  ok = std::fclose(file) == 0 && ok;
  if (!ok || !replaceFile(temp, path)) {
    why = path + ": " + std::strerror(errno);
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

bool powerCycle(Device &device) {
  if (device.pending == 0)
    return false;
  device.running = device.pending;
  device.pending = 0;
  return true;
}

bool loadDeviceOrSay(const std::string &path, Device &device) {
  std::string why;
  if (loadDevice(path, device, why))
    return true;
  std::fprintf(stderr, "vxtool: %s\n", why.c_str());
  return false;
}

int runPowerCycle(const std::string &state) {
  StateLock lock(state);
  Device device;
  if (!loadDeviceOrSay(state, device))
    return internalStatus;
  std::printf("vxtool: simulated Vexo3 programmer\n");
  if (!powerCycle(device)) {
    std::printf("Power cycle: nothing was written since the last one; the device runs image %d "
                "at level %s again.\n",
                device.running, hexByte(device.levels[device.running - 1]).c_str());
    return 0;
  }
  std::string why;
  if (!saveDevice(state, device, why)) {
    std::fprintf(stderr, "vxtool: the device state could not be kept: %s\n", why.c_str());
    return internalStatus;
  }
  std::printf("Power cycle: the device boots image %d, now at level %s.\n", device.running,
              hexByte(device.levels[device.running - 1]).c_str());
  return 0;
}
