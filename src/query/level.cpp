// The level read: the firmware level the device runs, from the scan
// report.
#include <cstdio>
#include <cstring>

#include "common/common.h"
#include "query/level.h"
#include "query/report_line.h"

const char levelKey[] = "Firmware level  =";

void readFirmwareLevel(char *prvLvl) {
  // Stands for the level while no level line is found: an empty text.
  static const char *const fallback = new char[textBlockSize]();
  char line[lineSize] = {};
  const char *fwLvl = fallback;

  // A report that cannot be opened (its error printed) reads as one
  // without a level line.
  if (findScanReportLine(levelKey, line)) {
    // Counted from the start of the line, where the key should stand.
    fwLvl = line + (sizeof levelKey - 1);
    // Whitespace as the C locale knows it: bytes 0x80 and above never
    // count, whatever the signedness of char.
    while (*fwLvl != '\0' && std::strchr(" \t\n\v\f\r", *fwLvl) != nullptr)
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
