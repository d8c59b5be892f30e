#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/common.h"
#include "query/query.h"
#include "table.h"

namespace {

NAMED_ROWS

std::FILE *fileOf(const std::string &bytes) {
  std::FILE *f = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::rewind(f);
  return f;
}

// Reads every line of bytes the way the report readers do.
std::vector<std::string> readAll(const std::string &bytes) {
  std::FILE *f = fileOf(bytes);
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

// The key search over those pieces; the scan's and the level's tables hold
// the usual report shapes.
struct FindCase {
  const char *name;
  std::string bytes;
  std::string line; // the piece found; empty: none holds the key
};

class FindReportLine : public ::testing::TestWithParam<FindCase> {};

TEST_P(FindReportLine, FirstPieceHoldingTheKey) {
  std::FILE *f = fileOf(GetParam().bytes);
  char line[lineSize];
  EXPECT_EQ(findReportLine(f, "Reserved bytes  =", line), !GetParam().line.empty());
  EXPECT_EQ(std::string(line), GetParam().line);
  std::fclose(f);
}

const std::string key = "Reserved bytes  =";
const std::string nul(1, '\0');

INSTANTIATE_TEST_SUITE_P(
    Reports, FindReportLine,
    ::testing::Values(
        FindCase{"NulAfterTheKeyCutsTheLine", key + " 0x" + nul + "01\n", key + " 0x"},
        FindCase{"NulHidesOnlyItsOwnLine", nul + key + "\n" + key + "2\n", key + "2"},
        FindCase{"PieceEndingOnTheKey", std::string(238, 'a') + key + "xyz\n",
                 std::string(238, 'a') + key},
        FindCase{"KeyInTheThirdPieceOfALongLine",
                 std::string(510, 'a') + key + " 0x01" + std::string(300, 'b'),
                 key + " 0x01" + std::string(233, 'b')},
        FindCase{"PartialKeysOnly", "Reserved bytes =\nReserved bytes  \nReserved\n", ""}),
    rowName);

} // namespace
