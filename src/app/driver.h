// The whole program in order (driver.cpp): the banner, the checks, the
// scan, the level, the flash and the audit record.
#pragma once

// Runs one update as the command line asks; returns the exit code. typed
// holds the arguments as the user typed them (typedArguments in
// common/quote.h), which the platform's argv may not hold exactly.
int runVexoflash(int argc, char **argv, const char *const *typed);
