// The update driver from the outside: usage, the trace switch, the image
// choice, the not-found endings and the guards on the command line.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e_support.h"
#include "expected.h"
#include "table.h"

namespace {

NAMED_ROWS

using namespace expected;
using Driver = EndToEnd;

class Usage : public EndToEnd, public ::testing::WithParamInterface<Args> {};

TEST_P(Usage, BannerThenUsageWithTooFewArguments) {
  RunResult r = run(GetParam());
  expectRefused(r, usage);
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

class TraceSwitch : public EndToEnd, public ::testing::WithParamInterface<TraceCase> {};

TEST_P(TraceSwitch, OnlyAFourthArgumentOfExactlyDebug) {
  box.setScanReport(report1);
  RunResult r = run(GetParam().args);
  bool traced = r.out.find(imageTrace("Reserved bytes  = 0x01", '1')) != std::string::npos;
  EXPECT_EQ(traced, GetParam().trace);
  EXPECT_EQ(r.out.find(resultTrace(0)) != std::string::npos, GetParam().trace);
  EXPECT_EQ(r.exitCode, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, TraceSwitch,
    ::testing::Values(TraceCase{"ThreeArguments", {"0x50", "i1", "i2"}, false},
                      TraceCase{"Debug", {"0x50", "i1", "i2", "DEBUG"}, true},
                      TraceCase{"LowerCase", {"0x50", "i1", "i2", "debug"}, false},
                      TraceCase{"DebugWithMore", {"0x50", "i1", "i2", "DEBUG", "x"}, false},
                      TraceCase{"DebugPadded", {"0x50", "i1", "i2", "DEBUG "}, false}),
    rowName);

struct ChoiceCase {
  const char *name;
  std::string report;
  std::string flashed;
};

class ImageChoice : public EndToEnd, public ::testing::WithParamInterface<ChoiceCase> {};

TEST_P(ImageChoice, FlashesTheOtherImage) {
  box.setScanReport(GetParam().report);
  RunResult r = run();
  EXPECT_EQ(r.exitCode, 0);
  std::vector<std::vector<std::string>> calls = box.toolCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0], (Args{"-i2cp", "0x50"}));
  EXPECT_EQ(calls[1], (Args{"-i2cp", "0x50", "-q", "-f", GetParam().flashed}));
  EXPECT_NE(r.out.find(flashEcho(GetParam().flashed)), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Reports, ImageChoice,
    ::testing::Values(ChoiceCase{"RunsImage1", "Reserved bytes  = 0x01\n", "fw-2.bin"},
                      ChoiceCase{"RunsImage2", "Reserved bytes  = 0x02\n", "fw-1.bin"},
                      ChoiceCase{"CrLfReport", "Reserved bytes  = 0x02\r\n", "fw-1.bin"}),
    rowName);

struct NotFoundCase {
  const char *name;
  std::string report;
  std::string scanScript; // run by the fake tool after it wrote the report
  std::string between;    // printed between the scan echo and "not found"
  Args args = {"0x50", "fw-1.bin", "fw-2.bin"};
};

class NotFound : public EndToEnd, public ::testing::WithParamInterface<NotFoundCase> {};

TEST_P(NotFound, EndsWith171AndNoFlash) {
  if (!GetParam().scanScript.empty() && !posixSystem())
    GTEST_SKIP() << "the fake tool runs scan scripts only through a POSIX shell";
  box.setScanReport(GetParam().report);
  if (!GetParam().scanScript.empty())
    box.setScanScript(GetParam().scanScript);
  box.setScanStatus("1");
  RunResult r = run(GetParam().args);
  EXPECT_EQ(r.out, banner + scanEcho() + GetParam().between + notFound);
  EXPECT_EQ(r.exitCode, 171);
  EXPECT_EQ(box.toolCalls().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Reports, NotFound,
    ::testing::Values(
        NotFoundCase{"EmptyReport", "", "", ""},
        NotFoundCase{"NoImageLine", "No device at 0x50\nFirmware level  = 0x62\n", "", ""},
        NotFoundCase{"DigitZero", "Reserved bytes  = 0x00\n", "", ""},
        NotFoundCase{"IndentedKey", "  Reserved bytes  = 0x01\n", "", ""},
        NotFoundCase{"Exactly21", "Reserved bytes  = 0x0\n", "", ""},
        NotFoundCase{"ShortLineAfterLongOne", "abcdefghijklmnopqrstu1vwxyz\nReserved bytes  =\n",
                     "", ""},
        NotFoundCase{"ReportDeleted", report1, "rm -f busscan.out\n", cannotOpenReport},
        NotFoundCase{"ReportDeletedWithTrace",
                     report1,
                     "rm -f busscan.out\n",
                     cannotOpenReport,
                     {"0x50", "fw-1.bin", "fw-2.bin", "DEBUG"}}),
    rowName);

// A command holds 255 characters and is never cut: an argument that would
// not fit is refused before any tool command runs. The limit counts the
// command as the shell gets it; with single quotes (a POSIX shell), each
// quote in an argument takes four characters ('\''), and a word with
// bytes above 0x7F is quoted. "vxtool -i2cp 0x50 -q -f " and
// " 2>&1 > flash.out" leave 214 characters for the image word.
struct LengthCase {
  const char *name;
  Args args;
  std::string error; // empty: accepted
  bool singleQuotes = false;
};

class CommandLength : public EndToEnd, public ::testing::WithParamInterface<LengthCase> {};

TEST_P(CommandLength, RefusedBeforeAnythingRuns) {
  if (GetParam().singleQuotes && !posixSystem())
    GTEST_SKIP() << "lengths of single-quoted words; cmd.exe's are in command_test-win32.cpp";
  box.setScanReport(report1);
  RunResult r = run(GetParam().args);
  if (GetParam().error.empty()) {
    EXPECT_EQ(r.exitCode, 0);
    std::vector<std::vector<std::string>> calls = box.toolCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1][4], GetParam().args[2]); // whole, not cut
  } else {
    expectRefused(r, GetParam().error);
    EXPECT_FALSE(box.exists(box.workDir() + "/busscan.out"));
  }
}

const std::string name214(214, 'f');
const std::string name215(215, 'f');
const std::string quoted212 = std::string(100, 'f') + " " + std::string(111, 'f');
const std::string image1TooLong = tooLong("Image 1 file name");
const std::string image2TooLong = tooLong("Image 2 file name");

INSTANTIATE_TEST_SUITE_P(
    Lengths, CommandLength,
    ::testing::Values(
        LengthCase{"Image2At214", {"0x50", "one.bin", name214}, ""},
        LengthCase{"Image2At215", {"0x50", "one.bin", name215}, image2TooLong},
        LengthCase{"Image1At215", {"0x50", name215, "two.bin"}, image1TooLong},
        LengthCase{"QuotedAt212", {"0x50", "one.bin", quoted212}, ""},
        LengthCase{"QuotedAt213", {"0x50", "one.bin", quoted212 + "f"}, image2TooLong},
        LengthCase{"AddressTooLongForScan",
                   {std::string(224, 'a'), "one.bin", "two.bin"},
                   tooLong("Bootloader register address")},
        LengthCase{"AddressTooLongWithImage",
                   {std::string(215, 'a'), "one.bin", "two.bin"},
                   image1TooLong},
        LengthCase{
            "TraceSwitchDoesNotMatter", {"0x50", "one.bin", name215, "DEBUG"}, image2TooLong},
        // 2 + 4 * 53
        LengthCase{"FiftyThreeQuotes", {"0x50", "one.bin", std::string(53, '\'')}, "", true},
        LengthCase{
            "FiftyFourQuotes", {"0x50", "one.bin", std::string(54, '\'')}, image2TooLong, true},
        // 212 + 2
        LengthCase{"HighBytesAt212", {"0x50", "one.bin", std::string(212, '\xE9')}, "", true},
        LengthCase{
            "HighBytesAt213", {"0x50", "one.bin", std::string(213, '\xE9')}, image2TooLong, true},
        // 1 + 208 + 4 + 1
        LengthCase{"QuoteAfter208", {"0x50", "one.bin", std::string(208, 'f') + "'"}, "", true},
        LengthCase{"QuoteAfter209",
                   {"0x50", "one.bin", std::string(209, 'f') + "'"},
                   image2TooLong,
                   true}),
    rowName);

TEST_F(Driver, Exactly255CharacterCommandIsEchoedWhole) {
  box.setScanReport(report1);
  RunResult r = run({"0x50", "one.bin", name214});
  ASSERT_EQ(flashCommand(name214).size(), 255u);
  EXPECT_NE(r.out.find(flashEcho(name214)), std::string::npos);
}

} // namespace
