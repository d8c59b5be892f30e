// The command builder on every platform: the length limit and the bound
// of the buffer. How arguments are quoted is in command_test-<platform>.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "common/common.h"

namespace {

TEST(BuildScanCommand, FitsUpTo255Characters) {
  char command[lineSize];
  std::string address(223, 'a');
  ASSERT_TRUE(buildScanCommand(command, address.c_str()));
  EXPECT_EQ(std::strlen(command), 255u);
  EXPECT_EQ(std::string(command), "vxtool -i2cp " + address + " 2>&1 > busscan.out");
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
