// libFuzzer target: arbitrary bytes as the scan report "busscan.out", read
// by both report readers as a run reads it, and by the line reader. The
// block search that the readers use must find the same line as reading
// the report piece by piece, at the program's block size and at one the
// input chooses (its first two bytes), small enough that refills and the
// carry between blocks happen in short reports; any difference, crash or
// sanitizer finding ends the run.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "common/common.h"
#include "query/query.h"

namespace {

// The report of the current input, written by the scan as the tool would.
const std::uint8_t *reportData = nullptr;
std::size_t reportSize = 0;

void fail(const char *what) {
  (void)std::fprintf(stderr, "report_fuzz: %s\n", what);
  std::abort();
}

int writeReport(const char *) {
  std::FILE *out = std::fopen(scanReportName, "w");
  if (out == nullptr || std::fwrite(reportData, 1, reportSize, out) != reportSize ||
      std::fclose(out) != 0)
    fail("cannot write the report");
  return 0;
}

// The line that reading piece by piece with readReportLine finds key in.
bool referenceFind(std::FILE *file, const char *key, char *line) {
  while (readReportLine(file, line, lineSize) != -1) {
    if (std::strlen(line) >= lineSize)
      fail("readReportLine returned more than 255 characters");
    if (std::strstr(line, key) != nullptr)
      return true;
  }
  return false;
}

// Checks findReportLine against reading piece by piece and leaves the
// line found in expected ("" when none).
void compareFinders(const std::uint8_t *data, std::size_t size, const char *key,
                    std::size_t blockSize, char (&expected)[lineSize]) {
  char actual[lineSize] = {};
  // fmemopen cannot open an empty buffer; an empty report holds no line.
  bool expectedFound = false;
  if (size > 0) {
    std::FILE *memory = fmemopen(const_cast<std::uint8_t *>(data), size, "r");
    if (memory == nullptr)
      fail("fmemopen failed");
    expectedFound = referenceFind(memory, key, expected);
    (void)std::fclose(memory);
  }
  std::FILE *report = std::fopen(scanReportName, "r");
  if (report == nullptr)
    fail("cannot reopen the report");
  bool found = findReportLine(report, key, actual, blockSize);
  (void)std::fclose(report);
  if (found != expectedFound || (found && std::strcmp(actual, expected) != 0))
    fail("findReportLine differs from reading piece by piece");
  if (!expectedFound)
    expected[0] = '\0';
}

// What the readers must make of the lines found piece by piece.
char expectedImage(const char *imageLine) {
  if (imageLine[0] == '\0')
    return '0';
  return std::strlen(imageLine) > 21 ? imageLine[21] : '\0';
}

const char *expectedLevel(const char *levelLine) {
  if (levelLine[0] == '\0')
    return "";
  const char *level = levelLine + 17;
  while (*level != '\0' && std::strchr(" \t\n\v\f\r", *level) != nullptr)
    level++;
  return level;
}

char workDir[] = "/tmp/report_fuzz.XXXXXX";

void removeWorkDir() {
  if (chdir("/") == 0 && std::remove((std::string(workDir) + "/" + scanReportName).c_str()) == 0)
    rmdir(workDir);
}

} // namespace

// Paths given to the fuzzer (corpus, dictionary, artifacts) must be
// absolute: it works in a private directory of its own.
extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  if (mkdtemp(workDir) == nullptr || chdir(workDir) != 0)
    fail("cannot make a working directory");
  if (std::atexit(removeWorkDir) != 0)
    fail("cannot register the clean-up");
  toolRunner = writeReport;
  traceMode = true; // the trace lines print what the readers found
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size < 2)
    return 0;
  std::size_t blockSize = reportBlockMin + ((std::size_t{data[0]} << 8 | data[1]) % 2048);
  reportData = data + 2;
  reportSize = size - 2;
  data = reportData;
  size = reportSize;

  char level[textBlockSize] = {};
  bool interrupted = false;
  char image = scanForImage("0x50", &interrupted);
  readFirmwareLevel(level);
  if (std::strlen(level) > 238)
    fail("level text longer than a line can hold");

  char imageLine[lineSize] = {};
  char levelLine[lineSize] = {};
  compareFinders(data, size, imageKey, blockSize, imageLine);
  compareFinders(data, size, levelKey, blockSize, levelLine);
  if (image != expectedImage(imageLine))
    fail("wrong image digit");
  if (std::strcmp(level, expectedLevel(levelLine)) != 0)
    fail("wrong level");
  return 0;
}
