// The scan (scan.cpp): which image the device runs.
#pragma once

extern const char imageKey[]; // "Reserved bytes  ="

// Runs the scan command, built by the entry point, and returns the image
// digit from the scan report: '1' or '2', '0' when no image line names one
// (or the report cannot be opened, or is not this scan's own). interrupted
// is set when the scan tool did not end by itself; the report is then not
// read.
char scanForImage(const char *command, bool *interrupted);
