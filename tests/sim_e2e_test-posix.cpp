// The simulated tool by hand through a POSIX shell, and faults set for the
// flash command alone through a shell-script wrapper.
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <vector>

#include <gtest/gtest.h>

#include "sim_e2e.h"
#include "table.h"

namespace {

NAMED_ROWS

using namespace simrun;

// Runs a shell line in the work folder with the simulated vxtool first
// on PATH; out and err are the tool's standard output and error.
RunResult shell(const Sandbox &box, const std::string &line) {
  std::string command = "cd '" + box.workDir() + "' && PATH='" + VXSIM_DIR + "':\"$PATH\" " + line +
                        " >'" + box.dir() + "/tool.out' 2>'" + box.dir() + "/tool.err'";
  int status = std::system(command.c_str());
  return {box.readFile(box.dir() + "/tool.out"), box.readFile(box.dir() + "/tool.err"),
          WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

// The tool run by hand: the power cycle, and its own failures, which exit
// with statuses that vexoflash cannot take for a device's answer.
struct ToolCase {
  const char *name;
  std::string line;  // the shell line run in the work folder
  std::string state; // the state file before; empty for a fresh device
  int exitCode;
  std::string out; // a piece of standard output
  std::string err; // a piece of standard error
  int running;     // the device after, or 0: the state file as it was
  int pending;
};

class Tool : public SimRun, public ::testing::WithParamInterface<ToolCase> {};

TEST_P(Tool, ExitsAndKeepsTheDeviceAsExpected) {
  const ToolCase &c = GetParam();
  if (!c.state.empty())
    box.writeFile(work(stateFile), c.state);
  RunResult r = shell(box, c.line);
  EXPECT_EQ(r.exitCode, c.exitCode) << r.out << r.err;
  EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
  EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
  if (c.err.empty()) {
    EXPECT_EQ(r.err, "");
  }
  std::string after = box.readFile(work(stateFile));
  if (c.running == 0) {
    EXPECT_EQ(after, c.state);
    return;
  }
  Device device;
  std::string why;
  ASSERT_TRUE(parseDevice(after, device, why)) << why;
  EXPECT_EQ(device.running, c.running);
  EXPECT_EQ(device.pending, c.pending);
}

const std::string flash2 = "vxtool -i2cp 0x50 -q -f " + image2;

INSTANTIATE_TEST_SUITE_P(
    Cases, Tool,
    ::testing::Values(
        ToolCase{"PowerCycleBootsImage2", "vxtool --power-cycle", "pending = 2\nlevel2 = 0x62\n", 0,
                 "the device boots image 2, now at level 0x62.\n", "", 2, 0},
        ToolCase{"PowerCycleBootsImage1", "vxtool --power-cycle", "running = 2\npending = 1\n", 0,
                 "the device boots image 1, now at level 0x60.\n", "", 1, 0},
        ToolCase{"PowerCycleWithNothingWritten", "vxtool --power-cycle",
                 "running = 2\nlevel2 = 0x62\n", 0,
                 "nothing was written since the last one; the device runs image 2 at level 0x62",
                 "", 0, 0},
        ToolCase{"PowerCycleOfAFreshDevice", "vxtool --power-cycle", "", 0, "runs image 1", "", 0,
                 0},
        ToolCase{"NoArguments", "vxtool", "", 5, "", "usage: vxtool", 0, 0},
        ToolCase{"PowerCycleWithAnArgument", "vxtool --power-cycle 0x50", "", 5, "",
                 "usage: vxtool", 0, 0},
        ToolCase{"FlashWithoutAFile", "vxtool -i2cp 0x50 -q -f", "", 5, "", "usage: vxtool", 0, 0},
        ToolCase{"AddressOutOfRange", "vxtool -i2cp 0x80", "", 5, "", "bad address '0x80'", 0, 0},
        ToolCase{"BadFaultVariable", "VXTOOL_SIM_STATUS=256 " + flash2, "", 5, "",
                 "VXTOOL_SIM_STATUS='256'", 0, 0},
        ToolCase{"NegativeDelay", "VXTOOL_SIM_DELAY=-1 vxtool -i2cp 0x50", "", 5, "",
                 "VXTOOL_SIM_DELAY='-1': expected seconds from 0 to 3600", 0, 0},
        ToolCase{"DelayWithAUnit", "VXTOOL_SIM_DELAY=0.5s " + flash2, "", 5, "",
                 "VXTOOL_SIM_DELAY='0.5s'", 0, 0},
        ToolCase{"DelayOverAnHour", "VXTOOL_SIM_DELAY=3600.001 vxtool -i2cp 0x50", "", 5, "",
                 "VXTOOL_SIM_DELAY='3600.001'", 0, 0},
        ToolCase{"FlashOnASlowDevice", "VXTOOL_SIM_DELAY=.05 " + flash2, "", 0,
                 "Slot 2 now holds level 0x62", "", 1, 2},
        // A folder that does not exist holds no lock file: the scan reads a
        // fresh device, and the flash cannot keep what it wrote.
        ToolCase{"ScanOfAStateInNoFolder", "VXTOOL_SIM_STATE=none/x.state vxtool -i2cp 0x50", "", 0,
                 "Reserved bytes  = 0x01", "", 0, 0},
        ToolCase{"FlashOfAStateInNoFolder", "VXTOOL_SIM_STATE=none/x.state " + flash2, "", 2,
                 "the device state could not be kept: none/x.state.new-", "", 0, 0},
        ToolCase{"BadImageSlot", "vxtool --make-image 3 0x62", "", 5, "", "bad slot '3'", 0, 0},
        ToolCase{"BadStateInTheScan", "vxtool -i2cp 0x50", "running = 3\n", 6, "",
                 "line 1: bad running '3'", 0, 0},
        ToolCase{"BadStateInTheFlash", flash2, "pending = 2\npending = x\n", 6, "",
                 "line 2: bad pending 'x'", 0, 0},
        ToolCase{"BadStateInThePowerCycle", "vxtool --power-cycle", "pending = 3\n", 6, "",
                 "line 1: bad pending '3'", 0, 0},
        ToolCase{"StateIsAFolder", "VXTOOL_SIM_STATE=. vxtool --power-cycle", "", 6, "",
                 "vxtool: .: ", 0, 0}),
    rowName);

// The tool's standard error follows the flash command.
INSTANTIATE_TEST_SUITE_P(
    FlashOnly, Fault,
    ::testing::Values(
        FaultCase{"ToolUsageErrorInTheFlash",
                  flashRun("0x60", image2,
                           "vxtool: VXTOOL_SIM_SIGNAL='99': expected a number from 1 to 64\n" +
                               toolUsage + didNotCompleteWith(5)),
                  1, "", "", standard, "", "VXTOOL_SIM_SIGNAL=99"},
        FaultCase{"BadStateInTheFlash",
                  flashRun("0x60", image2,
                           "vxtool: extra.vx3: line 1: bad running '3'\n" + didNotCompleteWith(6)),
                  1, "", "", standard, "running = 3\n", "VXTOOL_SIM_STATE=extra.vx3"}),
    rowName);

} // namespace
