// The tool status on Windows: std::system gives cmd.exe's exit code, which
// is the tool's; an abnormal end is an NTSTATUS code, 0x40000000 or above
// read as unsigned (informational, warning and error severity).
#include <climits>

#include <gtest/gtest.h>

#include "common/run.h"
#include "platform_cases.h"

namespace platform_cases {

constexpr int ntStatus(unsigned code) {
  return static_cast<int>(code);
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, ToolStatusFromSystem,
    ::testing::Values(SystemCase{"CmdNotStarted", -1, -1}, SystemCase{"Zero", 0, 0},
                      SystemCase{"Exit255", 255, 255}, SystemCase{"CmdNotRecognized", 9009, 9009},
                      SystemCase{"BelowSeverity", 0x3FFFFFFF, 0x3FFFFFFF},
                      SystemCase{"Informational", 0x40000000, toolAbnormalEnd},
                      SystemCase{"DebuggerEnded", 0x40010004, toolAbnormalEnd},
                      SystemCase{"ControlC", ntStatus(0xC000013A), toolInterrupted},
                      SystemCase{"MinusTwo", -2, toolAbnormalEnd},
                      SystemCase{"Lowest", INT_MIN, toolAbnormalEnd}),
    rowName);

} // namespace platform_cases
