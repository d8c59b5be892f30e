// The commands as the POSIX shell gets them: single-quoted words, checked
// against a real shell.
#include <cstdio>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "common/common.h"
#include "common/quote.h"
#include "expected.h"
#include "platform_cases.h"

namespace platform_cases {

using expected::flashCommand;

const std::string fits214(214, 'f');
const std::string over215(215, 'f');
const std::string spaced212 = std::string(106, 'f') + " " + std::string(105, 'f');
const std::string spaced213 = spaced212 + "f";

INSTANTIATE_TEST_SUITE_P(
    Commands, BuildFlashCommand,
    ::testing::Values(FlashCase{"Plain", "0x50", "img2.bin", flashCommand("img2.bin")},
                      FlashCase{"SafePunctuation", "0x50", "/opt/fw/v3@1%2+a=b:c,d.e-f_g.bin",
                                flashCommand("/opt/fw/v3@1%2+a=b:c,d.e-f_g.bin")},
                      FlashCase{"Semicolon", "0x50", "a;reboot", flashCommand("'a;reboot'")},
                      FlashCase{"Quote", "0x50", "it's", flashCommand("'it'\\''s'")},
                      FlashCase{"Empty", "", "", flashCommand("''", "''")},
                      FlashCase{"Address", "0x50 -f x", "a", flashCommand("a", "'0x50 -f x'")},
                      FlashCase{"Exactly255", "0x50", fits214, flashCommand(fits214)},
                      FlashCase{"Over255", "0x50", over215, ""},
                      FlashCase{"QuotedExactly255", "0x50", spaced212,
                                flashCommand("'" + spaced212 + "'")},
                      FlashCase{"QuotingMakesItTooLong", "0x50", spaced213, ""}),
    rowName);

// Whatever the bytes, the shell must hand the argument back intact and
// run nothing from it.
class ShellWord : public ::testing::TestWithParam<std::string> {};

TEST_P(ShellWord, ReachesTheToolAsOneIntactArgument) {
  char command[lineSize] = "printf '%s|' ";
  ASSERT_TRUE(appendArgument(command, GetParam().c_str()));
  std::FILE *shell = popen(command, "r");
  ASSERT_NE(shell, nullptr);
  std::string got;
  char buf[512];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, shell)) > 0)
    got.append(buf, n);
  EXPECT_EQ(pclose(shell), 0);
  EXPECT_EQ(got, GetParam() + "|");
}

INSTANTIATE_TEST_SUITE_P(Words, ShellWord,
                         ::testing::Values("plain.bin", "", "two words", "a;touch pwned",
                                           "$(touch pwned)", "`touch pwned`", "it's", "'''",
                                           "\"quoted\"", "back\\slash", "new\nline", "tab\there",
                                           "caf\xE9", "\xC3\xA9t\xC3\xA9", "*?[a]~#!&|<>{}", "-f",
                                           "$HOME", "a\\'b"));

} // namespace platform_cases
