// The commands as cmd.exe gets them: plain words pasted, others in double
// quotes with their closing backslashes doubled, and the characters cmd
// cannot take safely refused.
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
const std::string spaced212 = std::string(106, 'f') + " " + std::string(105, 'f');
// 209 + 2 characters, the closing backslash doubled, two quotes: 214.
const std::string backslashed211 = std::string(209, 'f') + " \\";

INSTANTIATE_TEST_SUITE_P(
    Commands, BuildFlashCommand,
    ::testing::Values(
        FlashCase{"Plain", "0x50", "img2.bin", flashCommand("img2.bin")},
        FlashCase{"WindowsPath", "0x50", "C:\\fw\\vexo3_img2.bin",
                  flashCommand("C:\\fw\\vexo3_img2.bin")},
        FlashCase{"SafePunctuation", "0x50", "\\\\srv\\fw\\v3@1+a=b:c,d.e-f_g/h.bin",
                  flashCommand("\\\\srv\\fw\\v3@1+a=b:c,d.e-f_g/h.bin")},
        FlashCase{"Spaces", "0x50", "C:\\fw dir\\img 2.bin",
                  flashCommand("\"C:\\fw dir\\img 2.bin\"")},
        FlashCase{"TrailingBackslash", "0x50", "C:\\fw dir\\", flashCommand("\"C:\\fw dir\\\\\"")},
        FlashCase{"InnerBackslashesStay", "0x50", "a\\\\b c", flashCommand("\"a\\\\b c\"")},
        FlashCase{"CmdSyntax", "0x50", "a&b|c<d>e^f(g);h", flashCommand("\"a&b|c<d>e^f(g);h\"")},
        FlashCase{"HighBytes", "0x50", "caf\xE9", flashCommand("\"caf\xE9\"")},
        FlashCase{"Empty", "", "", flashCommand("\"\"", "\"\"")},
        FlashCase{"Address", "0x50 -f x", "a", flashCommand("a", "\"0x50 -f x\"")},
        FlashCase{"Percent", "0x50", "%PATH%", ""}, FlashCase{"Exclamation", "0x50", "!x!", ""},
        FlashCase{"DoubleQuote", "0x50", "a\" & calc & \"", ""},
        FlashCase{"LineFeed", "0x50", "a\ncalc", ""}, FlashCase{"RefusedAddress", "%x%", "a", ""},
        FlashCase{"Exactly255", "0x50", fits214, flashCommand(fits214)},
        FlashCase{"Over255", "0x50", fits214 + "f", ""},
        FlashCase{"QuotedExactly255", "0x50", spaced212, flashCommand("\"" + spaced212 + "\"")},
        FlashCase{"QuotingMakesItTooLong", "0x50", spaced212 + "f", ""},
        FlashCase{"DoubledBackslashExactly255", "0x50", backslashed211,
                  flashCommand("\"" + backslashed211 + "\\\"")},
        FlashCase{"DoubledBackslashTooLong", "0x50", "f" + backslashed211, ""}),
    rowName);

struct PassableCase {
  const char *name;
  std::string argument;
  bool passable;
};

class AppendArgument : public ::testing::TestWithParam<PassableCase> {};

TEST_P(AppendArgument, RefusesWhatCmdWouldExpandOrSplit) {
  char command[lineSize] = "vxtool ";
  EXPECT_EQ(appendArgument(command, GetParam().argument.c_str()), GetParam().passable);
  if (!GetParam().passable) {
    EXPECT_STREQ(command, "vxtool ");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, AppendArgument,
    ::testing::Values(
        PassableCase{"Empty", "", true}, PassableCase{"CmdSyntax", "a&b|c<d>e^f(g) ;,=", true},
        PassableCase{"Backslashes", "C:\\fw dir\\", true},
        PassableCase{"HighBytesAndDel", "\x7F\x80\xE9\xFF", true},
        PassableCase{"DoubleQuote", "a\"b", false}, PassableCase{"Percent", "100%", false},
        PassableCase{"Exclamation", "hi!", false}, PassableCase{"LineFeed", "a\nb", false},
        PassableCase{"CarriageReturn", "a\rb", false}, PassableCase{"Tab", "a\tb", false},
        PassableCase{"Byte01", "\x01", false}, PassableCase{"Byte1F", "\x1F", false}),
    rowName);

// An argument the wide command line does not hold cannot be checked
// against it: refused.
TEST(ArgumentIsPassable, RefusesAPositionTheCommandLineLacks) {
  EXPECT_FALSE(argumentIsPassable(0, "x"));
  EXPECT_FALSE(argumentIsPassable(1000, "x"));
}

} // namespace platform_cases
