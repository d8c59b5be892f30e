// What the simulated tool does differently on POSIX systems.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "sim.h"

void dieBySignal(int signal) {
  std::fflush(stdout);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

bool replaceFile(const std::string &from, const std::string &to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

std::FILE *createNewFile(const std::string &name) {
  int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0)
    return nullptr;
  std::FILE *file = fdopen(fd, "w");
  if (file == nullptr) {
    int error = errno;
    close(fd);
    unlink(name.c_str());
    errno = error;
  }
  return file;
}

unsigned long processId() {
  return static_cast<unsigned long>(getpid());
}

// flock, as vexoflash locks its folder: the lock belongs to this open
// file and ends with it, or with the process however it ends. Opened for
// reading only, so that a lock file another user made still locks.
StateLock::StateLock(const std::string &state) {
  int fd = open(lockPathOf(state).c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0)
    return;
  int locked;
  while ((locked = flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
  }
  if (locked != 0) {
    close(fd);
    return;
  }
  handle_ = fd;
}

StateLock::~StateLock() {
  if (handle_ >= 0)
    close(static_cast<int>(handle_));
}
