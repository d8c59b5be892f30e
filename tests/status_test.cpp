// The tool status on every platform, from std::system's result (rows in
// status_test-<platform>.cpp).
#include <gtest/gtest.h>

#include "common/run.h"
#include "platform_cases.h"

namespace platform_cases {

TEST_P(ToolStatusFromSystem, Decodes) {
  EXPECT_EQ(toolStatusFromSystem(GetParam().systemResult), GetParam().toolStatus);
}

} // namespace platform_cases
