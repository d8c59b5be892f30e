// The commands as cmd.exe gets them: plain words pasted, others in double
// quotes with their closing backslashes doubled, and the characters cmd
// cannot take safely refused.
#include <cstring>
#include <string>
#include <windows.h>

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

// An argument as the C runtime gave it, against the same argument as the
// user typed it (UTF-8 here): refused unless the ANSI code page holds the
// typed text exactly, and as those bytes. Rows for code page 1252.
struct TypedCase {
  const char *name;
  const char *typed; // nullptr: the typed form could not be had
  std::string argument;
  bool passable;
};

class ArgumentIsPassable : public ::testing::TestWithParam<TypedCase> {};

TEST_P(ArgumentIsPassable, OnlyWhatTheCodePageHoldsExactly) {
  if (GetACP() != 1252)
    GTEST_SKIP() << "rows for code page 1252, not " << GetACP();
  EXPECT_EQ(argumentIsPassable(GetParam().typed, GetParam().argument.c_str()), GetParam().passable);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, ArgumentIsPassable,
    ::testing::Values(TypedCase{"Plain", "img2.bin", "img2.bin", true},
                      TypedCase{"HeldExactly", "caf\u00E9.bin", "caf\xE9.bin", true},
                      TypedCase{"FullWidthDigit", "img\uFF12.bin", "img2.bin", false},
                      TypedCase{"Omega", "\u03A9mega.vx3", "Omega.vx3", false},
                      TypedCase{"DefaultCharacter", "\u4E00.bin", "?.bin", false},
                      TypedCase{"OtherBytes", "caf\u00E9.bin", "cafe.bin", false},
                      TypedCase{"Longer", "img2.bin", "img2.bi", false},
                      TypedCase{"NotTyped", nullptr, "img2.bin", false},
                      TypedCase{"CmdCannotTakeIt", "100%", "100%", false}),
    rowName);

} // namespace platform_cases
