// The runner on Windows: std::system runs the command with cmd.exe
// (%COMSPEC% /c) and returns its exit code, which is the tool's.
#include <cstdlib>
#include <windows.h>

#include "common/run.h"

namespace {

volatile LONG toolRunning = 0;

// Ctrl+C and Ctrl+Break go to every process on the console. While a tool
// runs, the tool and cmd.exe end by them (status 0xC000013A) and this
// process stays to report that, as the POSIX std::system ignores SIGINT
// while it waits. At any other time (waiting for another run, say) they
// end this process too. Handlers are not inherited, so the tool still
// ends by Ctrl+C.
BOOL WINAPI outlastConsoleInterrupt(DWORD event) {
  bool interrupt = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
  return interrupt && toolRunning != 0 ? TRUE : FALSE;
}

} // namespace

int toolStatusFromSystem(int systemResult) {
  // -1: cmd.exe could not be started. A process that ended abnormally
  // exits with an NTSTATUS code: 0x40000000 and above, of informational,
  // warning or error severity (a debugger's end 0x40010004, a breakpoint
  // 0x80000003, Ctrl+C 0xC000013A ...). Left to the digit fold,
  // 0xC000013A would read as "updated", 0x40010004 as up to date.
  if (systemResult == -1)
    return -1;
  if (static_cast<DWORD>(systemResult) == 0xC000013AUL) // STATUS_CONTROL_C_EXIT
    return toolInterrupted;
  if (static_cast<DWORD>(systemResult) >= 0x40000000UL)
    return toolAbnormalEnd;
  return systemResult;
}

int runWithShell(const char *command) {
  // Running the tool through cmd.exe is the design: the commands carry
  // redirections, and their arguments are quoted where they must be.
  (void)InterlockedExchange(&toolRunning, 1);
  int result = std::system(command); // NOLINT(cert-env33-c)
  (void)InterlockedExchange(&toolRunning, 0);
  return toolStatusFromSystem(result);
}

void prepareToolRuns() {
  (void)SetConsoleCtrlHandler(outlastConsoleInterrupt, TRUE);
  // cmd.exe looks for a command in the current directory before PATH,
  // unless its environment holds this variable: a vxtool.bat planted in
  // the working directory would run instead of the tool. cmd.exe and the
  // tool inherit it.
  (void)_putenv_s("NoDefaultCurrentDirectoryInExePath", "1");
}

// Windows has no SIGTERM to note: a run is ended from outside only with
// its console (Ctrl+C), or killed.
bool terminationRequested() {
  return false;
}

// Windows has no SIGTERM for a group to cut the write short; the system
// is kept from sleeping while the tool writes.
bool beginFlash() {
  return SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) != 0;
}

void endFlash() {
  (void)SetThreadExecutionState(ES_CONTINUOUS);
}
