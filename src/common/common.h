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

// Appends text to the command, checking the bound of the 256-byte buffer:
// on overflow the old text stays and the result is false, rather than a
// cut command that could flash the wrong file.
bool appendText(char *command, const char *text);

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

// The statuses the runner gives a tool that did not end by itself: ended
// by Ctrl+C (SIGINT), or by another signal or an abnormal end (a crash).
// The flash reports either as tool status 255; after the scan it ends the
// run. abnormalEndReason names them for the record ("interrupted",
// "tool-killed"); nullptr for any other status.
inline constexpr int toolAbnormalEnd = -2;
inline constexpr int toolInterrupted = -3;
const char *abnormalEndReason(int status);

// Exit codes: the outcome as a calling script reads it.
inline constexpr int successExit = 0;      // updated, or already up to date
inline constexpr int notCompletedExit = 1; // the update did not complete
inline constexpr int updateErrorExit = 2;  // the device was found, writing failed
inline constexpr int usageExit = 111;      // usage, or refused before anything ran
inline constexpr int notFoundExit = 171;   // no device, or no image found
