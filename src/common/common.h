// Shared by every part of vexoflash: the trace flag, the fixed strings,
// the tool command builder and the one place where tool commands run.
#pragma once

#include <cstddef>

// Size of every command and report line buffer: 255 characters and a NUL.
inline constexpr std::size_t lineSize = 256;
// Size of every heap text block (level text, number text).
inline constexpr std::size_t textBlockSize = 257;

// Set once by the entry point when the last argument is "DEBUG".
extern bool traceMode;

extern const char commandPrefix[];  // "vxtool -i2cp "
extern const char commandEcho[];    // "Command:  %s\n"
extern const char scanReportName[]; // "busscan.out"
extern const char scanRedirect[];   // " 2>&1 > busscan.out"
extern const char flashOptions[];   // " -q -f "
extern const char flashLogName[];   // "flash.out"
extern const char flashRedirect[];  // " 2>&1 > flash.out"
extern const char fileError[];      // report cannot be opened
extern const char notCompleted[];   // the update did not complete

// Command building. Every append checks the bound of the 256-byte buffer
// and refuses, keeping the old text, rather than truncate: a cut
// command could flash the wrong file.
bool appendText(char *command, const char *text);
// Bounded writes at position len of a command buffer, for the builders and
// the platform quoting: false, with nothing written, when the byte and the
// NUL after it would not fit.
bool putByte(char *command, std::size_t &len, char c);
bool putText(char *command, std::size_t &len, const char *text);
// Writes text at the end of command with put; on overflow the old text
// stays and the result is false.
using PutText = bool (*)(char *command, std::size_t &len, const char *text);
bool appendWith(char *command, PutText put, const char *text);
// True when word is not empty and holds only ASCII letters, digits and
// bytes of punctuation: a word the platform's shell takes as it is.
bool isPlainWord(const char *word, const char *punctuation);

// The scan and flash commands. Each clears the buffer first; false means
// the command would not fit in 255 characters, and the buffer is empty.
bool buildScanCommand(char *command, const char *address);
bool buildFlashCommand(char *command, const char *address, const char *imageFile);

// Echoes the command with commandEcho and runs it through toolRunner.
int runToolCommand(const char *command);
// The seam: every tool command runs through this pointer, so tests can
// script tool statuses without starting processes.
using ToolRunner = int (*)(const char *command);
extern ToolRunner toolRunner;

// The status the runner gives a tool that did not end by itself: killed by
// a signal, or ended abnormally (a crash, Ctrl+C). The flash reports it as
// tool status 255; after the scan it ends the run.
inline constexpr int toolAbnormalEnd = -2;

// What differs between platforms, one file each (*-posix.cpp, *-win32.cpp).
//
// The shell (quote-*.cpp): whether the argument at position (1 to 3) of
// the command line can be handed to it safely at all, as the user gave it,
// and appending an argument as one word, bound-checked as appendText is.
bool argumentIsPassable(int position, const char *argument);
bool appendArgument(char *command, const char *argument);

// The runner (run-*.cpp): prepareToolRuns readies the process once, before
// any tool runs; runWithShell runs one command line through the system
// shell and returns the tool status: the exit code, toolAbnormalEnd, or -1
// when the shell could not be started; toolStatusFromSystem turns
// std::system's result into that status.
void prepareToolRuns();
int runWithShell(const char *command);
int toolStatusFromSystem(int systemResult);

// The working directory (workdir-*.cpp).
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
