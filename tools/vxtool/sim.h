// The simulated Vexo3 programming tool: one device kept in a state file,
// image files in a small text format, and the faults a test can ask for.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

// Exit statuses of the flash command, as a real device gives them.
inline constexpr int flashWritten = 0;
inline constexpr int flashNoDevice = 1;
inline constexpr int flashFailed = 2;
inline constexpr int flashWrongSilicon = 3;
inline constexpr int flashUpToDate = 4;
// The tool's own failures: a command line it does not take, and a state
// file it cannot read or keep. vexoflash folds a status outside 0 to 4 to
// its last decimal digit, so these are single digits above 4: they stay
// themselves there and never read as "updated" (0) or "up to date" (4).
inline constexpr int usageStatus = 5;
inline constexpr int internalStatus = 6;

// Files the tool reads are small; anything bigger is not ours.
inline constexpr std::size_t maxFileSize = 1 << 20;
inline constexpr std::size_t maxPayloadSize = 1 << 16;

// Parses a whole text as a number: 0x (or 0X) and hex digits, or decimal
// digits. No sign, no spaces. False when it is not one or > max.
bool parseNumber(std::string_view text, unsigned long max, unsigned long &value);
// The value of one hex digit, either case; -1 for any other character.
int hexDigit(char c);
// "0x" and two upper-case hex digits (levels, addresses), or four (IDs).
std::string hexByte(unsigned long value);
std::string hexWord(unsigned long value);

// Splits "key = value" around its first '='; both sides are trimmed of
// spaces and tabs. False when there is no '='.
bool splitSetting(std::string_view line, std::string_view &key, std::string_view &value);
// Reads a whole file of at most maxFileSize bytes. On failure, why says so;
// missing is set when the file does not exist.
bool readSmallFile(const std::string &path, std::string &text, std::string &why, bool &missing);

// An image file as written into one slot of the device.
struct Image {
  unsigned long silicon = 0;
  int slot = 0; // 1 or 2: the slot the image is built for
  unsigned long level = 0;
  std::vector<unsigned char> payload;
};

unsigned long crc32(const std::vector<unsigned char> &bytes);
// Checks the header, the hex payload, its size and its checksum.
bool parseImage(std::string_view text, Image &image, std::string &why);
// The text of an image file; makePayload gives the bytes --make-image uses.
std::string formatImage(const Image &image);
std::vector<unsigned char> makePayload(unsigned long silicon, int slot, unsigned long level);
// The text of the image --make-image writes for these header values.
std::string makeImageText(unsigned long silicon, int slot, unsigned long level);

// The one simulated device. A flash writes the slot it is not running;
// the device goes on running its slot until a power cycle boots the one
// written last.
struct Device {
  unsigned long address = 0x50; // bootloader register address
  unsigned long silicon = 0x3A41;
  int running = 1;                                 // the image it runs: 1 or 2
  int pending = 0;                                 // written since the last power cycle, or 0
  std::array<unsigned long, 2> levels{0x60, 0x60}; // level held by slot 1, 2
};

bool parseDevice(std::string_view text, Device &device, std::string &why);
std::string formatDevice(const Device &device);
// The state file: $VXTOOL_SIM_STATE, else vexo3-sim.state here.
std::string statePath();
// A missing state file is a fresh device. Errors name the file and line.
bool loadDevice(const std::string &path, Device &device, std::string &why);
// loadDevice, saying why on standard error when it fails.
bool loadDeviceOrSay(const std::string &path, Device &device);
// Writes a new state file beside the old one, under a name of its own,
// and renames it over the old one. Callers hold the StateLock.
bool saveDevice(const std::string &path, const Device &device, std::string &why);
// The file locked while a command reads or changes the state at path.
// The lock is not taken on the state file itself: each save renames a
// new file over it, so a run waiting on the old file would get a lock
// nobody else takes, and Windows cannot rename over a file held open.
// This file is never replaced or removed, and it exists (made empty) even
// for a fresh device, which has no state file to lock.
inline std::string lockPathOf(const std::string &state) {
  return state + ".lock";
}
// A power cycle: the device boots the slot written last. False, and the
// device unchanged, when nothing was written since the last one.
bool powerCycle(Device &device);

// Faults asked for in the environment.
struct Faults {
  bool absent = false;     // VXTOOL_SIM_ABSENT: no device answers
  int flashStatus = -1;    // VXTOOL_SIM_STATUS: the flash command's exit status
  int flashSignal = 0;     // VXTOOL_SIM_SIGNAL: the flash command dies by it
  unsigned long delay = 0; // VXTOOL_SIM_DELAY: milliseconds a scan or a flash takes
};
bool readFaults(Faults &faults, std::string &why);

// The time a device command takes: until(part, parts) waits until that
// share of the delay has passed since the command started.
class Pace {
public:
  explicit Pace(unsigned long delay) : start_(std::chrono::steady_clock::now()), delay_(delay) {}
  void until(unsigned long part, unsigned long parts) const;

private:
  std::chrono::steady_clock::time_point start_;
  unsigned long delay_;
};

// The device commands; each prints its report or progress to standard
// output and returns the exit status.
int runScan(const std::string &state, unsigned long address, const Faults &faults);
int runFlash(const std::string &state, unsigned long address, const char *file,
             const Faults &faults);
int runPowerCycle(const std::string &state);

// What differs between platforms (platform-posix.cpp, platform-win32.cpp).
// Ends the process as signal N would, after the output so far reached its
// file, the way a tool killed in the middle of a write would; on Windows
// with the matching NTSTATUS code (0xC000013A, as Ctrl+C, for most).
void dieBySignal(int signal);
// Renames from over to, replacing it; errno says why not.
bool replaceFile(const std::string &from, const std::string &to);
// Creates the file name for writing in text mode, failing (errno EEXIST)
// when it exists; nullptr with errno set when it cannot.
std::FILE *createNewFile(const std::string &name);
unsigned long processId();

// Waits for and holds the lock of the state file at path (its lockPathOf
// file) while it lives. Where the lock file cannot be opened or locked,
// the command goes on without it: a folder where it cannot be made is one
// where no run can save a state either.
class StateLock {
public:
  explicit StateLock(const std::string &state);
  ~StateLock();
  StateLock(const StateLock &) = delete;
  StateLock &operator=(const StateLock &) = delete;

private:
  std::intptr_t handle_ = -1; // a descriptor, or a HANDLE on Windows
};
