// Running a command line through the platform's shell (run-posix.cpp,
// run-win32.cpp). Tool commands reach it only through toolRunner.
#pragma once

// Readies the process once, before any tool runs.
void prepareToolRuns();
// Runs one command line through the system shell and returns the tool
// status: the exit code, toolAbnormalEnd, or -1 when the shell could not
// be started.
int runWithShell(const char *command);
// Turns std::system's result into that status.
int toolStatusFromSystem(int systemResult);
