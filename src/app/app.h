// The entry point's pieces: banner, usage and the update sequence.
#pragma once

void printBanner();
void printUsage();

// Runs one update as the command line asks; returns the exit code. typed
// holds the arguments as the user typed them (typedArguments in
// common/quote.h), which the platform's argv may not hold exactly.
int runVexoflash(int argc, char **argv, const char *const *typed);
