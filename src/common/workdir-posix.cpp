// The working directory: its lock and the tool reports in it.
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/common.h"

namespace {

// The locked directory, open until the process ends.
int lockedDirectory = -1;

} // namespace

DirLock lockWorkingDirectory() {
  // Not close-on-exec: the shell and the tool inherit the descriptor, so
  // the lock lasts while a tool still writes, even if this process dies.
  int dir = open(".", O_RDONLY | O_DIRECTORY); // NOLINT(android-cloexec-open)
  if (dir < 0)
    return DirLock::unavailable;
  if (flock(dir, LOCK_EX | LOCK_NB) == 0) {
    lockedDirectory = dir;
    return DirLock::held;
  }
  bool busy = errno == EWOULDBLOCK;
  (void)close(dir);
  return busy ? DirLock::busy : DirLock::unavailable;
}

bool isRegularOrAbsent(const char *name) {
  struct stat st {};
  if (lstat(name, &st) != 0)
    return errno == ENOENT;
  return S_ISREG(st.st_mode);
}

bool emptyReportFile(const char *name) {
  // As the shell's ">" opens it, but never through a link and never
  // waiting for a reader of a FIFO.
  int fd = open(name, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0)
    return false;
  struct stat st {};
  bool emptied = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0;
  return close(fd) == 0 && emptied;
}
