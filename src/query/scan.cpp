#include <cstdio>
#include <cstring>

#include "common/common.h"
#include "common/workdir.h"
#include "query/query.h"

const char imageKey[] = "Reserved bytes  =";

namespace {

// The digit stands four characters past the key: "Reserved bytes  = 0x01".
constexpr std::size_t digitIndex = sizeof imageKey - 1 + 4;

// A line too short to reach the digit yields a zero byte, never a byte
// that an earlier, longer line left behind in the buffer.
char digitOf(const char *line) {
  return std::strlen(line) > digitIndex ? line[digitIndex] : '\0';
}

} // namespace

char scanForImage(const char *address, const char **abnormalEnd) {
  char line[lineSize] = {};
  char command[lineSize] = {};
  char image = '0';

  // The entry point has refused an address whose command would not fit.
  (void)buildScanCommand(command, address);
  std::printf("\nScanning for Vexo3 image.\n");
  // Made here, the report can hold only what this scan writes. When it
  // cannot be made, the scan's redirection fails too, and whatever the
  // report holds is an earlier run's.
  bool fresh = prepareReportFile(scanReportName);
  int status = runToolCommand(command);
  // A scan killed part-way (Ctrl+C, say) leaves half a report at best.
  *abnormalEnd = abnormalEndReason(status);
  if (*abnormalEnd != nullptr)
    return image;
  // Otherwise the status says nothing about the report, except that when
  // the shell could not start, nothing rewrote it either.
  if (status == -1 || !fresh)
    return image;

  int found = findScanReportLine(imageKey, line);
  if (found < 0)
    return '9';
  if (found > 0) {
    image = digitOf(line);
    if (traceMode) {
      std::printf("line:  %s\n", line);
      std::printf("image:  %c\n", image);
    }
  }
  return image;
}
