#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "common/common.h"
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

char scanForImage(const char *address) {
  char line[lineSize] = {};
  char command[lineSize] = {};
  char image = '0';

  if (!buildScanCommand(command, address))
    return image; // the entry point refuses such an address before this
  // A report this run may not write cannot be replaced by the scan's
  // redirection: whatever it holds is an earlier run's.
  bool rewritable = access(scanReportName, F_OK) != 0 || access(scanReportName, W_OK) == 0;
  std::printf("\nScanning for Vexo3 image.\n");
  // The scan's tool status says nothing about the report, except that
  // when the shell could not start, busscan.out is an earlier run's too.
  if (runToolCommand(command) == -1 || !rewritable)
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
