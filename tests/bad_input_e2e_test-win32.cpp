// What only Windows does to a run: console lines that end in CR LF, tools
// that end abnormally with an NTSTATUS code instead of a signal, and
// arguments that reach the program through the ANSI code page.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "e2e_support.h"
#include "table.h"

namespace {

NAMED_ROWS

const std::string report1 = "Reserved bytes  = 0x01\r\nFirmware level  = 0x62\r\n";
const std::string scanEcho =
    "\nScanning for Vexo3 image.\nCommand:  vxtool -i2cp 0x50 2>&1 > busscan.out\n";
const std::string flashEcho =
    "Flashing Vexo.\nCommand:  vxtool -i2cp 0x50 -q -f fw-2.bin 2>&1 > flash.out\n";
const std::string notCompleted = "The VEXO update did not complete successfully.\n";

class Windows : public ::testing::Test {
protected:
  void SetUp() override {
    box.installFakeTool();
    box.setScanReport(report1);
  }
  RunResult run() const {
    return box.run({"0x50", "fw-1.bin", "fw-2.bin"});
  }
  Sandbox box;
};

// Standard output is in text mode: each line ends in CR LF, and the
// Windows-1252 bytes of the silicon ID message pass unchanged.
TEST_F(Windows, ConsoleLinesEndInCrLf) {
  box.setFlashStatus("3");
  RunResult r = run();
  EXPECT_EQ(r.exitCode, 1);
  std::string raw = box.readFile(box.dir() + "/stdout");
  EXPECT_NE(raw.find("Flashing Vexo.\r\n"), std::string::npos) << raw;
  EXPECT_NE(raw.find("\r\nVexo Silicon ID Error \x96 Vexo found but the silicon ID didn\x92t "
                     "match file.\r\n"),
            std::string::npos)
      << raw;
  EXPECT_EQ(raw.find("\r\r"), std::string::npos);
}

// A flash tool that ends abnormally (a crash, Ctrl+C, a failed check, a
// debugger) did not complete, whatever its NTSTATUS code folds to:
// 0xC000013A would otherwise read as "updated", 0xC0000409 as "no device
// found", 0x40010004 as up to date.
struct AbnormalCase {
  const char *name;
  unsigned code;
};

class AbnormalFlash : public Windows, public ::testing::WithParamInterface<AbnormalCase> {};

TEST_P(AbnormalFlash, DidNotComplete) {
  box.setFlashStatus(std::to_string(static_cast<int>(GetParam().code)));
  RunResult r = run();
  EXPECT_EQ(r.out,
            banner + scanEcho + "Current Firmware Level = 0x62\n" + flashEcho + notCompleted);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(box.toolCalls().size(), 2u);
}

// A scan tool that ends abnormally stops the run whatever the code: the
// report is not read and the flash never runs.
class AbnormalScan : public Windows, public ::testing::WithParamInterface<AbnormalCase> {};

TEST_P(AbnormalScan, StopsTheRun) {
  box.setScanStatus(std::to_string(static_cast<int>(GetParam().code)));
  RunResult r = run();
  EXPECT_EQ(r.out, banner + scanEcho + notCompleted);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(box.toolCalls().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Codes, AbnormalScan,
                         ::testing::Values(AbnormalCase{"ControlC", 0xC000013A},
                                           AbnormalCase{"AccessViolation", 0xC0000005},
                                           AbnormalCase{"FailFast", 0xC0000409},
                                           AbnormalCase{"DebuggerEnded", 0x40010004}),
                         [](const auto &info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(Codes, AbnormalFlash,
                         ::testing::Values(AbnormalCase{"ControlC", 0xC000013A},
                                           AbnormalCase{"AccessViolation", 0xC0000005},
                                           AbnormalCase{"FailFast", 0xC0000409},
                                           AbnormalCase{"DebuggerEnded", 0x40010004}),
                         [](const auto &info) { return std::string(info.param.name); });

// The C runtime hands the program its arguments in the ANSI code page, and
// gives a character that the code page lacks as a look-alike (best fit)
// or '?': such an argument is refused before anything runs, in each
// position; one the code page holds exactly reaches the tool. The rows are
// UTF-8, for code page 1252.
struct WideCase {
  const char *name;
  std::vector<std::string> args;
  const char *refused; // the argument named in the error; nullptr: runs
  std::string flashed; // in code page 1252
};

class WideArgument : public Windows, public ::testing::WithParamInterface<WideCase> {};

TEST_P(WideArgument, RefusedUnlessTheCodePageHoldsItExactly) {
  if (GetACP() != 1252)
    GTEST_SKIP() << "rows for code page 1252, not " << GetACP();
  RunResult r = box.run(GetParam().args);
  std::vector<std::vector<std::string>> calls = box.toolCalls();
  if (GetParam().refused != nullptr) {
    EXPECT_EQ(r.out, banner + "ERROR: " + GetParam().refused +
                         " holds characters that cannot be passed safely to the tool command!\n");
    EXPECT_EQ(r.exitCode, 111);
    EXPECT_TRUE(calls.empty());
  } else {
    EXPECT_EQ(r.exitCode, 0) << r.out;
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1][4], GetParam().flashed);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, WideArgument,
    ::testing::Values(
        WideCase{"FullWidthDigit", {"0x50", "img1.bin", "img\uFF12.bin"}, "Image 2 file name", ""},
        WideCase{"Omega", {"0x50", "\u03A9mega.vx3", "img2.bin"}, "Image 1 file name", ""},
        WideCase{"FullWidthAddress",
                 {"\uFF10x50", "img1.bin", "img2.bin"},
                 "Bootloader register address",
                 ""},
        WideCase{"DefaultCharacter", {"0x50", "img1.bin", "\u4E00.bin"}, "Image 2 file name", ""},
        WideCase{"HeldExactly", {"0x50", "img1.bin", "caf\u00E9.bin"}, nullptr, "caf\xE9.bin"}),
    [](const auto &info) { return std::string(info.param.name); });

// A directory under a report name is refused before anything runs, and
// stays as it was. (Symbolic links need a privilege on Windows, and the
// cross build's C++ runtime cannot make them: not tested here.)
class DirectoryReport : public Windows, public ::testing::WithParamInterface<const char *> {};

TEST_P(DirectoryReport, RefusedBeforeAnythingRuns) {
  std::string path = box.workDir() + "/" + GetParam();
  std::filesystem::create_directory(path);
  box.writeFile(path + "/inside", "keep me\n");
  RunResult r = run();
  EXPECT_EQ(r.out, banner + "ERROR: " + GetParam() + " is not a regular file!\n");
  EXPECT_EQ(r.exitCode, 111);
  EXPECT_TRUE(box.toolCalls().empty());
  EXPECT_EQ(box.readFile(path + "/inside"), "keep me\n");
}

INSTANTIATE_TEST_SUITE_P(Names, DirectoryReport, ::testing::Values("busscan.out", "flash.out"),
                         [](const auto &info) {
                           return std::string(info.param) == "busscan.out" ? "ScanReport"
                                                                           : "FlashLog";
                         });

} // namespace
