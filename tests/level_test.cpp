#include <cstring>
#include <string>

#include "common/common.h"
#include "e2e_support.h"
#include "expected.h"
#include "query/level.h"
#include "table.h"
#include "unit_support.h"

namespace {

NAMED_ROWS

using namespace expected;

struct LevelCase {
  const char *name;
  std::string report;
  std::string level;
};

class ReadFirmwareLevel : public UnitTest, public ::testing::WithParamInterface<LevelCase> {};

TEST_P(ReadFirmwareLevel, PrintsAndKeepsTheLevelText) {
  if (GetParam().report.find("\r\n") != std::string::npos && *keptCarriageReturn() == '\0')
    GTEST_SKIP()
        << "text mode drops the CR of a CR LF here; the end-to-end CrLfReport test covers it";
  writeReport(GetParam().report);
  char prvLvl[textBlockSize];
  std::memset(prvLvl, '#', sizeof prvLvl); // never shows up in a result
  std::string out = captureOutput([&] { readFirmwareLevel(prvLvl); });
  EXPECT_EQ(out, levelLine(GetParam().level));
  EXPECT_EQ(std::string(prvLvl), GetParam().level);
}

const std::string long238(238, 'L');

INSTANTIATE_TEST_SUITE_P(
    Reports, ReadFirmwareLevel,
    ::testing::Values(
        LevelCase{"Normal", "Firmware level  = 0x62\n", "0x62"},
        LevelCase{"RightAfterKey", "Firmware level  =0x62\n", "0x62"},
        LevelCase{"AllWhitespaceKinds", "Firmware level  = \t\v\f\r0x62\n", "0x62"},
        LevelCase{"OnlySpaces", "Firmware level  =     \n", ""},
        LevelCase{"IndentedKey", "  Firmware level  = 0x62\n", "= 0x62"},
        LevelCase{"InnerSpacesKept", "Firmware level  = 0x62 beta 2\n", "0x62 beta 2"},
        LevelCase{"CrLfKeepsTheReturn", "Firmware level  = 0x61\r\n", "0x61\r"},
        LevelCase{"FirstOfTwo", "Firmware level  = 0x62\nFirmware level  = 0x63\n", "0x62"},
        LevelCase{"BeforeImageLine", "Firmware level  = 0x62\nReserved bytes  = 0x01\n", "0x62"},
        LevelCase{"AfterImageLine", "Reserved bytes  = 0x01\nFirmware level  = 0x62\n", "0x62"},
        LevelCase{"HighByteIsNotWhitespace", "Firmware level  = \xA0\x85x62\n", "\xA0\x85x62"},
        LevelCase{"LongestLevel", "Firmware level  =" + long238 + "\n", long238},
        LevelCase{"NoLevelLine", "Reserved bytes  = 0x01\n", ""}),
    rowName);

TEST_F(UnitTest, LevelTracesTheLevelLine) {
  writeReport("Reserved bytes  = 0x01\nFirmware level  =  0x62   \n");
  traceMode = true;
  char prvLvl[textBlockSize];
  std::string out = captureOutput([&] { readFirmwareLevel(prvLvl); });
  EXPECT_EQ(out, levelTrace("Firmware level  =  0x62", "0x62") + levelLine("0x62"));
}

TEST_F(UnitTest, LevelWithoutReportIsEmpty) {
  char prvLvl[textBlockSize];
  std::memset(prvLvl, '#', sizeof prvLvl);
  std::string out = captureOutput([&] { readFirmwareLevel(prvLvl); });
  EXPECT_EQ(out, cannotOpenReport + levelLine(""));
  EXPECT_STREQ(prvLvl, "");
}

} // namespace
