#include <cstdio>
#include <cstring>

#include "app/app.h"
#include "app/audit.h"
#include "common/common.h"
#include "common/quote.h"
#include "common/run.h"
#include "common/workdir.h"
#include "flash/flash.h"
#include "query/query.h"

namespace {

// Every command this run may need must be possible before any of them
// runs: a refused flash after a scan would leave the operator half done.
// typed holds the arguments as the user typed them. Returns why the
// arguments are refused, or nullptr.
const char *argumentsRefusal(const char *const *typed, const char *address, const char *image1,
                             const char *image2) {
  const char *const names[] = {"Bootloader register address", "Image 1 file name",
                               "Image 2 file name"};
  const char *const arguments[] = {address, image1, image2};
  for (int i = 0; i < 3; i++) {
    if (!argumentIsPassable(typed[i + 1], arguments[i])) {
      std::printf("ERROR: %s holds characters that cannot be passed safely to the tool command!\n",
                  names[i]);
      return "argument-not-passable";
    }
  }
  char command[lineSize];
  const char *tooLong = nullptr;
  if (!buildScanCommand(command, address))
    tooLong = names[0];
  else if (!buildFlashCommand(command, address, image1))
    tooLong = names[1];
  else if (!buildFlashCommand(command, address, image2))
    tooLong = names[2];
  if (tooLong == nullptr)
    return nullptr;
  std::printf("ERROR: %s is too long for the tool command!\n", tooLong);
  return "argument-too-long";
}

// The shell would write through a link (as root, over its target), block
// on a FIFO or fail on a directory: only regular files are written.
bool reportsAreRegularFiles() {
  for (const char *name : {scanReportName, flashLogName}) {
    if (!isRegularOrAbsent(name)) {
      std::printf("ERROR: %s is not a regular file!\n", name);
      return false;
    }
  }
  return true;
}

int refuse(AuditRecord &record, const char *reason) {
  record.outcome = "refused";
  record.reason = reason;
  return usageExit;
}

// A run stopped before any write: by SIGTERM, or a scan that did not end
// by itself (why, from abnormalEndReason).
int stopNotCompleted(AuditRecord &record, const char *why = nullptr) {
  (void)std::fputs(notCompleted, stdout);
  record.outcome = "not-completed";
  record.reason = terminationRequested() ? "terminated" : why;
  return notCompletedExit;
}

// Two runs that write one device at once would interleave their writes on
// the bus, whatever directories they run in: a run waits for the one
// before it. Returns why the host lock cannot be used, or nullptr.
const char *waitForOtherRuns() {
  const char *why = nullptr;
  RunLock lock = lockHost(&why);
  if (lock == RunLock::busy) {
    std::printf("Waiting for another vexoflash run on this system to finish.\n");
    (void)std::fflush(stdout);
  }
  while (lock == RunLock::busy && !terminationRequested()) {
    pauseBeforeRetry();
    lock = lockHost(&why);
  }
  return lock == RunLock::unusable ? why : nullptr;
}

// The update itself, once the command line is complete: the checks, the
// scan, the level and the flash. Notes what happened in record.
int runUpdate(char **argv, const char *const *typed, char *prvLvl, AuditRecord &record) {
  const char *address = argv[1];
  const char *image1 = argv[2];
  const char *image2 = argv[3];
  if (const char *reason = argumentsRefusal(typed, address, image1, image2); reason != nullptr)
    return refuse(record, reason);
  // Whoever else may write here could plant a link or a FIFO under a report
  // name, or swap the scan report, after any check made on the names.
  if (workingDirectoryWritableByOthers()) {
    std::printf("ERROR: The working directory is writable by other users!\n");
    return refuse(record, "directory-writable-by-others");
  }
  // Two runs in one directory would share the reports and could write the
  // same slot at once. A directory that cannot be locked at all does not
  // stop an update.
  if (lockWorkingDirectory() == RunLock::busy) {
    std::printf("ERROR: Another vexoflash run is using this directory!\n");
    return refuse(record, "directory-busy");
  }
  if (!reportsAreRegularFiles())
    return refuse(record, "report-not-regular");
  if (const char *why = waitForOtherRuns(); why != nullptr) {
    std::printf("ERROR: Cannot use the host lock %s: %s!\n", hostLockName, why);
    return refuse(record, "host-lock-unusable");
  }

  // A SIGTERM stops the run before the scan, or right after it: once the
  // flash has begun, the run goes on to report its outcome.
  if (terminationRequested())
    return stopNotCompleted(record);
  // The device runs one image; the other slot is the one to write.
  const char *scanEnd = nullptr;
  char image = scanForImage(address, &scanEnd);
  if (scanEnd != nullptr || terminationRequested())
    return stopNotCompleted(record, scanEnd);
  const char *imageFile = nullptr;
  switch (image) {
  case '1':
    imageFile = image2;
    break;
  case '2':
    imageFile = image1;
    break;
  default:
    std::printf("Vexo3 device not found.\n");
    record.outcome = "not-found";
    return notFoundExit;
  }
  readFirmwareLevel(prvLvl);
  record.running = image;
  record.level = prvLvl;
  FlashReport flash;
  int result = vexoUpdate(address, imageFile, prvLvl, &flash);
  record.outcome = flash.outcome;
  record.reason = flash.reason;
  record.inhibit = flash.inhibit;
  record.image = imageFile;
  record.status = flash.status;
  record.advice = flash.advice;
  if (traceMode)
    std::printf("vexoUpdate() return code:  %d.\n", result);
  return result;
}

} // namespace

int runVexoflash(int argc, char **argv, const char *const *typed) {
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
  AuditRecord record;
  record.address = argv[1];
  record.exitCode = runUpdate(argv, typed, prvLvl, record);
  // The record follows the run's last message, wherever both are read.
  (void)std::fflush(stdout);
  writeAuditRecord(record);
  return record.exitCode;
}
