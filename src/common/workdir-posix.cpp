// The working directory: who may write to it, its lock and the tool
// reports in it; and the host lock.
#include <cerrno>
#include <cstring>
#include <ctime>
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

// A group that holds the owner alone: the owner's primary group, of its
// name, with no members listed in the group database (a user private group).
// The process is single-threaded: the databases' static results are safe.
bool isPrivateGroupOf(uid_t owner, gid_t group) {
  // cppcheck-suppress getpwuidCalled
  const passwd *user = getpwuid(owner);
  if (user == nullptr || user->pw_gid != group)
    return false;
  // cppcheck-suppress getgrgidCalled
  const ::group *entry = getgrgid(group);
  return entry != nullptr && std::strcmp(entry->gr_name, user->pw_name) == 0 &&
         (entry->gr_mem == nullptr || entry->gr_mem[0] == nullptr);
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
  // Its owner may make it writable at any moment, or rename a link into
  // it: under sudo, an ordinary user's folder gives that user root's pen.
  if (st.st_uid != 0 && st.st_uid != geteuid())
    return true;
  if ((st.st_mode & S_IWOTH) != 0)
    return true; // sticky or not: others can still create the report names
  if ((st.st_mode & S_IWGRP) == 0)
    return false;
  if (hasAccessAcl(dir))
    return true;
  return st.st_gid != 0 && !isPrivateGroupOf(st.st_uid, st.st_gid);
}

namespace {

RunLock tryLock(int fd) {
  if (fd < 0)
    return RunLock::unavailable;
  if (flock(fd, LOCK_EX | LOCK_NB) == 0)
    return RunLock::held;
  return errno == EWOULDBLOCK ? RunLock::busy : RunLock::unavailable;
}

} // namespace

const char *hostLockName = "/run/vexoflash.lock";

RunLock lockWorkingDirectory() {
  return tryLock(workingDirectory());
}

// Only root's runs write the device. A lock file not root's alone (one
// link, no access for others) could be held by another user, and one that
// cannot be had lets two runs write at once. Held, it stays open and not
// close-on-exec, as the working directory.
RunLock lockHost(const char **why) {
  if (geteuid() != 0)
    return RunLock::unavailable;
  int file = open(hostLockName, // NOLINT(android-cloexec-open)
                  O_RDWR | O_CREAT | O_NOFOLLOW | O_NOCTTY, 0600);
  struct stat st {};
  bool opened = file >= 0 && fstat(file, &st) == 0;
  bool own = opened && S_ISREG(st.st_mode) && st.st_uid == 0 && st.st_nlink == 1 &&
             (st.st_mode & 077) == 0;
  RunLock lock = own ? tryLock(file) : RunLock::unusable;
  *why = opened && !own ? "not a private file of root" : std::strerror(errno);
  if (lock != RunLock::held)
    (void)close(file);
  return lock == RunLock::unavailable ? RunLock::unusable : lock;
}

void pauseBeforeRetry() {
  timespec pause{0, 100L * 1000 * 1000}; // a SIGTERM cuts it short
  (void)nanosleep(&pause, nullptr);
}

bool isRegularOrAbsent(const char *name) {
  struct stat st {};
  if (lstat(name, &st) != 0)
    return errno == ENOENT;
  return S_ISREG(st.st_mode);
}

bool prepareReportFile(const char *name) {
  // A file left under the name keeps its owner, its other links and its
  // ACL when it is emptied: another user could write this run's report,
  // or have root write over a file it is linked to. It is removed and made
  // anew, so the shell's ">" opens this run's own file. 0644 caps the mask
  // of an ACL the directory's default would give it.
  if (unlink(name) != 0 && errno != ENOENT)
    return false;
  int fd = open(name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  return fd >= 0 && close(fd) == 0;
}
