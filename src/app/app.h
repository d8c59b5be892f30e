// The entry point's pieces: banner, usage and the update sequence.
#pragma once

void printBanner();
void printUsage();

// Runs one update as the command line asks; returns the exit code.
int runVexoflash(int argc, char **argv);
