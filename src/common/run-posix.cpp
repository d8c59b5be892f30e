#include <csignal>
#include <cstdlib>
#include <sys/wait.h>

#include "common/common.h"
#include "common/run.h"

int toolStatusFromSystem(int systemResult) {
  if (systemResult == -1)
    return -1; // the shell could not be started
  if (WIFSIGNALED(systemResult))
    return toolAbnormalEnd;
  if (!WIFEXITED(systemResult))
    return toolAbnormalEnd;
  int code = WEXITSTATUS(systemResult);
  // The shell reports a tool ended by signal N as exit code 128 + N. Left
  // as it is, a tool killed by SIGINT (130) or SIGABRT (134) would fold
  // into "updated" or "up-to-date": report it as an abnormal end instead.
  if (code > 128 && code <= 128 + SIGRTMAX)
    return toolAbnormalEnd;
  return code;
}

int runWithShell(const char *command) {
  // Running the tool through the shell is the design: the commands carry
  // shell redirections, and their arguments are quoted where they must be.
  return toolStatusFromSystem(std::system(command)); // NOLINT(cert-env33-c)
}

void prepareToolRuns() {
  // Inherited from a caller that ignores SIGCHLD, SIG_IGN makes the wait
  // inside std::system fail, and every tool status would read as -1.
  (void)std::signal(SIGCHLD, SIG_DFL);
  // The tool's standard error is this run's standard output. A log reader
  // that goes away must not kill the tool halfway through a write, nor this
  // run before it reports the outcome: ignored here, the shell and the tool
  // inherit it, and a write to the closed pipe fails instead.
  (void)std::signal(SIGPIPE, SIG_IGN);
}
