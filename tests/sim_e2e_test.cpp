// Whole update runs against the simulated vxtool: the device it keeps
// answers the scan, takes the image and remembers the result, so a run
// sees what the run before it did.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/wait.h>

#include "e2e_support.h"
#include "sim.h"
#include "table.h"

namespace {

NAMED_ROWS

const std::string image1 = "vexo3-image1.vx3";
const std::string image2 = "vexo3-image2.vx3";
const std::string stateFile = "vexo3-sim.state";

const std::string updatedAc = "Vexo found and firmware updated.\n"
                              "AC power cycle the system for the update to take affect.\n";
const std::string updatedDc = "Vexo found and firmware updated.\n"
                              "DC power cycle the system for the update to take effect.\n";
const std::string upToDate = "Vexo Found and Firmware level is up-to-date. No flashing required.\n";
const std::string updateError = "Vexo firmware update error - Vexo found but update failed.\n";
const std::string notCompleted = "The VEXO update did not complete successfully.\n";
const std::string notCompleted5 =
    "The VEXO update did not complete successfully.  Return code: 5\n";
const std::string notCompleted6 =
    "The VEXO update did not complete successfully.  Return code: 6\n";

std::string scanEcho(const std::string &address) {
  return "\nScanning for Vexo3 image.\nCommand:  vxtool -i2cp " + address + " 2>&1 > busscan.out\n";
}

// The output after the banner of a run that gets as far as the flash.
std::string flashRun(const std::string &level, const std::string &file,
                     const std::string &outcome) {
  return scanEcho("0x50") + "Current Firmware Level = " + level + "\nFlashing Vexo.\n" +
         "Command:  vxtool -i2cp 0x50 -q -f " + file + " 2>&1 > flash.out\n" + outcome;
}

std::string makeImage(int slot, unsigned long level, unsigned long silicon) {
  return makeImageText(silicon, slot, level);
}

// Sets one fault variable for the runs of one test.
class ScopedEnv {
public:
  ScopedEnv(const char *name, const std::string &value) : name_(name) {
    if (name_ != nullptr)
      setenv(name_, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (name_ != nullptr)
      unsetenv(name_);
  }
  ScopedEnv(const ScopedEnv &) = delete;
  ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
  const char *name_;
};

class SimRun : public ::testing::Test {
protected:
  void SetUp() override {
    // The caller's own simulated device and faults stay out of these runs.
    for (const char *name :
         {"VXTOOL_SIM_STATE", "VXTOOL_SIM_ABSENT", "VXTOOL_SIM_STATUS", "VXTOOL_SIM_SIGNAL"})
      unsetenv(name);
    for (const std::string &name : {image1, image2})
      box.writeFile(work(name), box.readFile(std::string(VXSIM_IMAGES) + "/" + name));
  }
  std::string work(const std::string &name) const {
    return box.workDir() + "/" + name;
  }
  RunResult update(const std::vector<std::string> &args = {"0x50", image1, image2}) const {
    return box.run(args, std::string(VXSIM_DIR) + ":" + std::getenv("PATH"));
  }
  // Runs a shell line in the work folder with the simulated vxtool first
  // on PATH; out and err are the tool's standard output and error.
  RunResult shell(const std::string &line) const {
    std::string command = "cd '" + box.workDir() + "' && PATH='" + VXSIM_DIR + "':\"$PATH\" " +
                          line + " >'" + box.dir() + "/tool.out' 2>'" + box.dir() + "/tool.err'";
    int status = std::system(command.c_str());
    return {box.readFile(box.dir() + "/tool.out"), box.readFile(box.dir() + "/tool.err"),
            WIFEXITED(status) ? WEXITSTATUS(status) : -1};
  }
  void powerCycle() const {
    RunResult r = shell("vxtool --power-cycle");
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  }
  // Puts a vxtool first on PATH that runs the simulated one with the
  // environment assignment `assignment` for the flash command only.
  void setFlashOnlyEnv(const std::string &assignment) const {
    std::string path = box.binDir() + "/vxtool";
    box.writeFile(path, std::string("#!/bin/sh\n[ $# -eq 2 ] || export ") + assignment +
                            "\nexec '" + VXSIM_DIR + "/vxtool' \"$@\"\n");
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
  }
  Sandbox box;
};

TEST_F(SimRun, NewImageRunsOnlyAfterThePowerCycle) {
  RunResult r = update();
  EXPECT_EQ(r.out, banner + flashRun("0x60", image2, updatedAc));
  EXPECT_EQ(r.exitCode, 0);
  std::string log = box.readFile(work("flash.out"));
  EXPECT_NE(log.find("Slot 2 now holds level 0x62; the device boots it at the next power cycle.\n"),
            std::string::npos)
      << log;

  // Before the power cycle the device still runs image 1, and the slot to
  // write holds the new level: nothing to write, the advice stands.
  r = update();
  EXPECT_EQ(r.out, banner + flashRun("0x60", image2, upToDate));
  EXPECT_EQ(r.exitCode, 0);
  std::string report = box.readFile(work("busscan.out"));
  EXPECT_NE(report.find("\nReserved bytes  = 0x01\n"), std::string::npos) << report;
  EXPECT_NE(report.find("\nNext boot image = 2\n"), std::string::npos) << report;
  log = box.readFile(work("flash.out"));
  EXPECT_NE(log.find("boots at the next"), std::string::npos) << log;

  powerCycle();
  r = update();
  EXPECT_EQ(r.out, banner + flashRun("0x62", image1, updatedDc));
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(box.readFile(work("busscan.out")).find("\nReserved bytes  = 0x02\n"),
            std::string::npos);

  // A second power cycle with nothing written in between changes nothing.
  powerCycle();
  powerCycle();
  r = update();
  EXPECT_EQ(r.out, banner + flashRun("0x62", image2, upToDate));
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(box.readFile(work("busscan.out")).find("\nReserved bytes  = 0x01\n"),
            std::string::npos);
  EXPECT_EQ(r.err, "");
}

TEST_F(SimRun, StateFileFromTheEnvironment) {
  std::string state = box.dir() + "/elsewhere.state";
  ScopedEnv env("VXTOOL_SIM_STATE", state);
  box.writeFile(state, "running = 2\nlevel2 = 0x61\n");
  RunResult r = update();
  EXPECT_EQ(r.out, banner + flashRun("0x61", image1, updatedAc));
  EXPECT_NE(box.readFile(state).find("pending = 1\n"), std::string::npos);
  powerCycle();
  EXPECT_NE(box.readFile(state).find("running = 1\n"), std::string::npos);
  EXPECT_FALSE(box.exists(work(stateFile)));
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
  RunResult r = shell(c.line);
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
        ToolCase{"BadImageSlot", "vxtool --make-image 3 0x62", "", 5, "", "bad slot '3'", 0, 0},
        ToolCase{"BadStateInTheScan", "vxtool -i2cp 0x50", "running = 3\n", 6, "",
                 "line 1: bad running '3'", 0, 0},
        ToolCase{"BadStateInTheFlash", flash2, "pending = 2\npending = x\n", 6, "",
                 "line 2: bad pending 'x'", 0, 0},
        ToolCase{"BadStateInThePowerCycle", "vxtool --power-cycle", "pending = 3\n", 6, "",
                 "line 1: bad pending '3'", 0, 0},
        ToolCase{"StateIsAFolder", "VXTOOL_SIM_STATE=. vxtool --power-cycle", "", 6, "",
                 "vxtool: .: ", 0, 0}),
    [](const auto &info) { return std::string(info.param.name); });

// Runs that must not change the device, each with its console ending.
struct FaultCase {
  const char *name;
  const char *envName; // a fault variable, or nullptr
  std::string envValue;
  std::string state; // the state file before the run; empty for a fresh device
  std::vector<std::string> args;
  std::string extraFile; // written to the work folder as "extra.vx3"
  std::string afterBanner;
  int exitCode;
  std::string flashEnv = {}; // an assignment for the flash command alone
};

class Fault : public SimRun, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(Fault, EndsAsTheDeviceAnswersAndLeavesItAlone) {
  const FaultCase &c = GetParam();
  ScopedEnv env(c.envName, c.envValue);
  if (!c.state.empty())
    box.writeFile(work(stateFile), c.state);
  if (!c.extraFile.empty())
    box.writeFile(work("extra.vx3"), c.extraFile);
  if (!c.flashEnv.empty())
    setFlashOnlyEnv(c.flashEnv);
  RunResult r = update(c.args);
  EXPECT_EQ(r.out, banner + c.afterBanner);
  EXPECT_EQ(r.exitCode, c.exitCode);
  EXPECT_EQ(box.readFile(work(stateFile)), c.state);
}

const std::vector<std::string> standard{"0x50", image1, image2};
const std::vector<std::string> withExtra{"0x50", image1, "extra.vx3"};
const std::string notFound = "Vexo3 device not found.\n";
const std::string toolUsage =
    "usage: vxtool -i2cp ADDRESS                 scan the device\n"
    "       vxtool -i2cp ADDRESS -q -f FILE      write an image into the device\n"
    "       vxtool --power-cycle                 boot the image written last\n"
    "       vxtool --make-image SLOT LEVEL [SILICON]   print a new image\n"
    "This vxtool simulates one Vexo3 device (state file: $VXTOOL_SIM_STATE,\n"
    "else ./vexo3-sim.state).\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, Fault,
    ::testing::Values(
        FaultCase{"UpToDate", nullptr, "", "level1 = 0x62\nlevel2 = 0x62\n", standard, "",
                  flashRun("0x62", image2, upToDate), 0},
        FaultCase{"SlotToWriteHoldsTheLevel", nullptr, "", "level2 = 0x62\npending = 2\n", standard,
                  "", flashRun("0x60", image2, upToDate), 0},
        // The tool's standard error follows the flash command.
        FaultCase{"ToolUsageErrorInTheFlash", nullptr, "", "", standard, "",
                  flashRun("0x60", image2,
                           "vxtool: VXTOOL_SIM_SIGNAL='99': expected a number from 1 to 64\n" +
                               toolUsage + notCompleted5),
                  1, "VXTOOL_SIM_SIGNAL=99"},
        FaultCase{"BadStateInTheFlash", nullptr, "", "", standard, "running = 3\n",
                  flashRun("0x60", image2,
                           "vxtool: extra.vx3: line 1: bad running '3'\n" + notCompleted6),
                  1, "VXTOOL_SIM_STATE=extra.vx3"},
        FaultCase{"SiliconIdMismatch", nullptr, "", "", withExtra, makeImage(2, 0x62, 0x1234),
                  flashRun("0x60", "extra.vx3",
                           "Vexo Silicon ID Error \x96 Vexo found but the silicon ID didn\x92t "
                           "match file.\n"),
                  1},
        FaultCase{"MissingImage",
                  nullptr,
                  "",
                  "",
                  {"0x50", image1, "missing.vx3"},
                  "",
                  flashRun("0x60", "missing.vx3", updateError),
                  2},
        FaultCase{"MalformedImage", nullptr, "", "", withExtra, "VEXO3-IMAGE\nslot = 2\n",
                  flashRun("0x60", "extra.vx3", updateError), 2},
        FaultCase{"ImageForTheRunningSlot",
                  nullptr,
                  "",
                  "",
                  {"0x50", image2, image1},
                  "",
                  flashRun("0x60", image1, updateError),
                  2},
        FaultCase{"AbsentDevice", "VXTOOL_SIM_ABSENT", "1", "", standard, "",
                  scanEcho("0x50") + notFound, 171},
        FaultCase{"WrongAddress",
                  nullptr,
                  "",
                  "",
                  {"0x51", image1, image2},
                  "",
                  scanEcho("0x51") + notFound,
                  171},
        FaultCase{
            "ForcedNoDevice", "VXTOOL_SIM_STATUS", "1", "", standard, "",
            flashRun("0x60", image2, "No Vexos found in the system.\nFirmware was not flashed.\n"),
            171},
        FaultCase{"ForcedStatus12", "VXTOOL_SIM_STATUS", "12", "", standard, "",
                  flashRun("0x60", image2, updateError), 2},
        FaultCase{"KilledBySigkill", "VXTOOL_SIM_SIGNAL", "9", "", standard, "",
                  flashRun("0x60", image2, "Killed\n" + notCompleted), 1},
        FaultCase{"KilledBySigterm", "VXTOOL_SIM_SIGNAL", "15", "", standard, "",
                  flashRun("0x60", image2, "Terminated\n" + notCompleted), 1}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
