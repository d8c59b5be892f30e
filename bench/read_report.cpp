// Reads the scan report "busscan.out" in the current directory as a run
// does after its scan (image line, then level), without running the scan,
// which would empty the report first.
#include "common/common.h"
#include "query/query.h"

int main() {
  char line[lineSize] = {};
  char level[textBlockSize] = {};
  int found = findScanReportLine(imageKey, line);
  readFirmwareLevel(level);
  return found > 0 ? 0 : 171;
}
