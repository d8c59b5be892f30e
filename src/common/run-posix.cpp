// The runner on POSIX systems: std::system runs the command with /bin/sh
// and gives a wait status; the signals a run ignores or notes.
#include <csignal>
#include <cstdlib>
#include <signal.h>
#include <sys/wait.h>

#include "common/run.h"

namespace {

volatile std::sig_atomic_t terminationNoted = 0;

void noteTermination(int /*signal*/) {
  terminationNoted = 1;
}

} // namespace

int toolStatusFromSystem(int systemResult) {
  if (systemResult == -1)
    return -1; // the shell could not be started
  if (!WIFEXITED(systemResult))
    return toolAbnormalEnd; // the shell itself was killed
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
  // A terminal that hangs up (a dropped SSH session) signals the whole
  // foreground process group: ignored here and so by the shell and the
  // tool, it never cuts a write short. The run ends as usual; what it
  // prints to the terminal that is gone is lost.
  (void)std::signal(SIGHUP, SIG_IGN);
  // SIGTERM is only noted, and the run stops where that is safe. Handlers
  // reset on exec: the shell and the tool keep the default action.
  struct sigaction note {};
  note.sa_handler = noteTermination;
  note.sa_flags = SA_RESTART; // no output is cut short by EINTR
  (void)sigemptyset(&note.sa_mask);
  (void)sigaction(SIGTERM, &note, nullptr);
}

bool terminationRequested() {
  return terminationNoted != 0;
}
