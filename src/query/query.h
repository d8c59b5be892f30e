// Reading the device's scan report.
#pragma once

#include <cstdio>

extern const char imageKey[]; // "Reserved bytes  ="
extern const char levelKey[]; // "Firmware level  ="

// Reads one line of at most size - 1 characters into buffer, drops its
// newline and then its trailing spaces (tabs and carriage returns stay).
// Returns 1, or -1 at end of file or on a read error.
int readReportLine(std::FILE *file, char *buffer, int size);

// Reads file from where it stands, line piece by line piece as
// readReportLine does with a lineSize buffer, up to the first piece that
// holds key (the piece's text ends at its first NUL byte), and leaves that
// piece in line (lineSize bytes); false, with line empty, if none does.
bool findReportLine(std::FILE *file, const char *key, char *line);

// Opens "busscan.out" and finds its first line holding key, as
// findReportLine does: 1 when found, 0 when no line holds key, -1 when the
// report cannot be opened (and the file error has been printed).
int findScanReportLine(const char *key, char *line);

// Runs the scan command and returns the image digit from the scan report:
// '1' or '2', '0' when no image line names one (or the report is not this
// scan's own), '9' when the report cannot be opened. When the scan tool
// did not end by itself, abnormalEnd says how (abnormalEndReason) and the
// report is not read; else it is nullptr.
char scanForImage(const char *address, const char **abnormalEnd);

// Prints the current firmware level from the scan report and copies it
// into prvLvl (257 bytes); the level is empty when the report has none.
void readFirmwareLevel(char *prvLvl);
