// Whole update runs against the simulated vxtool: the device it keeps
// answers the scan, takes the image and remembers the result, so a run
// sees what the run before it did.
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

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
  Sandbox box;
};

TEST_F(SimRun, FullCycleFromImageOneToTwoToOneThenUpToDate) {
  RunResult r = update();
  EXPECT_EQ(r.out, banner + flashRun("0x60", image2, updatedAc));
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(box.readFile(work("busscan.out")).find("\nReserved bytes  = 0x01\n"),
            std::string::npos);

  r = update();
  EXPECT_EQ(r.out, banner + flashRun("0x62", image1, updatedDc));
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(box.readFile(work("busscan.out")).find("\nReserved bytes  = 0x02\n"),
            std::string::npos);
  std::string log = box.readFile(work("flash.out"));
  EXPECT_NE(log.find("The device now runs image 1 at level 0x62.\n"), std::string::npos) << log;

  // Both slots now hold 0x62: nothing left to write.
  r = update();
  EXPECT_EQ(r.out, banner + flashRun("0x62", image2, upToDate));
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
}

TEST_F(SimRun, StateFileFromTheEnvironment) {
  std::string state = box.dir() + "/elsewhere.state";
  ScopedEnv env("VXTOOL_SIM_STATE", state);
  box.writeFile(state, "running = 2\nlevel2 = 0x61\n");
  RunResult r = update();
  EXPECT_EQ(r.out, banner + flashRun("0x61", image1, updatedAc));
  EXPECT_NE(box.readFile(state).find("running = 1\n"), std::string::npos);
  EXPECT_FALSE(box.exists(work(stateFile)));
}

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
};

class Fault : public SimRun, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(Fault, EndsAsTheDeviceAnswersAndLeavesItAlone) {
  const FaultCase &c = GetParam();
  ScopedEnv env(c.envName, c.envValue);
  if (!c.state.empty())
    box.writeFile(work(stateFile), c.state);
  if (!c.extraFile.empty())
    box.writeFile(work("extra.vx3"), c.extraFile);
  RunResult r = update(c.args);
  EXPECT_EQ(r.out, banner + c.afterBanner);
  EXPECT_EQ(r.exitCode, c.exitCode);
  EXPECT_EQ(box.readFile(work(stateFile)), c.state);
}

const std::vector<std::string> standard{"0x50", image1, image2};
const std::vector<std::string> withExtra{"0x50", image1, "extra.vx3"};
const std::string notFound = "Vexo3 device not found.\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, Fault,
    ::testing::Values(
        FaultCase{"UpToDate", nullptr, "", "level1 = 0x62\nlevel2 = 0x62\n", standard, "",
                  flashRun("0x62", image2, upToDate), 0},
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
