// libFuzzer target: arbitrary bytes as the scan report "busscan.out", read
// by the scan and the level reader as a run reads them. Both must find what
// a model of the report written here over the bytes finds: pieces of at
// most 255 bytes, each ending at its newline if one comes first, whose text
// ends at the first NUL byte and loses the newline, then trailing spaces.
// Any difference, crash or sanitizer finding ends the run.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unistd.h>

#include "common/common.h"
#include "common/run.h"
#include "query/level.h"
#include "query/scan.h"

namespace {

// The report of the current input, written by the scan as the tool would.
std::string_view report;

void fail(const char *what) {
  (void)std::fprintf(stderr, "report_fuzz: %s\n", what);
  std::abort();
}

int writeReport(const char *) {
  std::FILE *out = std::fopen(scanReportName, "w");
  if (out == nullptr || std::fwrite(report.data(), 1, report.size(), out) != report.size() ||
      std::fclose(out) != 0)
    fail("cannot write the report");
  return 0;
}

// The text of the first piece that holds key, by the model; found is false
// when none does.
std::string_view modelFind(std::string_view rest, std::string_view key, bool &found) {
  while (!rest.empty()) {
    std::size_t length = std::min(rest.size(), lineSize - 1);
    if (std::size_t newline = rest.substr(0, length).find('\n'); newline != std::string_view::npos)
      length = newline + 1;
    std::string_view text = rest.substr(0, length);
    rest.remove_prefix(length);
    text = text.substr(0, text.find('\0'));
    if (!text.empty() && text.back() == '\n')
      text.remove_suffix(1);
    while (!text.empty() && text.back() == ' ')
      text.remove_suffix(1);
    if (text.find(key) != std::string_view::npos) {
      found = true;
      return text;
    }
  }
  found = false;
  return {};
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
  report = {reinterpret_cast<const char *>(data), size};
  char level[textBlockSize] = {};
  const char *abnormalEnd = nullptr;
  char image = scanForImage("vxtool -i2cp 0x50 2>&1 > busscan.out", &abnormalEnd);
  readFirmwareLevel(level);

  bool found = false;
  std::string_view imageLine = modelFind(report, imageKey, found);
  char expectedImage = !found ? '0' : imageLine.size() > 21 ? imageLine[21] : '\0';
  if (image != expectedImage)
    fail("wrong image digit");
  std::string_view levelLine = modelFind(report, levelKey, found);
  std::string_view expectedLevel = found ? levelLine.substr(17) : std::string_view{};
  while (!expectedLevel.empty() &&
         std::string_view(" \t\v\f\r").find(expectedLevel.front()) != std::string_view::npos)
    expectedLevel.remove_prefix(1);
  if (std::string_view(level) != expectedLevel)
    fail("wrong level");
  return 0;
}
