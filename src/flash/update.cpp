#include <cstdio>
#include <cstring>

#include "common/common.h"
#include "common/run.h"
#include "common/workdir.h"
#include "flash/flash.h"

const char levelThreshold[] = "0x61";

namespace {

// strcmp compares as unsigned bytes; the trace shows only the sign.
int compareLevels(const char *prvLvl) {
  int order = std::strcmp(levelThreshold, prvLvl);
  if (order == 0)
    return 0;
  return order > 0 ? 1 : -1;
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

int vexoUpdate(const char *address, const char *imageFile, const char *prvLvl,
               FlashReport *report) {
  char command[lineSize] = {};
  int status = 0;
  int result = notCompletedExit;
  FlashReport unused{};
  FlashReport &done = report != nullptr ? *report : unused;

  // The entry point has refused a file whose command would not fit.
  (void)buildFlashCommand(command, address, imageFile);
  std::printf("Flashing Vexo.\n");
  // The log is this run's own file. If it cannot be made, the shell says
  // why it cannot write it either, and the flash runs all the same.
  (void)prepareReportFile(flashLogName);
  done.inhibit = beginFlash() ? "held" : "unavailable";
  status = runToolCommand(command);
  endFlash();
  done.reason = abnormalEndReason(status);
  if (done.reason != nullptr)
    status = 255; // a tool that did not end by itself did not complete
  done.status = status;
  done.outcome = "not-completed";
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
    done.advice = printPowerCycleAdvice(prvLvl);
    done.outcome = "updated";
    result = successExit;
    break;
  case 1:
    std::printf("No Vexos found in the system.\n");
    std::printf("Firmware was not flashed.\n");
    done.outcome = "not-found";
    result = notFoundExit;
    break;
  case 2:
    std::printf("Vexo firmware update error - Vexo found but update failed.\n");
    done.outcome = "failed";
    result = updateErrorExit;
    break;
  case 3:
    // Windows-1252: 0x96 is an en dash, 0x92 a right single quote.
    std::printf("Vexo Silicon ID Error \x96 Vexo found but the silicon ID didn\x92t match file.\n");
    done.outcome = "failed";
    break;
  case 4:
    std::printf("Vexo Found and Firmware level is up-to-date. No flashing required.\n");
    done.outcome = "up-to-date";
    result = successExit;
    break;
  case 255:
    (void)std::fputs(notCompleted, stdout);
    break;
  default:
    std::printf("The VEXO update did not complete successfully.  Return code: %d\n", status);
    break;
  }
  return result;
}
