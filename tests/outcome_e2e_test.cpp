// Whole update runs from the outside: the level line, the flash outcome,
// the power-cycle advice and the exit code, byte for byte.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e_support.h"
#include "table.h"

namespace {

NAMED_ROWS

const std::string scanEcho =
    "\nScanning for Vexo3 image.\nCommand:  vxtool -i2cp 0x50 2>&1 > busscan.out\n";
const std::string flashEcho =
    "Flashing Vexo.\nCommand:  vxtool -i2cp 0x50 -q -f fw-2.bin 2>&1 > flash.out\n";

class Outcome : public ::testing::Test {
protected:
  void SetUp() override {
    box.installFakeTool();
  }
  RunResult runUpdate(const std::string &report, const std::string &flashStatus,
                      bool debug = false) {
    box.setScanReport(report);
    box.setFlashStatus(flashStatus);
    std::vector<std::string> args{"0x50", "fw-1.bin", "fw-2.bin"};
    if (debug)
      args.push_back("DEBUG");
    return box.run(args);
  }
  Sandbox box;
};

TEST_F(Outcome, TypicalRun) {
  box.setFlashScript("echo 'flash progress 100%'\n");
  RunResult r = runUpdate("Vexo3 scan\nReserved bytes  = 0x01\nFirmware level  = 0x62\n", "0");
  EXPECT_EQ(r.out, banner + scanEcho + "Current Firmware Level = 0x62\n" + flashEcho +
                       "Vexo found and firmware updated.\n"
                       "DC power cycle the system for the update to take effect.\n");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(box.readFile(box.workDir() + "/flash.out"), "flash progress 100%\n");
  EXPECT_EQ(box.readFile(box.workDir() + "/busscan.out"),
            "Vexo3 scan\nReserved bytes  = 0x01\nFirmware level  = 0x62\n");
}

TEST_F(Outcome, TypicalRunWithTrace) {
  RunResult r = runUpdate("Firmware level  = 0x60\nReserved bytes  = 0x01\n", "12", true);
  EXPECT_EQ(r.out, banner + scanEcho +
                       "line:  Reserved bytes  = 0x01\nimage:  1\n"
                       "line:  Firmware level  = 0x60\nfwLvl:  0x60\n"
                       "Current Firmware Level = 0x60\n" +
                       flashEcho +
                       "VxTool return code:  12\nPowerCycle:0x61 prvLvl:0x60\n"
                       "strcmp 0x61, 0x60\ncycle  1\n"
                       "getDigit()\nnumString:  12.\nnewNum:  2.\n"
                       "Vexo firmware update error - Vexo found but update failed.\n"
                       "vexoUpdate() return code:  2.\n");
  EXPECT_EQ(r.exitCode, 2);
}

struct StatusCase {
  const char *name;
  std::string status;
  std::string outcome;
  int exitCode;
};

class FlashStatus : public Outcome, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(FlashStatus, EndsWithTheOutcomeAndCode) {
  RunResult r = runUpdate("Reserved bytes  = 0x01\nFirmware level  = 0x60\n", GetParam().status);
  EXPECT_EQ(r.out,
            banner + scanEcho + "Current Firmware Level = 0x60\n" + flashEcho + GetParam().outcome);
  EXPECT_EQ(r.exitCode, GetParam().exitCode);
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, FlashStatus,
    ::testing::Values(
        StatusCase{"Updated", "0",
                   "Vexo found and firmware updated.\n"
                   "AC power cycle the system for the update to take affect.\n",
                   0},
        StatusCase{"NoDevice", "1", "No Vexos found in the system.\nFirmware was not flashed.\n",
                   171},
        StatusCase{"Failed", "2", "Vexo firmware update error - Vexo found but update failed.\n",
                   2},
        StatusCase{"FoldedToUpToDate", "14",
                   "Vexo Found and Firmware level is up-to-date. No flashing required.\n", 0},
        StatusCase{"FoldedToOther", "6",
                   "The VEXO update did not complete successfully.  Return code: 6\n", 1},
        StatusCase{"Exit255", "255", "The VEXO update did not complete successfully.\n", 1}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Outcome, FlashToolKilled) {
  RunResult r = runUpdate("Reserved bytes  = 0x01\nFirmware level  = 0x60\n", "kill");
  // The shell's notice about the killed tool follows the command.
  EXPECT_EQ(r.out, banner + scanEcho + "Current Firmware Level = 0x60\n" + flashEcho + "Killed\n" +
                       "The VEXO update did not complete successfully.\n");
  EXPECT_EQ(r.exitCode, 1);
}

// The level as the operator sees it, for the report shapes a tool writes.
struct LevelCase {
  const char *name;
  std::string report;
  std::string level;
};

class LevelLine : public Outcome, public ::testing::WithParamInterface<LevelCase> {};

TEST_P(LevelLine, PrintedBetweenScanAndFlash) {
  RunResult r = runUpdate(GetParam().report, "4");
  EXPECT_EQ(r.out, banner + scanEcho + "Current Firmware Level = " + GetParam().level + "\n" +
                       flashEcho +
                       "Vexo Found and Firmware level is up-to-date. No flashing required.\n");
  EXPECT_EQ(r.exitCode, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Reports, LevelLine,
    ::testing::Values(
        LevelCase{"Normal", "Reserved bytes  = 0x01\nFirmware level  = 0x62\n", "0x62"},
        LevelCase{"RightAfterKey", "Reserved bytes  = 0x01\nFirmware level  =0x62\n", "0x62"},
        LevelCase{"TabAndSpace", "Reserved bytes  = 0x01\nFirmware level  =\t 0x62\n", "0x62"},
        LevelCase{"OnlySpaces", "Reserved bytes  = 0x01\nFirmware level  =    \n", ""},
        LevelCase{"IndentedKey", "Reserved bytes  = 0x01\n  Firmware level  = 0x62\n", "= 0x62"},
        LevelCase{"TwoLevelLines",
                  "Reserved bytes  = 0x01\nFirmware level  = 0x62\nFirmware level  = 0x70\n",
                  "0x62"},
        LevelCase{"LevelBeforeImage", "Firmware level  = 0x62\nReserved bytes  = 0x01\n", "0x62"},
        LevelCase{"HighByte", "Reserved bytes  = 0x01\nFirmware level  = \xA0x62\n", "\xA0x62"},
        LevelCase{"CrLf", "Reserved bytes  = 0x01\r\nFirmware level  = 0x62\r\n", "0x62\r"},
        LevelCase{"NoLevelLine", "Reserved bytes  = 0x01\n", ""}),
    [](const auto &info) { return std::string(info.param.name); });

// The level read from the scan report decides the advice after the update.
const std::string dc = "DC power cycle the system for the update to take effect.\n";

TEST_F(Outcome, CrLfThresholdLevelGivesDc) {
  RunResult r = runUpdate("Reserved bytes  = 0x01\r\nFirmware level  = 0x61\r\n", "0");
  EXPECT_NE(r.out.find("Vexo found and firmware updated.\n" + dc), std::string::npos);
}

// Output goes to a log as to a console: whatever the tool writes to its
// standard error stands right after the command that ran it.
TEST_F(Outcome, ToolLinesFollowTheirCommandInALog) {
  box.setScanScript("echo 'vxtool: warning: bus slow' >&2\n");
  box.setFlashScript("echo 'vxtool: warning: bus slow' >&2\necho 'flash progress 100%'\n");
  RunResult r = runUpdate("Reserved bytes  = 0x01\nFirmware level  = 0x62\n", "0");
  EXPECT_EQ(r.out, banner + scanEcho + "vxtool: warning: bus slow\n" +
                       "Current Firmware Level = 0x62\n" + flashEcho +
                       "vxtool: warning: bus slow\n" + "Vexo found and firmware updated.\n" + dc);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(box.readFile(box.workDir() + "/flash.out"), "flash progress 100%\n");
}

} // namespace
