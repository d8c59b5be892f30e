// The runner on POSIX systems: /bin/sh through std::system, its wait
// status, the signals a run ignores or notes, and the flash's guard.
#include <csignal>
#include <cstdlib>
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/run.h"

namespace {

volatile std::sig_atomic_t terminationNoted = 0;

void noteTermination(int /*signal*/) {
  terminationNoted = 1;
}

// SIGTERM is only noted, and the run stops where that is safe. Handlers
// reset on exec: the shell and the tool keep the default action.
void noteTerminations() {
  struct sigaction note {};
  note.sa_handler = noteTermination;
  note.sa_flags = SA_RESTART; // no output is cut short by EINTR
  (void)sigemptyset(&note.sa_mask);
  (void)sigaction(SIGTERM, &note, nullptr);
}

// logind's block inhibitor through libsystemd's sd-bus (opaque pointers),
// loaded only where a system bus is: a run without one costs nothing. A
// bus may never answer: the wait is bounded. Any failure: no inhibitor.
int (*readMessage)(void *message, const char *types, ...); // sd_bus_message_read

int keepInhibitor(void *reply, void *inhibitor, void * /*error*/) {
  int fd = -1; // the reply's own
  *static_cast<int *>(inhibitor) =
      readMessage(reply, "h", &fd) >= 0 ? fcntl(fd, F_DUPFD_CLOEXEC, 3) : -2; // -2: refused
  return 0;
}

int takeInhibitor() {
  const char *address = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
  if ((address == nullptr || *address == '\0') && access("/run/dbus/system_bus_socket", F_OK) != 0)
    return -1;
  static void *const sd = dlopen("libsystemd.so.0", RTLD_NOW); // kept, as loaded
  if (sd == nullptr)
    return -1;
  using Handler = int (*)(void *, void *, void *);
  auto open = reinterpret_cast<int (*)(void **)>(dlsym(sd, "sd_bus_open_system"));
  auto call = reinterpret_cast<int (*)(void *, void **, const char *, const char *, const char *,
                                       const char *, Handler, void *, const char *, ...)>(
      dlsym(sd, "sd_bus_call_method_async"));
  auto process = reinterpret_cast<int (*)(void *, void **)>(dlsym(sd, "sd_bus_process"));
  auto wait = reinterpret_cast<int (*)(void *, unsigned long long)>(dlsym(sd, "sd_bus_wait"));
  auto unref = reinterpret_cast<void *(*)(void *)>(dlsym(sd, "sd_bus_unref"));
  readMessage = reinterpret_cast<decltype(readMessage)>(dlsym(sd, "sd_bus_message_read"));
  void *bus = nullptr;
  if (open == nullptr || call == nullptr || process == nullptr || wait == nullptr ||
      unref == nullptr || readMessage == nullptr || open(&bus) < 0)
    return -1;
  int fd = -1;
  int step = call(bus, nullptr, "org.freedesktop.login1", "/org/freedesktop/login1",
                  "org.freedesktop.login1.Manager", "Inhibit", keepInhibitor, &fd, "ssss",
                  "shutdown:sleep", "vexoflash", "Writing Vexo3 firmware", "block");
  for (int i = 0; i < 200 && step >= 0 && fd == -1; i++) // about 2 s at most
    if ((step = process(bus, nullptr)) == 0)
      step = wait(bus, 10000);
  (void)unref(bus); // no flush: that could wait for a bus that never answers
  return fd;
}

int inhibitor = -1;

} // namespace

int toolStatusFromSystem(int systemResult) {
  if (systemResult == -1)
    return -1; // the shell could not be started
  // The shell killed by signal N, or reporting a tool ended by it as exit
  // code 128 + N. Left as it is, a tool killed by SIGINT (130) or SIGABRT
  // (134) would fold into "updated" or "up-to-date": an abnormal end.
  int code = WIFEXITED(systemResult) ? WEXITSTATUS(systemResult) : 128 + WTERMSIG(systemResult);
  if (code == 128 + SIGINT)
    return toolInterrupted;
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
  // Closed by the caller, 0, 1 and 2 would be the first files opened (the
  // output and the tool's errors into a lock file): /dev/null takes them.
  for (int fd = 0; fd < 3; fd++)
    if (fcntl(fd, F_GETFD) < 0)
      (void)open("/dev/null", O_RDWR); // NOLINT(android-cloexec-open): inherited
  // Inherited from a caller that ignores SIGCHLD, SIG_IGN makes the wait
  // inside std::system fail, and every tool status would read as -1. An
  // ignored SIGXFSZ would let a tool go on past a file-size limit that cut
  // its report: by default the limit ends the tool, and the run sees it.
  (void)std::signal(SIGCHLD, SIG_DFL);
  (void)std::signal(SIGXFSZ, SIG_DFL);
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
  noteTerminations();
}

bool beginFlash() {
  // A SIGTERM to the whole process group (timeout(1), a service stop)
  // would end the shell and the tool mid-write.
  (void)std::signal(SIGTERM, SIG_IGN);
  inhibitor = takeInhibitor();
  return inhibitor >= 0;
}

void endFlash() {
  if (inhibitor >= 0)
    (void)close(inhibitor);
  inhibitor = -1;
  noteTerminations();
}

bool terminationRequested() {
  return terminationNoted != 0;
}
