// The working directory: who may write to it, its lock and the tool
// reports in it.
#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "common/workdir.h"

namespace {

// The working directory, opened once and kept open until the process ends:
// what is examined is what is locked, and the shell's relative names
// resolve in it. Not close-on-exec: the shell and the tool inherit the
// descriptor, so the lock lasts while a tool still writes, even if this
// process dies.
int workingDirectory() {
  static const int dir = open(".", O_RDONLY | O_DIRECTORY); // NOLINT(android-cloexec-open)
  return dir;
}

// A group that holds the owner alone: the owner's primary group, with no
// members listed in the group database (a user private group).
// The process is single-threaded: the databases' static results are safe.
bool isPrivateGroupOf(uid_t owner, gid_t group) {
  // cppcheck-suppress getpwuidCalled
  const passwd *user = getpwuid(owner);
  if (user == nullptr || user->pw_gid != group)
    return false;
  // cppcheck-suppress getgrgidCalled
  const ::group *entry = getgrgid(group);
  return entry != nullptr && (entry->gr_mem == nullptr || entry->gr_mem[0] == nullptr);
}

// With an access ACL, the group bits of the mode are its mask: named users
// and groups may write whenever the mask lets them.
bool hasAccessAcl(int dir) {
  return fgetxattr(dir, "system.posix_acl_access", nullptr, 0) > 0;
}

} // namespace

bool workingDirectoryWritableByOthers() {
  struct stat st {};
  int dir = workingDirectory();
  if (dir < 0 || fstat(dir, &st) != 0)
    return false; // as with the lock, an unexaminable directory stops nothing
  if ((st.st_mode & S_IWOTH) != 0)
    return true; // sticky or not: others can still create the report names
  if ((st.st_mode & S_IWGRP) == 0)
    return false;
  if (hasAccessAcl(dir))
    return true;
  return st.st_gid != 0 && !isPrivateGroupOf(st.st_uid, st.st_gid);
}

DirLock lockWorkingDirectory() {
  int dir = workingDirectory();
  if (dir < 0)
    return DirLock::unavailable;
  if (flock(dir, LOCK_EX | LOCK_NB) == 0)
    return DirLock::held;
  return errno == EWOULDBLOCK ? DirLock::busy : DirLock::unavailable;
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
