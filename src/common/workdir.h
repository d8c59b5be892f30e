// The working directory and the tool reports in it (workdir-posix.cpp,
// workdir-win32.cpp).
#pragma once

// True when users other than its owner may write to it, and so plant a
// link or a FIFO under a report name, or swap a report, between the checks
// and the shell's redirection. False when it cannot be examined.
bool workingDirectoryWritableByOthers();

// An exclusive lock on it, taken without waiting and held, by this process
// and the tool commands it starts, until the last of them ends.
enum class DirLock { held, busy, unavailable };
DirLock lockWorkingDirectory();

// False when name exists and is not a regular file (a link, a directory,
// a FIFO, a device ...).
bool isRegularOrAbsent(const char *name);

// Creates or empties the report file as the redirection would, without
// following a link or waiting on a FIFO; true when it now is an empty
// regular file.
bool emptyReportFile(const char *name);
