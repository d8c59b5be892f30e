// Broken and hostile input from the outside: a report cut short by text
// mode, no tool on PATH, every byte in a file name and arguments made of
// shell syntax. Each ends one clear way, and
// nothing runs that should not.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e_support.h"
#include "expected.h"
#include "table.h"

namespace {

NAMED_ROWS

using namespace expected;
using BadInput = EndToEnd;

// A Ctrl+Z byte (0x1A) ends a text-mode read on Windows: there the key
// lines after it are never read. Elsewhere it is a byte like any other.
TEST_F(BadInput, CtrlZBeforeTheKeyLines) {
  box.setScanReport("scan\x1A\n" + report1);
  RunResult r = run();
  if (textEndsAtCtrlZ()) {
    EXPECT_EQ(r.out, banner + scanEcho() + notFound);
    EXPECT_EQ(r.exitCode, 171);
  } else {
    EXPECT_EQ(r.out, banner + flashRun("0x62", "fw-2.bin", updated + dcAdvice));
    EXPECT_EQ(r.exitCode, 0);
  }
}

// No vxtool on PATH: the shell cannot find it, and says so right after the
// scan command; the redirection leaves an empty report, and the run ends
// as for no device.
TEST(BadInputNoTool, ToolMissingFromPath) {
  Sandbox box; // no fake tool installed
  RunResult r = box.run({"0x50", "fw-1.bin", "fw-2.bin"}, "/usr/bin:/bin");
  std::string start = banner + scanEcho();
  ASSERT_GE(r.out.size(), start.size() + notFound.size());
  EXPECT_EQ(r.out.substr(0, start.size()), start);
  EXPECT_EQ(r.out.substr(r.out.size() - notFound.size()), notFound);
  std::string shellSays = r.out.substr(start.size(), r.out.size() - start.size() - notFound.size());
  EXPECT_NE(shellSays.find("vxtool"), std::string::npos) << shellSays; // "vxtool: not found"
  EXPECT_EQ(r.exitCode, 171);
  EXPECT_EQ(box.readFile(box.workDir() + "/busscan.out"), "");
  EXPECT_FALSE(box.exists(box.workDir() + "/flash.out"));
}

// Every byte the platform's shell can be given (on POSIX all but NUL; on
// Windows those argumentRefused allows) reaches the tool whole, through the
// real shell, in the image 2 file name: in two runs, as a command holds at
// most 255 characters.
TEST_F(BadInput, EveryByteReachesTheToolWhole) {
  std::string names[2];
  for (int b = 1; b < 256; b++)
    if (!argumentRefused(std::string(1, static_cast<char>(b))))
      names[b / 128] += static_cast<char>(b);
  box.setScanReport(report1);
  for (const std::string &name : names) {
    RunResult r = run({"0x50", "fw-1.bin", name});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.err, "");
  }
  std::vector<std::vector<std::string>> calls = box.toolCalls();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[1], (Args{"-i2cp", "0x50", "-q", "-f", names[0]}));
  EXPECT_EQ(calls[3], (Args{"-i2cp", "0x50", "-q", "-f", names[1]}));
}

// Each other way an argument reaches the shell, with shell syntax in it:
// the address in both commands, the image 1 file, a word the platform's
// shell cannot be given safely (refused where argumentRefused says so),
// and a quoted word that makes the flash command exactly 255 characters.
// "echo>pwned" makes a file in sh and in cmd.exe alike, should any of it
// run.
enum class Slot { address, image1, image2 };

struct RouteCase {
  const char *name;
  Slot slot;
  std::string word;
};

class HostileArgument : public EndToEnd, public ::testing::WithParamInterface<RouteCase> {};

TEST_P(HostileArgument, ReachesTheToolIntactOrIsRefused) {
  const RouteCase &p = GetParam();
  std::string address = p.slot == Slot::address ? p.word : "0x50";
  std::string image1 = p.slot == Slot::image1 ? p.word : "fw-1.bin";
  std::string image2 = p.slot == Slot::image2 ? p.word : "fw-2.bin";
  // The device runs image 2 when image 1 is the word under test.
  box.setScanReport(p.slot == Slot::image1 ? "Reserved bytes  = 0x02\n" : report1);
  RunResult r = run({address, image1, image2});
  std::vector<std::vector<std::string>> calls = box.toolCalls();
  if (argumentRefused(p.word)) {
    const char *const names[] = {"Bootloader register address", "Image 1 file name",
                                 "Image 2 file name"};
    expectRefused(r, notPassable(names[static_cast<int>(p.slot)]));
  } else {
    EXPECT_EQ(r.exitCode, 0) << r.out;
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], (Args{"-i2cp", address}));
    EXPECT_EQ(calls[1],
              (Args{"-i2cp", address, "-q", "-f", p.slot == Slot::image1 ? image1 : image2}));
  }
  EXPECT_FALSE(box.exists(box.workDir() + "/pwned"));
  EXPECT_EQ(r.err, "");
}

INSTANTIATE_TEST_SUITE_P(
    Routes, HostileArgument,
    ::testing::Values(RouteCase{"Address", Slot::address, "0x50;echo>pwned $(touch pwned) 'x'"},
                      RouteCase{"Image1", Slot::image1, "it's & echo>pwned | `touch pwned`"},
                      RouteCase{"Refusal", Slot::image2, "x\" & echo>pwned & \"%PATH%!x!"},
                      RouteCase{"QuotedTo255", Slot::image2,
                                std::string(100, 'f') + "&echo>pwned;" + std::string(100, 'f')}),
    rowName);

} // namespace
