// The scan (scan.cpp): which image the device runs.
#pragma once

extern const char imageKey[]; // "Reserved bytes  ="

// Runs the scan command, built by the entry point, and returns the image
// digit from the scan report: '1' or '2', '0' when no image line names one
// (or the report cannot be opened, or is not this scan's own). When the
// scan tool did not end by itself, abnormalEnd says how (abnormalEndReason)
// and the report is not read; else it is nullptr.
char scanForImage(const char *command, const char **abnormalEnd);
