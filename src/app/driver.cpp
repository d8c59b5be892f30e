#include <cstdio>
#include <cstring>

#include "app/app.h"
#include "common/common.h"
#include "flash/flash.h"
#include "query/query.h"

namespace {

constexpr int usageExit = 111;
constexpr int notFoundExit = 171;

// Every command this run may need must fit whole before any of them runs:
// a refused flash after a scan would leave the operator half done.
bool commandsFit(const char *address, const char *image1, const char *image2) {
  char command[lineSize];
  const char *tooLong = nullptr;
  if (!buildScanCommand(command, address))
    tooLong = "Bootloader register address";
  else if (!buildFlashCommand(command, address, image1))
    tooLong = "Image 1 file name";
  else if (!buildFlashCommand(command, address, image2))
    tooLong = "Image 2 file name";
  if (tooLong != nullptr)
    std::printf("ERROR: %s is too long for the tool command!\n", tooLong);
  return tooLong == nullptr;
}

} // namespace

int runVexoflash(int argc, char **argv) {
  // Holds the level the device ran before the update, for the whole run.
  static char *const prvLvl = new char[textBlockSize]();

  prepareToolRuns();
  printBanner();
  if (argc < 4) {
    printUsage();
    return usageExit;
  }
  if (argc == 5 && std::strcmp(argv[4], "DEBUG") == 0)
    traceMode = true;
  const char *address = argv[1];
  const char *image1 = argv[2];
  const char *image2 = argv[3];
  if (!commandsFit(address, image1, image2))
    return usageExit;

  // The device runs one image; the other slot is the one to write.
  const char *imageFile = nullptr;
  switch (scanForImage(address)) {
  case '1':
    imageFile = image2;
    break;
  case '2':
    imageFile = image1;
    break;
  default:
    std::printf("Vexo3 device not found.\n");
    return notFoundExit;
  }
  readFirmwareLevel(prvLvl);
  int result = vexoUpdate(address, imageFile, prvLvl);
  if (traceMode)
    std::printf("vexoUpdate() return code:  %d.\n", result);
  return result;
}
