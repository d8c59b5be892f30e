#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>

#include "common/common.h"

ToolRunner toolRunner = runWithShell;

int toolStatusFromWait(int waitStatus) {
  if (waitStatus == -1)
    return -1; // the shell could not be started
  if (WIFSIGNALED(waitStatus))
    return 255;
  if (!WIFEXITED(waitStatus))
    return 255;
  int code = WEXITSTATUS(waitStatus);
  // The shell reports a tool ended by signal N as exit code 128 + N. Left
  // as it is, a tool killed by SIGINT (130) or SIGABRT (134) would fold
  // into "updated" or "up-to-date": report it as not completed instead.
  if (code > 128 && code <= 128 + SIGRTMAX)
    return 255;
  return code;
}

int runWithShell(const char *command) {
  // Running the tool through the shell is the design: the commands carry
  // shell redirections, and their arguments are quoted where they must be.
  return toolStatusFromWait(std::system(command)); // NOLINT(cert-env33-c)
}

int runToolCommand(const char *command) {
  std::printf(commandEcho, command);
  return toolRunner(command);
}
