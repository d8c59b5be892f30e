// The whole program in this process, with the scripted tool: what a
// command line makes it print, return and run. Usage, the trace switch,
// the refusals before anything runs, the image choice and the runs that
// end at the scan.
#include <string>
#include <vector>

#include "common/common.h"
#include "expected.h"
#include "table.h"
#include "unit_support.h"

namespace {

NAMED_ROWS

using namespace expected;
using Args = std::vector<std::string>;

struct DriverCase {
  const char *name;
  Args args;
  std::string report;
  std::string out; // after the banner
  int exitCode;
  std::vector<std::string> commands;
  bool reportRemoved = false; // the scan removes the report it wrote
};

class Driver : public UnitTest, public ::testing::WithParamInterface<DriverCase> {};

TEST_P(Driver, PrintsReturnsAndRuns) {
  const DriverCase &row = GetParam();
  writeReport(row.report);
  if (row.reportRemoved)
    scriptedTool.action = [] { std::remove(scanReportName); };
  int exitCode = -99;
  std::string out = captureOutput([&] { exitCode = runInProcess(row.args); });
  EXPECT_EQ(out, banner + row.out);
  EXPECT_EQ(exitCode, row.exitCode);
  EXPECT_EQ(scriptedTool.commands, row.commands);
}

const Args standard{"0x50", "i1", "i2"};
const std::string report2 = "Reserved bytes  = 0x02\nFirmware level  = 0x62\n";
const std::string updatedWith2 = flashRun("0x62", "i2", updated + dcAdvice);
const std::vector<std::string> ranWith2{scanCommand(), flashCommand("i2")};
const std::string traced = scanEcho() + imageTrace("Reserved bytes  = 0x01", '1') +
                           levelTrace("Firmware level  = 0x62", "0x62") + levelLine("0x62") +
                           flashEcho("i2") + statusTrace(0, "0x62", -1) + updated + dcAdvice +
                           resultTrace(0);
// "vxtool -i2cp 0x50 -q -f " and " 2>&1 > flash.out" leave 214 characters
// for the image word, and the scan command 223 for the address.
const std::string name215(215, 'f');

INSTANTIATE_TEST_SUITE_P(
    CommandLines, Driver,
    ::testing::Values(
        DriverCase{"NoArguments", {}, report1, usage, 111, {}},
        DriverCase{"TwoArguments", {"0x50", "i1"}, report1, usage, 111, {}},
        DriverCase{"ThreeArguments", standard, report1, updatedWith2, 0, ranWith2},
        DriverCase{"Debug", {"0x50", "i1", "i2", "DEBUG"}, report1, traced, 0, ranWith2},
        DriverCase{
            "LowerCaseDebug", {"0x50", "i1", "i2", "debug"}, report1, updatedWith2, 0, ranWith2},
        DriverCase{
            "PaddedDebug", {"0x50", "i1", "i2", "DEBUG "}, report1, updatedWith2, 0, ranWith2},
        DriverCase{"DebugWithMore",
                   {"0x50", "i1", "i2", "DEBUG", "x"},
                   report1,
                   updatedWith2,
                   0,
                   ranWith2},
        DriverCase{"RunsImage2",
                   standard,
                   report2,
                   flashRun("0x62", "i1", updated + dcAdvice),
                   0,
                   {scanCommand(), flashCommand("i1")}},
        DriverCase{
            "Image2At215", {"0x50", "i1", name215}, report1, tooLong("Image 2 file name"), 111, {}},
        // Refused even though this device runs image 1 and takes image 2.
        DriverCase{
            "Image1At215", {"0x50", name215, "i2"}, report1, tooLong("Image 1 file name"), 111, {}},
        DriverCase{"AddressTooLongForTheScan",
                   {std::string(224, 'a'), "i1", "i2"},
                   report1,
                   tooLong("Bootloader register address"),
                   111,
                   {}},
        DriverCase{"AddressTooLongWithAnImage",
                   {std::string(217, 'a'), "i1", "i2"},
                   report1,
                   tooLong("Image 1 file name"),
                   111,
                   {}},
        // No exit-code trace line after the scan.
        DriverCase{"ReportRemovedWithTrace",
                   {"0x50", "i1", "i2", "DEBUG"},
                   report1,
                   scanEcho() + cannotOpenReport + notFound,
                   171,
                   {scanCommand()},
                   true}),
    rowName);

} // namespace
