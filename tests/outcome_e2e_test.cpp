// Whole update runs from the outside: the level line, the flash outcome,
// the power-cycle advice and the exit code, byte for byte.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e_support.h"
#include "expected.h"
#include "table.h"

namespace {

NAMED_ROWS

using namespace expected;
using Outcome = EndToEnd;

// A run whose scan writes report and whose flash exits with flashStatus.
RunResult runUpdate(Sandbox &box, const std::string &report, const std::string &flashStatus,
                    bool debug = false) {
  box.setScanReport(report);
  box.setFlashStatus(flashStatus);
  std::vector<std::string> args{"0x50", "fw-1.bin", "fw-2.bin"};
  if (debug)
    args.push_back("DEBUG");
  return box.run(args);
}

TEST_F(Outcome, TypicalRun) {
  if (!posixSystem())
    GTEST_SKIP() << "the fake tool runs flash scripts only through a POSIX shell";
  box.setFlashScript("echo 'flash progress 100%'\n");
  RunResult r = runUpdate(box, "Vexo3 scan\n" + report1, "0");
  EXPECT_EQ(r.out, banner + flashRun("0x62", "fw-2.bin", updated + dcAdvice));
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(box.readFile(box.workDir() + "/flash.out"), "flash progress 100%\n");
  EXPECT_EQ(box.readFile(box.workDir() + "/busscan.out"), "Vexo3 scan\n" + report1);
}

TEST_F(Outcome, TypicalRunWithTrace) {
  RunResult r = runUpdate(box, "Firmware level  = 0x60\nReserved bytes  = 0x01\n", "12", true);
  EXPECT_EQ(r.out, banner + scanEcho() + imageTrace("Reserved bytes  = 0x01", '1') +
                       levelTrace("Firmware level  = 0x60", "0x60") + levelLine("0x60") +
                       flashEcho("fw-2.bin") + statusTrace(12, "0x60", 1) + digitTrace(12, 2) +
                       updateError + resultTrace(2));
  EXPECT_EQ(r.exitCode, 2);
}

struct StatusCase {
  const char *name;
  std::string status;
  std::string outcome;
  int exitCode;
};

class FlashStatus : public EndToEnd, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(FlashStatus, EndsWithTheOutcomeAndCode) {
  RunResult r =
      runUpdate(box, "Reserved bytes  = 0x01\nFirmware level  = 0x60\n", GetParam().status);
  EXPECT_EQ(r.out, banner + flashRun("0x60", "fw-2.bin", GetParam().outcome));
  EXPECT_EQ(r.exitCode, GetParam().exitCode);
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, FlashStatus,
    ::testing::Values(StatusCase{"Updated", "0", updated + acAdvice, 0},
                      StatusCase{"NoDevice", "1", noVexo, 171},
                      StatusCase{"Failed", "2", updateError, 2},
                      StatusCase{"FoldedToUpToDate", "14", upToDate, 0},
                      StatusCase{"FoldedToOther", "6", didNotCompleteWith(6), 1},
                      StatusCase{"Exit255", "255", didNotComplete, 1},
                      // The shell's notice about the killed tool follows the command.
                      StatusCase{"ToolKilled", "kill", shellNotice(9) + didNotComplete, 1}),
    rowName);

// The level as the operator sees it, for the report shapes a tool writes.
struct LevelCase {
  const char *name;
  std::string report;
  std::string level;
};

class LevelLine : public EndToEnd, public ::testing::WithParamInterface<LevelCase> {};

TEST_P(LevelLine, PrintedBetweenScanAndFlash) {
  RunResult r = runUpdate(box, GetParam().report, "4");
  EXPECT_EQ(r.out, banner + flashRun(GetParam().level, "fw-2.bin", upToDate));
  EXPECT_EQ(r.exitCode, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Reports, LevelLine,
    ::testing::Values(
        LevelCase{"Normal", report1, "0x62"},
        LevelCase{"RightAfterKey", "Reserved bytes  = 0x01\nFirmware level  =0x62\n", "0x62"},
        LevelCase{"TabAndSpace", "Reserved bytes  = 0x01\nFirmware level  =\t 0x62\n", "0x62"},
        LevelCase{"OnlySpaces", "Reserved bytes  = 0x01\nFirmware level  =    \n", ""},
        LevelCase{"IndentedKey", "Reserved bytes  = 0x01\n  Firmware level  = 0x62\n", "= 0x62"},
        LevelCase{"TwoLevelLines", report1 + "Firmware level  = 0x70\n", "0x62"},
        LevelCase{"LevelBeforeImage", "Firmware level  = 0x62\nReserved bytes  = 0x01\n", "0x62"},
        LevelCase{"HighByte", "Reserved bytes  = 0x01\nFirmware level  = \xA0x62\n", "\xA0x62"},
        LevelCase{"CrLf", "Reserved bytes  = 0x01\r\nFirmware level  = 0x62\r\n",
                  "0x62" + std::string(keptCarriageReturn())},
        LevelCase{"NoLevelLine", "Reserved bytes  = 0x01\n", ""}),
    rowName);

// The level read from the scan report decides the advice after the update:
// a kept CR sorts after "0x61" (DC); without it the level equals it (AC).
TEST_F(Outcome, CrLfThresholdLevel) {
  RunResult r = runUpdate(box, "Reserved bytes  = 0x01\r\nFirmware level  = 0x61\r\n", "0");
  const std::string &advice = std::string(keptCarriageReturn()).empty() ? acAdvice : dcAdvice;
  EXPECT_NE(r.out.find(updated + advice), std::string::npos);
}

// Output goes to a log as to a console: whatever the tool writes to its
// standard error stands right after the command that ran it.
TEST_F(Outcome, ToolLinesFollowTheirCommandInALog) {
  if (!posixSystem())
    GTEST_SKIP() << "the fake tool runs scan and flash scripts only through a POSIX shell";
  const std::string warning = "vxtool: warning: bus slow\n";
  box.setScanScript("echo 'vxtool: warning: bus slow' >&2\n");
  box.setFlashScript("echo 'vxtool: warning: bus slow' >&2\necho 'flash progress 100%'\n");
  RunResult r = runUpdate(box, report1, "0");
  EXPECT_EQ(r.out, banner + scanEcho() + warning + levelLine("0x62") + flashEcho("fw-2.bin") +
                       warning + updated + dcAdvice);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(box.readFile(box.workDir() + "/flash.out"), "flash progress 100%\n");
}

} // namespace
