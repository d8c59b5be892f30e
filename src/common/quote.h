// Handing an argument to the platform's shell (quote-posix.cpp,
// quote-win32.cpp), and the bounded writes the builders and the quoting
// share (command.cpp).
#pragma once

#include <cstddef>

// The arguments as the user typed them, read once by the entry point and
// handed down: argv itself where argv holds exactly that (POSIX); on
// Windows, whose C runtime makes argv through the ANSI code page, each
// argument of the wide command line in UTF-8 (nullptr where it cannot be
// had). argc + 1 entries, kept for the whole run.
const char *const *typedArguments(int argc, char **argv);
// Whether argument, which the user typed as typed (an entry of
// typedArguments), can be handed to the shell safely, and as the user gave
// it.
bool argumentIsPassable(const char *typed, const char *argument);
// Appends the argument as one shell word, bound-checked as appendText is;
// false, with the command unchanged, when it does not fit or cannot be
// passed at all.
bool appendArgument(char *command, const char *argument);

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
