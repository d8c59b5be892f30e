// What only Windows does to a run: console lines that end in CR LF, tools
// that end abnormally with an NTSTATUS code instead of a signal, and
// arguments that reach the program through the ANSI code page.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "e2e_support.h"
#include "expected.h"
#include "table.h"

namespace {

NAMED_ROWS

using namespace expected;
using Windows = EndToEnd;

const std::string crLfReport = "Reserved bytes  = 0x01\r\nFirmware level  = 0x62\r\n";

// Standard output is in text mode: each line ends in CR LF, and the
// Windows-1252 bytes of the silicon ID message pass unchanged.
TEST_F(Windows, ConsoleLinesEndInCrLf) {
  box.setScanReport(crLfReport);
  box.setFlashStatus("3");
  RunResult r = run();
  EXPECT_EQ(r.exitCode, 1);
  std::string crLf;
  for (char c : banner + flashRun("0x62", "fw-2.bin", siliconIdError))
    crLf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(box.readFile(box.dir() + "/stdout"), crLf);
}

// A flash tool that ends abnormally (a crash, Ctrl+C, a failed check, a
// debugger) did not complete, whatever its NTSTATUS code folds to:
// 0xC000013A would otherwise read as "updated", 0xC0000409 as "no device
// found", 0x40010004 as up to date.
struct AbnormalCase {
  const char *name;
  unsigned code;
};

class AbnormalFlash : public EndToEnd, public ::testing::WithParamInterface<AbnormalCase> {};

TEST_P(AbnormalFlash, DidNotComplete) {
  box.setScanReport(crLfReport);
  box.setFlashStatus(std::to_string(static_cast<int>(GetParam().code)));
  RunResult r = run();
  EXPECT_EQ(r.out, banner + flashRun("0x62", "fw-2.bin", didNotComplete));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(box.toolCalls().size(), 2u);
}

// A scan tool that ends abnormally stops the run whatever the code: the
// report is not read and the flash never runs.
class AbnormalScan : public EndToEnd, public ::testing::WithParamInterface<AbnormalCase> {};

TEST_P(AbnormalScan, StopsTheRun) {
  box.setScanReport(crLfReport);
  box.setScanStatus(std::to_string(static_cast<int>(GetParam().code)));
  RunResult r = run();
  EXPECT_EQ(r.out, banner + scanEcho() + didNotComplete);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(box.toolCalls().size(), 1u);
}

// An error and an informational code; the simulated tool's crashes are in
// sim_e2e_test-win32.cpp, every severity in status_test-win32.cpp.
const AbnormalCase abnormalCodes[] = {{"ControlC", 0xC000013A}, {"DebuggerEnded", 0x40010004}};

INSTANTIATE_TEST_SUITE_P(Codes, AbnormalScan, ::testing::ValuesIn(abnormalCodes), rowName);
INSTANTIATE_TEST_SUITE_P(Codes, AbnormalFlash, ::testing::ValuesIn(abnormalCodes), rowName);

// The C runtime hands the program its arguments in the ANSI code page, and
// gives a character that the code page lacks as a look-alike (best fit):
// such an argument is refused before anything runs. (One it holds exactly
// reaches the tool: EveryByteReachesTheToolWhole; the other characters are
// in command_test-win32.cpp.)
TEST_F(Windows, BestFitArgumentIsRefused) {
  if (GetACP() != 1252)
    GTEST_SKIP() << "a row for code page 1252, not " << GetACP();
  expectRefused(run({"0x50", "img1.bin", "img\uFF12.bin"}), notPassable("Image 2 file name"));
}

// A directory under a report name is refused before anything runs, and
// stays as it was. (Symbolic links need a privilege on Windows, and the
// cross build's C++ runtime cannot make them: not tested here.)
class DirectoryReport : public EndToEnd, public ::testing::WithParamInterface<const char *> {};

TEST_P(DirectoryReport, RefusedBeforeAnythingRuns) {
  std::string path = box.workDir() + "/" + GetParam();
  std::filesystem::create_directory(path);
  box.writeFile(path + "/inside", "keep me\n");
  RunResult r = run();
  expectRefused(r, notRegular(GetParam()));
  EXPECT_EQ(box.readFile(path + "/inside"), "keep me\n");
}

INSTANTIATE_TEST_SUITE_P(Names, DirectoryReport, ::testing::Values("busscan.out", "flash.out"),
                         [](const auto &info) {
                           return std::string(info.param) == "busscan.out" ? "ScanReport"
                                                                           : "FlashLog";
                         });

} // namespace
