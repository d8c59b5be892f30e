// The whole program in order: the banner, the checks before anything runs,
// the scan, the level, the flash, and the audit record of the run.
#include <cstdio>
#include <cstring>

#include "app/audit.h"
#include "app/driver.h"
#include "common/command.h"
#include "common/common.h"
#include "common/quote.h"
#include "common/run.h"
#include "common/workdir.h"
#include "flash/update.h"
#include "query/level.h"
#include "query/scan.h"

namespace {

void printBanner() {
  std::printf("\n");
  std::printf("************************************************************\n");
  std::printf("   Tarnell Vexo3 Update Utility for use with QEL hardware   \n");
  std::printf("       Version 1.6 Build 1.51 - Release Date 4/25/14        \n");
  std::printf("************************************************************\n");
  std::printf("\n");
}

void printUsage() {
  std::printf("\n");
  std::printf("USAGE: vexoflash <bootloader register address> <image 1 file> <image 2 file>\n");
  std::printf("\n");
}

// The tool commands a run may need, each at the place of the argument it
// is built for: [1] the scan (the address), [2] and [3] the flash of the
// image 1 and of the image 2 file.
using ToolCommands = char[4][lineSize];

// Every command this run may need is built, once, before any of them runs:
// a refused flash after a scan would leave the operator half done. typed
// holds the arguments as the user typed them. Returns why the arguments
// are refused, or nullptr.
const char *buildCommands(char **argv, const char *const *typed, ToolCommands commands) {
  const char *const names[] = {nullptr, "Bootloader register address", "Image 1 file name",
                               "Image 2 file name"};
  for (int i = 1; i <= 3; i++) {
    if (!argumentIsPassable(typed[i], argv[i])) {
      std::printf("ERROR: %s holds characters that cannot be passed safely to the tool command!\n",
                  names[i]);
      return "argument-not-passable";
    }
  }
  for (int i = 1; i <= 3; i++) {
    bool fits = i == 1 ? buildScanCommand(commands[1], argv[1])
                       : buildFlashCommand(commands[i], argv[1], argv[i]);
    if (!fits) {
      std::printf("ERROR: %s is too long for the tool command!\n", names[i]);
      return "argument-too-long";
    }
  }
  return nullptr;
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

Outcome refuse(AuditRecord &record, const char *reason) {
  record.reason = reason;
  return Outcome::refused;
}

// A run stopped before any write: by SIGTERM, or a scan that did not end
// by itself (why, from abnormalEndReason).
Outcome stopNotCompleted(AuditRecord &record, const char *why = nullptr) {
  (void)std::fputs(notCompleted, stdout);
  record.reason = terminationRequested() ? "terminated" : why;
  return Outcome::notCompleted;
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
Outcome runUpdate(char **argv, const char *const *typed, char *prvLvl, AuditRecord &record) {
  ToolCommands commands{};
  if (const char *reason = buildCommands(argv, typed, commands); reason != nullptr)
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
  const char *scanEnd = nullptr;
  char image = scanForImage(commands[1], &scanEnd);
  if (scanEnd != nullptr || terminationRequested())
    return stopNotCompleted(record, scanEnd);
  if (image != '1' && image != '2') {
    std::printf("Vexo3 device not found.\n");
    return Outcome::notFound;
  }
  // The device runs one image; the other slot is the one to write: image
  // 1 running, the image 2 file (argument 3).
  int write = image == '1' ? 3 : 2;
  readFirmwareLevel(prvLvl);
  record.running = image;
  record.level = prvLvl;
  record.image = argv[write];
  Outcome outcome = vexoUpdate(commands[write], prvLvl, record.flash);
  if (traceMode)
    std::printf("vexoUpdate() return code:  %d.\n", outcomeRow(outcome).exitCode);
  return outcome;
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
  record.outcome = runUpdate(argv, typed, prvLvl, record);
  // The record follows the run's last message, wherever both are read.
  (void)std::fflush(stdout);
  writeAuditRecord(record);
  return outcomeRow(record.outcome).exitCode;
}
