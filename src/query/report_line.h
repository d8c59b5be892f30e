// Reading the scan report line by line (report_line.cpp): how a report is
// cut into lines, and the search for the first line holding a key.
#pragma once

#include <cstdio>

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
// findReportLine does: false when no line holds it, or when the report
// cannot be opened (and the file error has been printed).
bool findScanReportLine(const char *key, char *line);
