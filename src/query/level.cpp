#include <cstdio>

#include "common/common.h"
#include "query/query.h"

const char levelKey[] = "Firmware level  =";

namespace {

// Whitespace as the C locale knows it, tested on the byte value so that
// bytes 0x80 and above never count, whatever the signedness of char.
bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

void readFirmwareLevel(char *prvLvl) {
  // Stands for the level while no level line is found: an empty text.
  static const char *const fallback = new char[textBlockSize]();
  char line[lineSize] = {};
  const char *fwLvl = fallback;

  // A report that cannot be opened (its error printed) reads as one
  // without a level line.
  if (findScanReportLine(levelKey, line) > 0) {
    // Counted from the start of the line, where the key should stand.
    fwLvl = line + (sizeof levelKey - 1);
    while (isBlank(*fwLvl))
      fwLvl++;
    if (traceMode) {
      std::printf("line:  %s\n", line);
      std::printf("fwLvl:  %s\n", fwLvl);
    }
  }
  std::printf("Current Firmware Level = %s\n", fwLvl);
  // At most 238 characters come from a 255-character line, so it fits.
  (void)std::snprintf(prvLvl, textBlockSize, "%s", fwLvl);
}
