// The runner on Windows: std::system runs the command with cmd.exe
// (%COMSPEC% /c) and returns its exit code, which is the tool's.
#include <cstdlib>
#include <windows.h>

#include "common/common.h"
#include "common/run.h"

namespace {

// Ctrl+C and Ctrl+Break go to every process on the console. The tool and
// cmd.exe end by them (status 0xC000013A); this process stays to report
// that, as the POSIX std::system ignores SIGINT while it waits. Handlers
// are not inherited, so the tool still ends by Ctrl+C.
BOOL WINAPI outlastConsoleInterrupt(DWORD event) {
  return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? TRUE : FALSE;
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
  if (static_cast<DWORD>(systemResult) >= 0x40000000UL)
    return toolAbnormalEnd;
  return systemResult;
}

int runWithShell(const char *command) {
  // Running the tool through cmd.exe is the design: the commands carry
  // redirections, and their arguments are quoted where they must be.
  return toolStatusFromSystem(std::system(command)); // NOLINT(cert-env33-c)
}

void prepareToolRuns() {
  (void)SetConsoleCtrlHandler(outlastConsoleInterrupt, TRUE);
  // cmd.exe looks for a command in the current directory before PATH,
  // unless its environment holds this variable: a vxtool.bat planted in
  // the working directory would run instead of the tool. cmd.exe and the
  // tool inherit it.
  (void)_putenv_s("NoDefaultCurrentDirectoryInExePath", "1");
}
