// The commands as cmd.exe gets them: plain words pasted, others in double
// quotes with their closing backslashes doubled, and the characters cmd
// cannot take safely refused; and the arguments the C runtime cannot hand
// over exactly.
#include <cstring>
#include <string>
#include <windows.h>

#include <gtest/gtest.h>

#include "common/command.h"
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

// Every byte but NUL, inside a file name: one of the plain set as the
// manual lists it leaves the name as it is; a control byte, ", % or ! is
// refused; any other makes it one double-quoted word.
TEST(QuoteEveryByte, PlainDoubleQuotedOrRefused) {
  const std::string plain =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789@+=:,./-_\\";
  for (int b = 1; b < 256; b++) {
    const char c = static_cast<char>(b);
    const std::string name = std::string("x") + c + "y";
    char command[lineSize];
    bool built = buildFlashCommand(command, "0x50", name.c_str());
    if (b < 0x20 || std::string("\"%!").find(c) != std::string::npos) {
      EXPECT_FALSE(built) << "byte " << b;
      continue;
    }
    ASSERT_TRUE(built) << "byte " << b;
    std::string word = plain.find(c) != std::string::npos ? name : "\"" + name + "\"";
    EXPECT_EQ(command, flashCommand(word)) << "byte " << b;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Commands, BuildFlashCommand,
    ::testing::Values(
        FlashCase{"TrailingBackslash", "0x50", "C:\\fw dir\\", flashCommand("\"C:\\fw dir\\\\\"")},
        FlashCase{"InnerBackslashesStay", "0x50", "a\\\\b c", flashCommand("\"a\\\\b c\"")},
        FlashCase{"Empty", "", "", flashCommand("\"\"", "\"\"")},
        FlashCase{"Address", "0x50 -f x", "a", flashCommand("a", "\"0x50 -f x\"")},
        FlashCase{"RefusedAddress", "%x%", "a", ""},
        FlashCase{"Exactly255", "0x50", fits214, flashCommand(fits214)},
        FlashCase{"Over255", "0x50", fits214 + "f", ""},
        FlashCase{"QuotedExactly255", "0x50", spaced212, flashCommand("\"" + spaced212 + "\"")},
        FlashCase{"QuotingMakesItTooLong", "0x50", spaced212 + "f", ""},
        FlashCase{"DoubledBackslashExactly255", "0x50", backslashed211,
                  flashCommand("\"" + backslashed211 + "\\\"")},
        FlashCase{"DoubledBackslashTooLong", "0x50", "f" + backslashed211, ""}),
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
