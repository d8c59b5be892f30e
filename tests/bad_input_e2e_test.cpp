// Broken and hostile input from the outside: a report cut short by text
// mode, no tool on PATH, a tool killed while it scans and arguments made of
// shell syntax. Each ends one clear way, and nothing runs that should not.
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

// A scan tool that does not end by itself stops the run: what it wrote is
// not read, whatever it holds, and the flash never runs. (Ctrl+C during a
// slow scan: bad_input_e2e_test-posix.cpp.)
TEST_F(BadInput, KilledScanStopsTheRun) {
  box.setScanReport(report1);
  box.setScanStatus("kill");
  RunResult r = run();
  EXPECT_EQ(r.out, banner + scanEcho() + shellNotice(9) + didNotComplete);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(box.toolCalls().size(), 1u);
}

// Shell syntax in any argument reaches the tool as one intact word, in
// the scan and the flash command alike, and runs nothing; where the
// platform's shell cannot be given it safely (argumentRefused), the run
// is refused before anything runs. "echo>pwned" makes a file in sh and in
// cmd.exe alike, should any of it run.
struct WordCase {
  const char *name;
  std::string word;
};

const WordCase hostileWords[] = {
    {"Spaces", "two  words"},
    {"SingleQuotes", "it's 'quoted'"},
    {"DoubleQuotes", "say \"hi\""},
    {"QuoteBreakout", "x\" & echo>pwned & \""},
    {"Semicolon", "a;b"}, // a shell's command separator, and nothing else to quote
    {"CommandSubstitution", "$(touch pwned)"},
    {"Backticks", "`touch pwned`"},
    {"Newline", "x\ntouch pwned"},
    {"LineFeedCommand", "x\necho>pwned"},
    {"HighBytes", "caf\xE9\x80\xFF"},
    {"Backslashes", "a\\'b\\"},
    {"TrailingBackslash", "C:\\fw dir\\"},
    {"Ampersand", "x&echo>pwned"},
    {"Pipe", "x|echo>pwned"},
    {"Redirections", "<x >pwned"},
    {"Caret", "x^&echo>pwned"},
    {"Parentheses", "(echo>pwned)"},
    {"PercentVariable", "%PATH%"},
    {"DelayedExpansion", "!x!"},
};

// More, tried in the image 2 file name only.
const WordCase fileNames[] = {
    {"NameWithSemicolon", "a;touch pwned"},
    {"NameWithSubstitution", "$(touch pwned)"},
    {"NameWithBackticks", "`touch pwned`"},
    {"NameWithAndList", "a && touch pwned"},
    {"NameBreakingOutOfQuotes", "x' ; touch pwned ; '"},
    {"NameWithSpace", "two words.bin"},
    {"NameWithNewline", "new\nline;touch pwned"},
    {"NameWithHighByte", "caf\xE9.bin"},
    {"NameRedirecting", "> pwned"},
    {"EmptyName", ""},
    {"NameOfQuotes", "'''"},
    {"NameWithTab", "tab\there"},
    {"NameOfPatternsAndHistory", "*?[a]~#!&|<>{}"},
    {"NameWithVariable", "$HOME"},
    {"NameLikeAnOption", "-f"},
};

enum class Slot { address, image1, image2 };

struct PlacedWord {
  const char *name;
  Slot slot;
  std::string word;
};

class HostileArgument : public EndToEnd, public ::testing::WithParamInterface<PlacedWord> {};

TEST_P(HostileArgument, ReachesTheToolIntactOrIsRefused) {
  const PlacedWord &p = GetParam();
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

std::vector<PlacedWord> placedWords() {
  std::vector<PlacedWord> rows;
  for (const WordCase &w : hostileWords) {
    rows.push_back({w.name, Slot::address, w.word});
    rows.push_back({w.name, Slot::image1, w.word});
    rows.push_back({w.name, Slot::image2, w.word});
  }
  for (const WordCase &w : fileNames)
    rows.push_back({w.name, Slot::image2, w.word});
  return rows;
}

std::string placedWordName(const ::testing::TestParamInfo<PlacedWord> &info) {
  const char *const slots[] = {"Address", "Image1", "Image2"};
  return slots[static_cast<int>(info.param.slot)] + std::string(info.param.name);
}

INSTANTIATE_TEST_SUITE_P(Words, HostileArgument, ::testing::ValuesIn(placedWords()),
                         placedWordName);

} // namespace
