// Running a command line through the platform's shell (run-posix.cpp,
// run-win32.cpp). Tool commands reach it only through toolRunner.
#pragma once

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
// Around the flash command: from right before it until it has returned,
// SIGTERM is ignored (the shell and the tool inherit that), and the host
// is kept from shutting down or sleeping where it can be. beginFlash says
// whether that hold was had.
bool beginFlash();
void endFlash();
