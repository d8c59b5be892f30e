#include <csignal>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include "common/common.h"
#include "table.h"

namespace {

NAMED_ROWS

int exited(int code) {
  return code << 8; // the wait status of a process that exited with code
}

struct WaitCase {
  const char *name;
  int waitStatus;
  int toolStatus;
};

class ToolStatusFromSystem : public ::testing::TestWithParam<WaitCase> {};

TEST_P(ToolStatusFromSystem, Decodes) {
  EXPECT_EQ(toolStatusFromSystem(GetParam().waitStatus), GetParam().toolStatus);
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, ToolStatusFromSystem,
    ::testing::Values(WaitCase{"ShellNotStarted", -1, -1}, WaitCase{"Zero", exited(0), 0},
                      WaitCase{"Four", exited(4), 4}, WaitCase{"NotFound", exited(127), 127},
                      WaitCase{"Exit128", exited(128), 128},
                      WaitCase{"ShellSaysSigint", exited(130), toolAbnormalEnd},
                      WaitCase{"ShellSaysSigabrt", exited(134), toolAbnormalEnd},
                      WaitCase{"ShellSaysSigkill", exited(137), toolAbnormalEnd},
                      WaitCase{"ShellSaysLastRealtime", exited(128 + SIGRTMAX), toolAbnormalEnd},
                      WaitCase{"BeyondSignals", exited(129 + SIGRTMAX), 129 + SIGRTMAX},
                      WaitCase{"Exit255", exited(255), 255},
                      WaitCase{"ShellKilled", SIGKILL, toolAbnormalEnd},
                      WaitCase{"ShellKilledWithCore", SIGSEGV | 0x80, toolAbnormalEnd}),
    [](const auto &info) { return std::string(info.param.name); });

// The same through a real shell, as the tool commands run.
struct ShellCase {
  const char *command;
  int toolStatus;
  friend void PrintTo(const ShellCase &row, std::ostream *os) {
    *os << row.command;
  }
};

class RunWithShell : public ::testing::TestWithParam<ShellCase> {};

TEST_P(RunWithShell, GivesTheToolStatus) {
  EXPECT_EQ(runWithShell(GetParam().command), GetParam().toolStatus);
}

INSTANTIATE_TEST_SUITE_P(Commands, RunWithShell,
                         ::testing::Values(ShellCase{"true", 0}, ShellCase{"exit 3", 3},
                                           ShellCase{"exit 14", 14},
                                           ShellCase{"no-such-tool-here 2>/dev/null", 127},
                                           ShellCase{"sh -c 'kill -KILL $$'", toolAbnormalEnd},
                                           ShellCase{"sh -c 'kill -TERM $$'", toolAbnormalEnd},
                                           ShellCase{"kill -KILL $$", toolAbnormalEnd}));

} // namespace
