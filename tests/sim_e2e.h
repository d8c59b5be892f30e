// Shared by the simulated tool's end-to-end tests of every platform: the
// fixture, the fault table's row type and the simulated tool's usage.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e_support.h"
#include "expected.h"
#include "sim.h"
#include "table.h"

namespace simrun {

NAMED_ROWS

using namespace expected;

inline const std::string image1 = "vexo3-image1.vx3";
inline const std::string image2 = "vexo3-image2.vx3";
inline const std::string stateFile = "vexo3-sim.state";

inline std::string makeImage(int slot, unsigned long level, unsigned long silicon) {
  return makeImageText(silicon, slot, level);
}

// Sets one fault variable, given as NAME=value, for the runs of one test.
class ScopedEnv {
public:
  explicit ScopedEnv(const std::string &assignment)
      : name_(assignment.substr(0, assignment.find('='))) {
    if (!assignment.empty())
      setEnvironment(name_.c_str(), assignment.substr(name_.size() + 1).c_str());
  }
  ~ScopedEnv() {
    if (!name_.empty())
      setEnvironment(name_.c_str(), nullptr);
  }
  ScopedEnv(const ScopedEnv &) = delete;
  ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
  std::string name_;
};

inline const Args standard{"0x50", image1, image2};

class SimRun : public ::testing::Test {
protected:
  void SetUp() override {
    // The caller's own simulated device and faults stay out of these runs.
    for (const char *name :
         {"VXTOOL_SIM_STATE", "VXTOOL_SIM_ABSENT", "VXTOOL_SIM_STATUS", "VXTOOL_SIM_SIGNAL"})
      setEnvironment(name, nullptr);
    for (const std::string &name : {image1, image2})
      box.writeFile(work(name), box.readFile(std::string(VXSIM_IMAGES) + "/" + name));
  }
  std::string work(const std::string &name) const {
    return box.workDir() + "/" + name;
  }
  RunResult update(const Args &args = standard) const {
    return box.run(args, std::string(VXSIM_DIR) + pathListSeparator + std::getenv("PATH"));
  }
  void powerCycle() const {
    RunResult r = box.runProgram(VXSIM_TOOL, {"--power-cycle"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  }
  // Puts a vxtool first on PATH that runs the simulated one with the
  // environment assignment `assignment` for the flash command only (a
  // POSIX shell script).
  void setFlashOnlyEnv(const std::string &assignment) const {
    std::string path = box.binDir() + "/vxtool";
    box.writeFile(path, std::string("#!/bin/sh\n[ $# -eq 2 ] || export ") + assignment +
                            "\nexec '" + VXSIM_DIR + "/vxtool' \"$@\"\n");
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
  }
  Sandbox box;
};

// Runs that must not change the device, each with its console ending.
struct FaultCase {
  const char *name;
  std::string afterBanner;
  int exitCode;
  std::string env = {};   // NAME=value: a fault variable for the run
  std::string state = {}; // the state file before the run; empty for a fresh device
  Args args = standard;
  std::string extraFile = {}; // written to the work folder as "extra.vx3"
  std::string flashEnv = {};  // an assignment for the flash command alone
};

class Fault : public SimRun, public ::testing::WithParamInterface<FaultCase> {};

inline const Args withExtra{"0x50", image1, "extra.vx3"};
inline const std::string toolUsage =
    "usage: vxtool -i2cp ADDRESS                 scan the device\n"
    "       vxtool -i2cp ADDRESS -q -f FILE      write an image into the device\n"
    "       vxtool --power-cycle                 boot the image written last\n"
    "       vxtool --make-image SLOT LEVEL [SILICON]   print a new image\n"
    "This vxtool simulates one Vexo3 device (state file: $VXTOOL_SIM_STATE,\n"
    "else ./vexo3-sim.state).\n";

} // namespace simrun
