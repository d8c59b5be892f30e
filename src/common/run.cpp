#include <cstdio>

#include "common/common.h"

ToolRunner toolRunner = runWithShell;

int runToolCommand(const char *command) {
  std::printf(commandEcho, command);
  return toolRunner(command);
}
