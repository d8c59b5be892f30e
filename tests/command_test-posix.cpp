// The commands as the POSIX shell gets them: plain words pasted, any other
// single-quoted (what a real shell makes of them: bad_input_e2e_test.cpp).
#include <string>

#include <gtest/gtest.h>

#include "common/command.h"
#include "common/common.h"
#include "expected.h"
#include "platform_cases.h"

namespace platform_cases {

using expected::flashCommand;

// Every byte but NUL, inside a file name: one of the plain set as the
// manual lists it leaves the name as it is, any other makes it one
// single-quoted word, a quote inside written '\''.
TEST(QuoteEveryByte, PlainOrSingleQuoted) {
  const std::string plain =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789@%+=:,./-_";
  for (int b = 1; b < 256; b++) {
    const char c = static_cast<char>(b);
    const std::string name = std::string("x") + c + "y";
    const std::string word = plain.find(c) != std::string::npos ? name
                             : c == '\''                        ? "'x'\\''y'"
                                                                : "'" + name + "'";
    char command[lineSize];
    ASSERT_TRUE(buildFlashCommand(command, "0x50", name.c_str())) << "byte " << b;
    EXPECT_EQ(command, flashCommand(word)) << "byte " << b;
  }
}

const std::string fits214(214, 'f');
const std::string over215(215, 'f');
const std::string spaced212 = std::string(106, 'f') + " " + std::string(105, 'f');
const std::string spaced213 = spaced212 + "f";

INSTANTIATE_TEST_SUITE_P(
    Commands, BuildFlashCommand,
    ::testing::Values(FlashCase{"Empty", "", "", flashCommand("''", "''")},
                      FlashCase{"Address", "0x50 -f x", "a", flashCommand("a", "'0x50 -f x'")},
                      FlashCase{"Exactly255", "0x50", fits214, flashCommand(fits214)},
                      FlashCase{"Over255", "0x50", over215, ""},
                      FlashCase{"QuotedExactly255", "0x50", spaced212,
                                flashCommand("'" + spaced212 + "'")},
                      FlashCase{"QuotingMakesItTooLong", "0x50", spaced213, ""}),
    rowName);

} // namespace platform_cases
