// The flash: runs the flash command, folds its status and prints the
// outcome and the power-cycle advice.
#include <cstdio>
#include <cstring>

#include "common/common.h"
#include "common/run.h"
#include "common/workdir.h"
#include "flash/update.h"

namespace {

const char levelThreshold[] = "0x61";

// strcmp compares as unsigned bytes; the trace shows only the sign.
int compareLevels(const char *prvLvl) {
  int order = std::strcmp(levelThreshold, prvLvl);
  return order > 0 ? 1 : (order < 0 ? -1 : 0);
}

// Levels above "0x61", as text, take effect after a DC power cycle.
// Returns the advice given, "DC" or "AC".
const char *printPowerCycleAdvice(const char *prvLvl) {
  if (compareLevels(prvLvl) < 0) {
    std::printf("DC power cycle the system for the update to take effect.\n");
    return "DC";
  }
  std::printf("AC power cycle the system for the update to take affect.\n");
  return "AC";
}

// Statuses 0 to 4 and 255 are the tool's own; others keep their last digit.
int foldStatus(int status) {
  if (status != 255 && (status < 0 || status > 4))
    return getDigit(status);
  return status;
}

} // namespace

int getDigit(int number) {
  static char *const numString = new char[textBlockSize]();
  (void)std::snprintf(numString, textBlockSize, "%d", number);
  int newNum = numString[std::strlen(numString) - 1] - '0';
  if (traceMode) {
    std::printf("getDigit()\n");
    std::printf("numString:  %s.\n", numString);
    std::printf("newNum:  %d.\n", newNum);
  }
  return newNum;
}

Outcome vexoUpdate(const char *command, const char *prvLvl, FlashReport &report) {
  std::printf("Flashing Vexo.\n");
  // The log is this run's own file. If it cannot be made, the shell says
  // why it cannot write it either, and the flash runs all the same.
  (void)prepareReportFile(flashLogName);
  report.inhibit = beginFlash() ? "held" : "unavailable";
  int status = runToolCommand(command);
  endFlash();
  report.reason = abnormalEndReason(status);
  if (report.reason != nullptr)
    status = 255; // a tool that did not end by itself did not complete
  report.status = status;
  if (traceMode) {
    std::printf("VxTool return code:  %d\n", status);
    std::printf("PowerCycle:%s prvLvl:%s\n", levelThreshold, prvLvl);
    std::printf("strcmp %s, %s\n", levelThreshold, prvLvl);
    std::printf("cycle  %d\n", compareLevels(prvLvl));
  }

  status = foldStatus(status);
  switch (status) {
  case 0:
    std::printf("Vexo found and firmware updated.\n");
    report.advice = printPowerCycleAdvice(prvLvl);
    return Outcome::updated;
  case 1:
    std::printf("No Vexos found in the system.\n");
    std::printf("Firmware was not flashed.\n");
    return Outcome::notFound;
  case 2:
    std::printf("Vexo firmware update error - Vexo found but update failed.\n");
    return Outcome::failed;
  case 3:
    // Windows-1252: 0x96 is an en dash, 0x92 a right single quote.
    std::printf("Vexo Silicon ID Error \x96 Vexo found but the silicon ID didn\x92t match file.\n");
    return Outcome::wrongSilicon;
  case 4:
    std::printf("Vexo Found and Firmware level is up-to-date. No flashing required.\n");
    return Outcome::upToDate;
  case 255:
    (void)std::fputs(notCompleted, stdout);
    return Outcome::notCompleted;
  default:
    std::printf("The VEXO update did not complete successfully.  Return code: %d\n", status);
    return Outcome::notCompleted;
  }
}
