// The command builder on every platform: quoting (rows and every byte in
// command_test-<platform>.cpp), the length limit and the bound of the
// buffer.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "common/command.h"
#include "common/common.h"
#include "common/quote.h"
#include "expected.h"
#include "platform_cases.h"

namespace platform_cases {

TEST_P(BuildFlashCommand, QuotesForTheShellAndNeverTruncates) {
  char command[lineSize];
  std::memset(command, '#', sizeof command);
  bool ok = buildFlashCommand(command, GetParam().address.c_str(), GetParam().file.c_str());
  EXPECT_EQ(ok, !GetParam().command.empty());
  EXPECT_EQ(std::string(command), GetParam().command);
}

} // namespace platform_cases

namespace {

TEST(BuildScanCommand, FitsUpTo255Characters) {
  char command[lineSize];
  std::string address(223, 'a');
  ASSERT_TRUE(buildScanCommand(command, address.c_str()));
  EXPECT_EQ(std::strlen(command), 255u);
  EXPECT_EQ(std::string(command), expected::scanCommand(address));
  address += 'a';
  EXPECT_FALSE(buildScanCommand(command, address.c_str()));
  EXPECT_STREQ(command, "");
}

TEST(AppendText, KeepsTheOldTextWhenItDoesNotFit) {
  char command[lineSize] = "vxtool";
  std::string big(250, 'b');
  EXPECT_FALSE(appendText(command, big.c_str()));
  EXPECT_STREQ(command, "vxtool");
  EXPECT_FALSE(appendArgument(command, (big + ";").c_str()));
  EXPECT_STREQ(command, "vxtool");
}

} // namespace
