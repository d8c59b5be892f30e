// The seam every tool command runs through, and its echo.
#include <cstdio>

#include "common/common.h"
#include "common/run.h"

ToolRunner toolRunner = runWithShell;

const char commandEcho[] = "Command:  %s\n";

int runToolCommand(const char *command) {
  std::printf(commandEcho, command);
  // Whatever the tool or the shell writes goes straight to the console or
  // log; what this run printed so far must stand before it there.
  (void)std::fflush(stdout);
  return toolRunner(command);
}
