// The update driver from the outside: usage, the trace switch, the image
// choice, the not-found endings and the guards on the command line.
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "e2e_support.h"
#include "table.h"

namespace {

NAMED_ROWS

using Args = std::vector<std::string>;

const std::string usage =
    "\nUSAGE: vexoflash <bootloader register address> <image 1 file> <image 2 file>\n\n";
const std::string scanEcho =
    "\nScanning for Vexo3 image.\nCommand:  vxtool -i2cp 0x50 2>&1 > busscan.out\n";
const std::string notFound = "Vexo3 device not found.\n";
const std::string report1 = "Vexo3 bus scan\nReserved bytes  = 0x01\nFirmware level  = 0x62\n";

class Driver : public ::testing::Test {
protected:
  void SetUp() override {
    box.installFakeTool();
  }
  Sandbox box;
};

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

// A report this run cannot empty is an earlier run's: the scan's
// redirection fails too, and no image may be chosen from what it holds.
// Here the stale report names image 2 where the device runs image 1.
enum class Stale { readOnlyForAnOperator, appendOnlyForRoot };

struct StaleCase {
  const char *name;
  Stale how;
};

class StaleReport : public Driver, public ::testing::WithParamInterface<StaleCase> {
protected:
  void TearDown() override {
    if (appendOnly_) { // else the sandbox could not be removed
      EXPECT_EQ(std::system(("chattr -a " + stale_).c_str()), 0);
    }
  }
  std::string stale_ = box.workDir() + "/busscan.out";
  bool appendOnly_ = false;
};

TEST_P(StaleReport, IsNotRead) {
  box.setScanReport(report1);
  const std::string staleReport = "Reserved bytes  = 0x02\nFirmware level  = 0x62\n";
  box.writeFile(stale_, staleReport);
  if (GetParam().how == Stale::appendOnlyForRoot) {
    if (geteuid() != 0)
      GTEST_SKIP() << "only root can make a file append-only";
    if (std::system(("chattr +a " + stale_ + " 2>/dev/null").c_str()) != 0)
      GTEST_SKIP() << "the file system of " << box.dir() << " has no append-only files";
    appendOnly_ = true;
  } else {
    if (!box.runUnprivileged())
      GTEST_SKIP() << "an ordinary user cannot reach " << box.dir();
    std::filesystem::permissions(stale_, std::filesystem::perms::owner_read |
                                             std::filesystem::perms::group_read |
                                             std::filesystem::perms::others_read);
  }
  RunResult r = box.run({"0x50", "one.bin", "two.bin"});
  EXPECT_EQ(r.exitCode, 171);
  EXPECT_TRUE(box.toolCalls().empty()); // the shell could not start the tool
  ASSERT_GE(r.out.size(), notFound.size());
  EXPECT_EQ(r.out.substr(r.out.size() - notFound.size()), notFound);
  EXPECT_EQ(r.out.find("Flashing"), std::string::npos);
  EXPECT_EQ(box.readFile(stale_), staleReport);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, StaleReport,
    ::testing::Values(StaleCase{"ReadOnlyForAnOperator", Stale::readOnlyForAnOperator},
                      StaleCase{"AppendOnlyForRoot", Stale::appendOnlyForRoot}),
    [](const auto &info) { return std::string(info.param.name); });

// A supervisor that ignores SIGCHLD passes that on; the tool statuses
// must still be seen.
TEST_F(Driver, StartedWithSigchldIgnored) {
  box.setScanReport(report1);
  box.ignoreSigchld();
  RunResult r = box.run({"0x50", "one.bin", "two.bin"});
  EXPECT_EQ(r.out,
            banner + scanEcho + "Current Firmware Level = 0x62\n" +
                "Flashing Vexo.\nCommand:  vxtool -i2cp 0x50 -q -f two.bin 2>&1 > flash.out\n" +
                "Vexo found and firmware updated.\n" +
                "DC power cycle the system for the update to take effect.\n");
  EXPECT_EQ(r.exitCode, 0);
}

// One run at a time in a working directory: a second run is refused with
// nothing run and nothing written, until the first has ended.
const std::string locked = "ERROR: Another vexoflash run is using this directory!\n";

TEST_F(Driver, RefusedWhileTheDirectoryIsLocked) {
  box.setScanReport(report1);
  box.writeFile(box.workDir() + "/busscan.out", "earlier report\n");
  box.writeFile(box.workDir() + "/flash.out", "earlier log\n");
  struct Holder {
    int fd;
    ~Holder() {
      if (fd >= 0)
        close(fd);
    }
  } holder{open(box.workDir().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
  ASSERT_GE(holder.fd, 0);
  ASSERT_EQ(flock(holder.fd, LOCK_EX | LOCK_NB), 0);
  RunResult r = box.run({"0x50", "one.bin", "two.bin"});
  EXPECT_EQ(r.out, banner + locked);
  EXPECT_EQ(r.exitCode, 111);
  EXPECT_TRUE(box.toolCalls().empty());
  EXPECT_EQ(box.readFile(box.workDir() + "/busscan.out"), "earlier report\n");
  EXPECT_EQ(box.readFile(box.workDir() + "/flash.out"), "earlier log\n");

  close(holder.fd);
  holder.fd = -1;
  r = box.run({"0x50", "one.bin", "two.bin"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(box.toolCalls().size(), 2u);
}

// Killed while its tool writes the device, vexoflash leaves the lock with
// the tool, which inherited it: no new run starts until the write ends.
TEST_F(Driver, LockOutlivesAKilledRunWhileItsToolWrites) {
  box.setScanReport(report1);
  box.setFlashScript("touch \"$box/flash.started\"\n"
                     "n=0; while [ ! -e \"$box/release\" ] && [ $n -lt 1000 ]; do\n"
                     "  sleep 0.01; n=$((n + 1)); done\n");
  Running first = box.start({"0x50", "one.bin", "two.bin"});
  ASSERT_TRUE(box.waitFor(box.dir() + "/flash.started"));
  ASSERT_EQ(kill(first.pid, SIGKILL), 0);
  siginfo_t info{};
  ASSERT_EQ(waitid(P_PID, static_cast<id_t>(first.pid), &info, WEXITED | WNOWAIT), 0);

  RunResult second = box.run({"0x50", "one.bin", "two.bin"});
  EXPECT_EQ(second.out, banner + locked);
  EXPECT_EQ(second.exitCode, 111);
  EXPECT_EQ(box.toolCalls().size(), 2u); // the first run's scan and flash

  box.writeFile(box.dir() + "/release", "");
  EXPECT_EQ(box.finish(first).exitCode, -1); // after its tool has ended
  box.setFlashScript("");
  RunResult third = box.run({"0x50", "one.bin", "two.bin"});
  EXPECT_EQ(third.exitCode, 0);
  EXPECT_EQ(box.toolCalls().size(), 4u);
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
  EXPECT_EQ(r.exitCode, 0);
  std::vector<std::vector<std::string>> calls = box.toolCalls();
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

TEST_F(Driver, AddressIsOneArgumentToo) {
  box.setScanReport(report1);
  RunResult r = box.run({"0x50;touch pwned", "one.bin", "two.bin"});
  EXPECT_EQ(r.exitCode, 0);
  std::vector<std::vector<std::string>> calls = box.toolCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0], (Args{"-i2cp", "0x50;touch pwned"}));
  EXPECT_EQ(calls[1][1], "0x50;touch pwned");
  EXPECT_NE(r.out.find("Command:  vxtool -i2cp '0x50;touch pwned' 2>&1 > busscan.out\n"),
            std::string::npos);
  EXPECT_FALSE(box.exists(box.workDir() + "/pwned"));
}

} // namespace
