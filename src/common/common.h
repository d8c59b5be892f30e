// Shared by every part of vexoflash: the trace flag, the buffer sizes, the
// report names and the message of an update that did not complete.
#pragma once

#include <cstddef>

// Size of every command and report line buffer: 255 characters and a NUL.
inline constexpr std::size_t lineSize = 256;
// Size of every heap text block (level text, number text).
inline constexpr std::size_t textBlockSize = 257;

// Set once by the entry point when the last argument is "DEBUG".
extern bool traceMode;

extern const char scanReportName[]; // "busscan.out"
extern const char flashLogName[];   // "flash.out"
extern const char notCompleted[];   // the update did not complete
