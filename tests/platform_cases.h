// Tests whose cases differ by platform: the tests are written once
// (command_test.cpp, status_test.cpp), the rows per platform
// (command_test-<platform>.cpp, status_test-<platform>.cpp).
#pragma once

#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "table.h"

namespace platform_cases {

NAMED_ROWS

// A flash command as the platform's shell gets it.
struct FlashCase {
  const char *name;
  std::string address;
  std::string file;
  std::string command; // empty: refused
};
class BuildFlashCommand : public ::testing::TestWithParam<FlashCase> {};

// std::system's result and the tool status it stands for.
struct SystemCase {
  const char *name;
  int systemResult;
  int toolStatus;
};
class ToolStatusFromSystem : public ::testing::TestWithParam<SystemCase> {};

} // namespace platform_cases
