// Handing an argument to the platform's shell (quote-posix.cpp,
// quote-win32.cpp): as one word, and only when it can be passed safely.
#pragma once

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
