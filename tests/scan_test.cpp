#include <cstdio>
#include <filesystem>
#include <string>

#include "common/common.h"
#include "common/run.h"
#include "e2e_support.h"
#include "expected.h"
#include "query/report_line.h"
#include "query/scan.h"
#include "table.h"
#include "unit_support.h"

namespace {

NAMED_ROWS

using namespace expected;

// A scan that is expected to run to its end.
char scan() {
  const char *abnormalEnd = "unset";
  char image = scanForImage(scanCommand().c_str(), &abnormalEnd);
  EXPECT_EQ(abnormalEnd, nullptr);
  return image;
}

struct ImageCase {
  const char *name;
  std::string report;
  char image;
  int status = 0; // the scan tool's
};

class ScanForImage : public UnitTest, public ::testing::WithParamInterface<ImageCase> {};

TEST_P(ScanForImage, TakesTheDigitOfTheFirstImageLine) {
  writeReport(GetParam().report);
  scriptedTool.statuses = {GetParam().status};
  const char *abnormalEnd = GetParam().status != toolAbnormalEnd ? "unset" : nullptr;
  char image = 'X';
  std::string out =
      captureOutput([&] { image = scanForImage(scanCommand().c_str(), &abnormalEnd); });
  EXPECT_EQ(image, GetParam().image);
  EXPECT_EQ(abnormalEnd != nullptr, GetParam().status == toolAbnormalEnd);
  EXPECT_EQ(out, scanEcho());
  ASSERT_EQ(scriptedTool.commands.size(), 1u);
}

const std::string filler250(250, '-');
const std::string filler255(255, '-');

INSTANTIATE_TEST_SUITE_P(
    Reports, ScanForImage,
    ::testing::Values(
        ImageCase{"Image1", "Vexo3\nReserved bytes  = 0x01\n", '1'},
        ImageCase{"Image2", "Reserved bytes  = 0x02\nFirmware level  = 0x62\n", '2'},
        ImageCase{"NoImageLine", "Firmware level  = 0x62\n", '0'},
        ImageCase{"FirstLineDecides", "Reserved bytes  = 0x02\nReserved bytes  = 0x01\n", '2'},
        ImageCase{"IndentedKeyCountsFromLineStart", "  Reserved bytes  = 0x01\n", 'x'},
        ImageCase{"KeyInsideLine", "xReserved bytes  = 0x01\n", '0'},
        ImageCase{"LongValueStillIndex21", "Reserved bytes  = 0x0123456\n", '1'},
        ImageCase{"Exactly21Characters", "Reserved bytes  = 0x0\n", '\0'},
        // An earlier, longer line leaves '9' at index 21 of the buffer; a
        // short image line must not pick it up.
        ImageCase{"ShortLineAfterLongLine", "abcdefghijklmnopqrstu9vwxyz\nReserved bytes  =\n",
                  '\0'},
        ImageCase{"KeySplitAcrossPieces", filler250 + "Reserved bytes  = 0x01\n", '0'},
        ImageCase{"KeyStartsSecondPiece", filler255 + "Reserved bytes  = 0x02\n", '2'},
        ImageCase{"NulBeforeKeyHidesIt", std::string("ab\0Reserved bytes  = 0x01\n", 26), '0'},
        // When the shell cannot start, the redirection never happened: the
        // report on disk is an earlier run's and must not choose an image.
        ImageCase{"StaleReportWhenTheShellFails", "Reserved bytes  = 0x01\n", '0', -1},
        // A scan tool that did not end by itself (Ctrl+C, a crash) stops the
        // run: whatever it wrote is not read.
        ImageCase{"InterruptedIsNotRead", report1, '0', toolAbnormalEnd},
        // Any other scan status is ignored: the report decides.
        ImageCase{"WhateverTheToolReturned", "Reserved bytes  = 0x02\n", '2', 1}),
    rowName);

TEST_F(UnitTest, ScanTracesTheImageLine) {
  writeReport("Reserved bytes  = 0x01  \nFirmware level  = 0x62\n");
  traceMode = true;
  std::string out = captureOutput([] { EXPECT_EQ(scan(), '1'); });
  EXPECT_EQ(out, scanEcho() + imageTrace("Reserved bytes  = 0x01", '1'));
}

// A report left by an earlier run, behind a name the scan could not empty
// (here a link), is never read, and what the link points at stays.
TEST_F(UnitTest, ScanDoesNotReadAReportItCouldNotEmpty) {
  if (!posixSystem())
    GTEST_SKIP() << "symbolic links, which the cross build's C++ runtime cannot make";
  writeFile("earlier.out", "Reserved bytes  = 0x01\n");
  std::filesystem::create_symlink("earlier.out", scanReportName);
  std::string out = captureOutput([] { EXPECT_EQ(scan(), '0'); });
  EXPECT_EQ(out, scanEcho());
  ASSERT_EQ(scriptedTool.commands.size(), 1u);
  std::FILE *earlier = std::fopen("earlier.out", "r");
  ASSERT_NE(earlier, nullptr);
  char line[lineSize] = {};
  EXPECT_EQ(readReportLine(earlier, line, lineSize), 1);
  EXPECT_STREQ(line, "Reserved bytes  = 0x01");
  std::fclose(earlier);
}

// A report from before the scan never counts, even when the tool writes
// nothing: the scan starts from an empty report.
TEST_F(UnitTest, ScanStartsFromAnEmptyReport) {
  writeFile(scanReportName, "Reserved bytes  = 0x01\n");
  captureOutput([] { EXPECT_EQ(scan(), '0'); });
}

} // namespace
