// What the simulated tool does differently on Windows.
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
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
  if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0)
    return true;
  DWORD error = GetLastError();
  errno = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND     ? ENOENT
          : error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ? EACCES
                                                                             : EIO;
  return false;
}

std::FILE *createNewFile(const std::string &name) {
  int fd = _open(name.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_TEXT, _S_IREAD | _S_IWRITE);
  if (fd < 0)
    return nullptr;
  std::FILE *file = _fdopen(fd, "w");
  if (file == nullptr) {
    int error = errno;
    _close(fd);
    _unlink(name.c_str());
    errno = error;
  }
  return file;
}

unsigned long processId() {
  return GetCurrentProcessId();
}

// A byte-range lock on the lock file's first byte; the file is shared
// for everything, so that every run can open it.
StateLock::StateLock(const std::string &state) {
  HANDLE file = CreateFileA(lockPathOf(state).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return;
  OVERLAPPED at{};
  if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at) == 0) {
    CloseHandle(file);
    return;
  }
  handle_ = reinterpret_cast<std::intptr_t>(file);
}

StateLock::~StateLock() {
  if (handle_ == -1)
    return;
  auto file = reinterpret_cast<HANDLE>(handle_);
  OVERLAPPED at{};
  // Unlocked at once: Windows frees the locks of a closed file only when
  // it gets to it.
  UnlockFileEx(file, 0, 1, 0, &at);
  CloseHandle(file);
}
