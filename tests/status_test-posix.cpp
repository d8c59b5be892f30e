// The tool status on POSIX: std::system gives a wait status. (Tools that
// die under a real shell: the end-to-end tests.)
#include <csignal>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include "common/run.h"
#include "platform_cases.h"

namespace platform_cases {

int exited(int code) {
  return code << 8; // the wait status of a process that exited with code
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, ToolStatusFromSystem,
    ::testing::Values(SystemCase{"ShellNotStarted", -1, -1}, SystemCase{"Zero", exited(0), 0},
                      SystemCase{"NotFound", exited(127), 127},
                      SystemCase{"Exit128", exited(128), 128},
                      SystemCase{"ShellSaysSigint", exited(130), toolInterrupted},
                      SystemCase{"ShellSaysLastRealtime", exited(128 + SIGRTMAX), toolAbnormalEnd},
                      SystemCase{"BeyondSignals", exited(129 + SIGRTMAX), 129 + SIGRTMAX},
                      SystemCase{"Exit255", exited(255), 255},
                      SystemCase{"ShellKilledBySigint", SIGINT, toolInterrupted},
                      SystemCase{"ShellKilledWithCore", SIGSEGV | 0x80, toolAbnormalEnd}),
    rowName);

} // namespace platform_cases
