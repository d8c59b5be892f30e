// vxtool, simulated: a stand-in for the Vexo3 programming tool that keeps
// one device in a state file, for demos and tests without hardware.
#include <cstdio>
#include <cstring>

#include "sim.h"

namespace {

void printUsage() {
  std::fprintf(stderr,
               "usage: vxtool -i2cp ADDRESS                 scan the device\n"
               "       vxtool -i2cp ADDRESS -q -f FILE      write an image into the device\n"
               "       vxtool --power-cycle                 boot the image written last\n"
               "       vxtool --make-image SLOT LEVEL [SILICON]   print a new image\n"
               "This vxtool simulates one Vexo3 device (state file: $VXTOOL_SIM_STATE,\n"
               "else ./vexo3-sim.state).\n");
}

int usageError(const std::string &why) {
  std::fprintf(stderr, "vxtool: %s\n", why.c_str());
  printUsage();
  return usageStatus;
}

int makeImage(int argc, char **argv) {
  unsigned long slot = 0, level = 0, silicon = Device().silicon;
  if (!parseNumber(argv[2], 2, slot) || slot < 1)
    return usageError(std::string("bad slot '") + argv[2] + "': expected 1 or 2");
  if (!parseNumber(argv[3], 0xFF, level))
    return usageError(std::string("bad level '") + argv[3] + "': expected 0x00 to 0xFF");
  if (argc == 5 && !parseNumber(argv[4], 0xFFFF, silicon))
    return usageError(std::string("bad silicon ID '") + argv[4] + "': expected 0x0000 to 0xFFFF");
  std::fputs(makeImageText(silicon, static_cast<int>(slot), level).c_str(), stdout);
  return 0;
}

} // namespace

int main(int argc, char **argv) {
  if ((argc == 4 || argc == 5) && std::strcmp(argv[1], "--make-image") == 0)
    return makeImage(argc, argv);

  if (argc == 2 && std::strcmp(argv[1], "--power-cycle") == 0)
    return runPowerCycle(statePath());

  bool scan = argc == 3 && std::strcmp(argv[1], "-i2cp") == 0;
  bool flash = argc == 6 && std::strcmp(argv[1], "-i2cp") == 0 && std::strcmp(argv[3], "-q") == 0 &&
               std::strcmp(argv[4], "-f") == 0;
  if (!scan && !flash) {
    printUsage();
    return usageStatus;
  }
  unsigned long address = 0;
  if (!parseNumber(argv[2], 0x7F, address))
    return usageError(std::string("bad address '") + argv[2] + "': expected 0x00 to 0x7F");
  Faults faults;
  std::string why;
  if (!readFaults(faults, why))
    return usageError(why);
  std::string state = statePath();
  return scan ? runScan(state, address, faults) : runFlash(state, address, argv[5], faults);
}
