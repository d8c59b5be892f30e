// The scan report's lines: how they are cut, and the search for a key.
#include <cstring>

#include "common/common.h"
#include "query/report_line.h"

const char fileError[] = "ERROR: Could not open image file!\n\n";

int readReportLine(std::FILE *file, char *buffer, int size) {
  if (std::fgets(buffer, size, file) == nullptr)
    return -1;
  std::size_t len = std::strlen(buffer);
  if (len > 0 && buffer[len - 1] == '\n')
    buffer[--len] = '\0';
  while (len > 0 && buffer[len - 1] == ' ')
    buffer[--len] = '\0';
  return 1;
}

bool findReportLine(std::FILE *file, const char *key, char *line) {
  while (readReportLine(file, line, lineSize) != -1)
    if (std::strstr(line, key) != nullptr)
      return true;
  line[0] = '\0';
  return false;
}

bool findScanReportLine(const char *key, char *line) {
  std::FILE *report = std::fopen(scanReportName, "r");
  if (report == nullptr) {
    (void)std::fputs(fileError, stdout);
    return false;
  }
  bool found = findReportLine(report, key, line);
  (void)std::fclose(report); // read only: nothing to lose
  return found;
}
