#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/common.h"
#include "query/report_line.h"
#include "table.h"

namespace {

NAMED_ROWS

// Reads every line of bytes the way the report readers do.
std::vector<std::string> readAll(const std::string &bytes) {
  std::FILE *f = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::rewind(f);
  std::vector<std::string> lines;
  char line[lineSize] = {};
  while (readReportLine(f, line, lineSize) != -1)
    lines.emplace_back(line);
  std::fclose(f);
  return lines;
}

struct LineCase {
  const char *name;
  std::string bytes;
  std::vector<std::string> lines;
};

class ReadReportLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(ReadReportLine, SplitsAndTrimsLikeTheReaders) {
  EXPECT_EQ(readAll(GetParam().bytes), GetParam().lines);
}

const std::string s255(255, 'a');
const std::string s254(254, 'b');

INSTANTIATE_TEST_SUITE_P(
    Lines, ReadReportLine,
    ::testing::Values(LineCase{"Empty", "", {}}, LineCase{"OneLine", "abc\n", {"abc"}},
                      LineCase{"NoFinalNewline", "abc", {"abc"}},
                      LineCase{"BlankLines", "\n\nx\n", {"", "", "x"}},
                      LineCase{"TrailingSpacesGo", "abc   \n", {"abc"}},
                      LineCase{"OnlySpaces", "    \n", {""}},
                      LineCase{"TabStaysSpacesBeforeItToo", "abc \t  \n", {"abc \t"}},
                      LineCase{"LeadingSpacesStay", "  abc\n", {"  abc"}},
                      LineCase{"CarriageReturnStays", "abc\r\n", {"abc\r"}},
                      LineCase{"SpaceBeforeCarriageReturnStays", "abc \r\n", {"abc \r"}},
                      LineCase{"Exactly255ThenItsNewline", s255 + "\n", {s255, ""}},
                      LineCase{"LongLineInPieces", s255 + s255 + "xyz\n", {s255, s255, "xyz"}},
                      LineCase{
                          "SpaceAt255IsTrimmedInThePiece", s254 + " " + "rest\n", {s254, "rest"}},
                      LineCase{"Exactly254", s254 + "\nz\n", {s254, "z"}}),
    rowName);

} // namespace
