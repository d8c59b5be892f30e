// Running a command line through the platform's shell (run-posix.cpp,
// run-win32.cpp). Tool commands reach it only through toolRunner.
#pragma once

// Readies the process once, before any tool runs: the signals a run
// outlasts or notes, and what the shell and the tool inherit.
void prepareToolRuns();
// Runs one command line through the system shell and returns the tool
// status: the exit code, toolAbnormalEnd, or -1 when the shell could not
// be started.
int runWithShell(const char *command);
// Turns std::system's result into that status.
int toolStatusFromSystem(int systemResult);
// True once this process has been asked to terminate (SIGTERM). The run
// stops at the next point where stopping is safe: before the scan, or
// right after it; never once the flash has begun.
bool terminationRequested();
