// Running the tool commands: the one seam they all go through (run.cpp),
// and the platform's shell behind it (run-posix.cpp, run-win32.cpp).
#pragma once

// Echoes the command ("Command:  %s") and runs it through toolRunner.
int runToolCommand(const char *command);
// The seam: every tool command runs through this pointer, so tests can
// script tool statuses without starting processes.
using ToolRunner = int (*)(const char *command);
extern ToolRunner toolRunner;

// The statuses the runner gives a tool that did not end by itself: by
// Ctrl+C (SIGINT), or by another signal or a crash. The flash reports them
// as tool status 255; after the scan they end the run. abnormalEndReason
// names them for the record; nullptr for any other status.
inline constexpr int toolAbnormalEnd = -2;
inline constexpr int toolInterrupted = -3;
inline const char *abnormalEndReason(int status) {
  return status == toolInterrupted   ? "interrupted"
         : status == toolAbnormalEnd ? "tool-killed"
                                     : nullptr;
}

// Readies the process once, before any tool runs: the signals a run
// outlasts or notes, and what the shell and the tool inherit.
void prepareToolRuns();
// Runs one command line through the system shell and returns the tool
// status: the exit code, toolAbnormalEnd, toolInterrupted, or -1 when the
// shell could not be started.
int runWithShell(const char *command);
// Turns std::system's result into that status.
int toolStatusFromSystem(int systemResult);
// True once this process has been asked to terminate (SIGTERM). The run
// stops at the next point where stopping is safe: before the scan, or
// right after it; never once the flash has begun.
bool terminationRequested();
// Around the flash command: SIGTERM ignored (the shell and the tool inherit
// that), and the host kept from shutting down or sleeping where it can be;
// beginFlash says whether that hold was had.
bool beginFlash();
void endFlash();
