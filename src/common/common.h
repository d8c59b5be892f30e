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
extern const char flashRedirect[];  // " 2>&1 > flash.out"
extern const char fileError[];      // report cannot be opened

// Command building. Every append checks the bound of the 256-byte buffer
// and refuses, keeping the old text, rather than truncate: a cut
// command could flash the wrong file.
bool appendText(char *command, const char *text);
// Appends an argument as one shell word: verbatim when it holds only
// characters the shell never treats specially, else single-quoted.
bool appendArgument(char *command, const char *argument);

// The scan and flash commands. Each clears the buffer first; false means
// the command would not fit in 255 characters, and the buffer is empty.
bool buildScanCommand(char *command, const char *address);
bool buildFlashCommand(char *command, const char *address, const char *imageFile);

// Runs one command line through the system shell and returns the tool
// status: the exit code, 255 for a tool ended by a signal, -1 when the
// shell could not be started.
using ToolRunner = int (*)(const char *command);
int runWithShell(const char *command);
// The seam: every tool command runs through this pointer, so tests can
// script tool statuses without starting processes.
extern ToolRunner toolRunner;
// Turns a wait status from std::system into a tool status.
int toolStatusFromWait(int waitStatus);
// Echoes the command with commandEcho and runs it through toolRunner.
int runToolCommand(const char *command);
