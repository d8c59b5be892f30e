// What the simulated tool does differently on Windows.
#include <cstdio>
#include <windows.h>

#include "sim.h"

namespace {

// The NTSTATUS code a Windows process ends with where a POSIX one would
// die by the signal.
DWORD abnormalEndFor(int signal) {
  switch (signal) {
  case 6:                // SIGABRT: abort() fails fast
    return 0xC0000409UL; // STATUS_STACK_BUFFER_OVERRUN
  case 8:                // SIGFPE
    return 0xC0000094UL; // STATUS_INTEGER_DIVIDE_BY_ZERO
  case 11:               // SIGSEGV
    return 0xC0000005UL; // STATUS_ACCESS_VIOLATION
  default:               // SIGINT and the rest: as Ctrl+C ends it
    return 0xC000013AUL; // STATUS_CONTROL_C_EXIT
  }
}

} // namespace

void dieBySignal(int signal) {
  std::fflush(stdout);
  TerminateProcess(GetCurrentProcess(), abnormalEndFor(signal));
}

bool replaceFile(const std::string &from, const std::string &to) {
  // rename() does not replace an existing file on Windows.
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}
