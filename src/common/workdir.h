// The working directory, the tool reports in it, and the locks that keep
// runs apart (workdir-posix.cpp, workdir-win32.cpp).
#pragma once

// True when users other than its owner may write to it, and so plant a
// link or a FIFO under a report name, or swap a report, between the checks
// and the shell's redirection; also when its owner is neither root nor
// this run's user. False when it cannot be examined.
bool workingDirectoryWritableByOthers();

// Locks taken without waiting: held, by this process and the tool commands
// it starts, until the last of them ends; busy while another run holds
// them; unavailable when they cannot be had at all; unusable when the run
// must not go on without them.
enum class RunLock { held, busy, unavailable, unusable };
// An exclusive lock on the working directory.
RunLock lockWorkingDirectory();
// The host lock: one run at a time on this system, for the runs that may
// write the device (root's; on Windows, any), which it fails closed:
// unusable, with why in the system's words. Other runs: unavailable.
RunLock lockHost(const char **why);
// Its name: "/run/vexoflash.lock" (POSIX), "Global\\vexoflash" (Windows).
// Tests that run the update in their own process name their own.
extern const char *hostLockName;
// A short pause between two tries of a busy lock.
void pauseBeforeRetry();

// False when name exists and is not a regular file (a link, a directory,
// a FIFO, a device ...).
bool isRegularOrAbsent(const char *name);

// Readies the report file for the redirection of its tool command: true
// when it now is an empty regular file. On POSIX it is made anew, owned by
// this run's user, with one link, and no one else may write it.
bool prepareReportFile(const char *name);
