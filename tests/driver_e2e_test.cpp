// The update driver from the outside: usage, the trace switch, the image
// choice, the not-found endings and the guards on the command line.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver_e2e.h"
#include "table.h"

namespace {

NAMED_ROWS

using namespace driver;

class Usage : public Driver, public ::testing::WithParamInterface<Args> {};

TEST_P(Usage, BannerThenUsageWithTooFewArguments) {
  RunResult r = box.run(GetParam());
  EXPECT_EQ(r.out, banner + usage);
  EXPECT_EQ(r.exitCode, 111);
  EXPECT_TRUE(box.toolCalls().empty());
  EXPECT_EQ(r.err, "");
}

INSTANTIATE_TEST_SUITE_P(Counts, Usage,
                         ::testing::Values(Args{}, Args{"0x50"}, Args{"0x50", "img1.bin"},
                                           Args{"DEBUG", "DEBUG"}));

struct TraceCase {
  const char *name;
  Args args;
  bool trace;
};

class TraceSwitch : public Driver, public ::testing::WithParamInterface<TraceCase> {};

TEST_P(TraceSwitch, OnlyAFourthArgumentOfExactlyDebug) {
  box.setScanReport(report1);
  RunResult r = box.run(GetParam().args);
  bool traced = r.out.find("line:  Reserved bytes  = 0x01\nimage:  1\n") != std::string::npos;
  EXPECT_EQ(traced, GetParam().trace);
  EXPECT_EQ(r.out.find("vexoUpdate() return code:  0.\n") != std::string::npos, GetParam().trace);
  EXPECT_EQ(r.exitCode, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, TraceSwitch,
    ::testing::Values(TraceCase{"ThreeArguments", {"0x50", "i1", "i2"}, false},
                      TraceCase{"Debug", {"0x50", "i1", "i2", "DEBUG"}, true},
                      TraceCase{"LowerCase", {"0x50", "i1", "i2", "debug"}, false},
                      TraceCase{"DebugWithMore", {"0x50", "i1", "i2", "DEBUG", "x"}, false},
                      TraceCase{"DebugPadded", {"0x50", "i1", "i2", "DEBUG "}, false}),
    [](const auto &info) { return std::string(info.param.name); });

struct ChoiceCase {
  const char *name;
  std::string report;
  std::string flashed;
};

class ImageChoice : public Driver, public ::testing::WithParamInterface<ChoiceCase> {};

TEST_P(ImageChoice, FlashesTheOtherImage) {
  box.setScanReport(GetParam().report);
  RunResult r = box.run({"0x50", "one.bin", "two.bin"});
  EXPECT_EQ(r.exitCode, 0);
  std::vector<std::vector<std::string>> calls = box.toolCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0], (Args{"-i2cp", "0x50"}));
  EXPECT_EQ(calls[1], (Args{"-i2cp", "0x50", "-q", "-f", GetParam().flashed}));
  EXPECT_NE(
      r.out.find("Command:  vxtool -i2cp 0x50 -q -f " + GetParam().flashed + " 2>&1 > flash.out\n"),
      std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Reports, ImageChoice,
    ::testing::Values(ChoiceCase{"RunsImage1", "Reserved bytes  = 0x01\n", "two.bin"},
                      ChoiceCase{"RunsImage2", "Reserved bytes  = 0x02\n", "one.bin"},
                      ChoiceCase{"CrLfReport", "Reserved bytes  = 0x02\r\n", "one.bin"}),
    [](const auto &info) { return std::string(info.param.name); });

struct NotFoundCase {
  const char *name;
  std::string report;
  std::string scanScript; // run by the fake tool after it wrote the report
  std::string between;    // printed between the scan echo and "not found"
};

class NotFound : public Driver, public ::testing::WithParamInterface<NotFoundCase> {};

TEST_P(NotFound, EndsWith171AndNoFlash) {
  box.setScanReport(GetParam().report);
  if (!GetParam().scanScript.empty())
    box.setScanScript(GetParam().scanScript);
  box.setScanStatus("1");
  RunResult r = box.run({"0x50", "one.bin", "two.bin"});
  EXPECT_EQ(r.out, banner + scanEcho + GetParam().between + notFound);
  EXPECT_EQ(r.exitCode, 171);
  EXPECT_EQ(box.toolCalls().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Reports, NotFound,
    ::testing::Values(NotFoundCase{"EmptyReport", "", "", ""},
                      NotFoundCase{"NoImageLine", "No device at 0x50\nFirmware level  = 0x62\n", "",
                                   ""},
                      NotFoundCase{"DigitZero", "Reserved bytes  = 0x00\n", "", ""},
                      NotFoundCase{"IndentedKey", "  Reserved bytes  = 0x01\n", "", ""},
                      NotFoundCase{"Exactly21", "Reserved bytes  = 0x0\n", "", ""},
                      NotFoundCase{"ShortLineAfterLongOne",
                                   "abcdefghijklmnopqrstu1vwxyz\nReserved bytes  =\n", "", ""},
                      NotFoundCase{"ReportDeleted", "Reserved bytes  = 0x01\n",
                                   "rm -f busscan.out\n", "ERROR: Could not open image file!\n\n"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Driver, MissingReportWithTrace) {
  box.setScanScript("rm -f busscan.out\n");
  RunResult r = box.run({"0x50", "one.bin", "two.bin", "DEBUG"});
  EXPECT_EQ(r.out, banner + scanEcho + "ERROR: Could not open image file!\n\n" + notFound);
  EXPECT_EQ(r.exitCode, 171);
}

// A command holds 255 characters and is never cut: an argument that would
// not fit is refused before any tool command runs.
struct LengthCase {
  const char *name;
  Args args;
  std::string error; // empty: accepted
};

class CommandLength : public Driver, public ::testing::WithParamInterface<LengthCase> {};

TEST_P(CommandLength, RefusedBeforeAnythingRuns) {
  box.setScanReport(report1);
  RunResult r = box.run(GetParam().args);
  if (GetParam().error.empty()) {
    EXPECT_EQ(r.exitCode, 0);
    std::vector<std::vector<std::string>> calls = box.toolCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1][4], GetParam().args[2]); // whole, not cut
  } else {
    EXPECT_EQ(r.out, banner + GetParam().error);
    EXPECT_EQ(r.exitCode, 111);
    EXPECT_TRUE(box.toolCalls().empty());
    EXPECT_FALSE(box.exists(box.workDir() + "/busscan.out"));
  }
}

const std::string name214(214, 'f');
const std::string name215(215, 'f');
const std::string quoted212 = std::string(100, 'f') + " " + std::string(111, 'f');

INSTANTIATE_TEST_SUITE_P(
    Lengths, CommandLength,
    ::testing::Values(LengthCase{"Image2At214", {"0x50", "one.bin", name214}, ""},
                      LengthCase{"Image2At215",
                                 {"0x50", "one.bin", name215},
                                 "ERROR: Image 2 file name is too long for the tool command!\n"},
                      LengthCase{"Image1At215",
                                 {"0x50", name215, "two.bin"},
                                 "ERROR: Image 1 file name is too long for the tool command!\n"},
                      LengthCase{"QuotedAt212", {"0x50", "one.bin", quoted212}, ""},
                      LengthCase{"QuotedAt213",
                                 {"0x50", "one.bin", quoted212 + "f"},
                                 "ERROR: Image 2 file name is too long for the tool command!\n"},
                      LengthCase{
                          "AddressTooLongForScan",
                          {std::string(224, 'a'), "one.bin", "two.bin"},
                          "ERROR: Bootloader register address is too long for the tool command!\n"},
                      LengthCase{"AddressTooLongWithImage",
                                 {std::string(215, 'a'), "one.bin", "two.bin"},
                                 "ERROR: Image 1 file name is too long for the tool command!\n"},
                      LengthCase{"TraceSwitchDoesNotMatter",
                                 {"0x50", "one.bin", name215, "DEBUG"},
                                 "ERROR: Image 2 file name is too long for the tool command!\n"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Driver, Exactly255CharacterCommandIsEchoedWhole) {
  box.setScanReport(report1);
  RunResult r = box.run({"0x50", "one.bin", name214});
  std::string command = "vxtool -i2cp 0x50 -q -f " + name214 + " 2>&1 > flash.out";
  ASSERT_EQ(command.size(), 255u);
  EXPECT_NE(r.out.find("Command:  " + command + "\n"), std::string::npos);
}

// Arguments reach the tool as single intact words; nothing in them runs.
class Injection : public Driver, public ::testing::WithParamInterface<std::string> {};

TEST_P(Injection, FileNameIsOneArgumentAndRunsNothing) {
  box.setScanReport(report1);
  RunResult r = box.run({"0x50", "one.bin", GetParam()});
  std::vector<std::vector<std::string>> calls = box.toolCalls();
  if (argumentRefused(GetParam())) { // where the shell cannot be given it
    EXPECT_EQ(r.exitCode, 111);
    EXPECT_TRUE(calls.empty());
    return;
  }
  EXPECT_EQ(r.exitCode, 0);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1], (Args{"-i2cp", "0x50", "-q", "-f", GetParam()}));
  EXPECT_FALSE(box.exists(box.workDir() + "/pwned"));
  EXPECT_EQ(r.err, "");
}

INSTANTIATE_TEST_SUITE_P(Names, Injection,
                         ::testing::Values("a;touch pwned", "$(touch pwned)", "`touch pwned`",
                                           "a && touch pwned", "x' ; touch pwned ; '",
                                           "two words.bin", "new\nline;touch pwned", "caf\xE9.bin",
                                           "> pwned", ""));

} // namespace
