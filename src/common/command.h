// Building the tool commands in bounded buffers (command.cpp); each
// argument becomes one shell word through appendArgument (quote.h).
#pragma once

#include <cstddef>

// The scan and flash commands. Each clears the buffer first; false means
// the command would not fit in 255 characters, and the buffer is empty.
bool buildScanCommand(char *command, const char *address);
bool buildFlashCommand(char *command, const char *address, const char *imageFile);

// Appends text to the command, checking the bound of the 256-byte buffer:
// on overflow the old text stays and the result is false, rather than a
// cut command that could flash the wrong file.
bool appendText(char *command, const char *text);

// Bounded writes at position len of a command buffer: false, with nothing
// written, when the byte and the NUL after it would not fit.
bool putByte(char *command, std::size_t &len, char c);
bool putText(char *command, std::size_t &len, const char *text);
// Writes text at the end of command with put; on overflow the old text
// stays and the result is false.
using PutText = bool (*)(char *command, std::size_t &len, const char *text);
bool appendWith(char *command, PutText put, const char *text);
// True when word is not empty and holds only ASCII letters, digits and
// bytes of punctuation: a word the platform's shell takes as it is.
bool isPlainWord(const char *word, const char *punctuation);
