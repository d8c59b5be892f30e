// Whole update runs against the simulated vxtool: the device it keeps
// answers the scan, takes the image and remembers the result, so a run
// sees what the run before it did.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sim_e2e.h"
#include "table.h"

namespace {

NAMED_ROWS

using namespace simrun;

TEST_F(SimRun, NewImageRunsOnlyAfterThePowerCycle) {
  RunResult r = update();
  EXPECT_EQ(r.out, banner + flashRun("0x60", image2, updated + acAdvice));
  EXPECT_EQ(r.exitCode, 0);
  std::string log = box.readText(work("flash.out"));
  EXPECT_NE(log.find("Slot 2 now holds level 0x62; the device boots it at the next power cycle.\n"),
            std::string::npos)
      << log;

  // Before the power cycle the device still runs image 1, and the slot to
  // write holds the new level: nothing to write, the advice stands.
  r = update();
  EXPECT_EQ(r.out, banner + flashRun("0x60", image2, upToDate));
  EXPECT_EQ(r.exitCode, 0);
  std::string report = box.readText(work("busscan.out"));
  EXPECT_NE(report.find("\nReserved bytes  = 0x01\n"), std::string::npos) << report;
  EXPECT_NE(report.find("\nNext boot image = 2\n"), std::string::npos) << report;
  log = box.readText(work("flash.out"));
  EXPECT_NE(log.find("boots at the next"), std::string::npos) << log;

  powerCycle();
  r = update();
  EXPECT_EQ(r.out, banner + flashRun("0x62", image1, updated + dcAdvice));
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(box.readText(work("busscan.out")).find("\nReserved bytes  = 0x02\n"),
            std::string::npos);

  // A second power cycle with nothing written in between changes nothing.
  powerCycle();
  powerCycle();
  r = update();
  EXPECT_EQ(r.out, banner + flashRun("0x62", image2, upToDate));
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(box.readText(work("busscan.out")).find("\nReserved bytes  = 0x01\n"),
            std::string::npos);
  EXPECT_EQ(r.err, "");
}

TEST_F(SimRun, StateFileFromTheEnvironment) {
  std::string state = box.dir() + "/elsewhere.state";
  ScopedEnv env("VXTOOL_SIM_STATE=" + state);
  box.writeFile(state, "running = 2\nlevel2 = 0x61\n");
  RunResult r = update();
  EXPECT_EQ(r.out, banner + flashRun("0x61", image1, updated + acAdvice));
  EXPECT_NE(box.readText(state).find("pending = 1\n"), std::string::npos);
  powerCycle();
  EXPECT_NE(box.readText(state).find("running = 1\n"), std::string::npos);
  EXPECT_FALSE(box.exists(work(stateFile)));
}

// Two flashes of one slot at once, slowed so that they overlap: one
// writes, the other finds the slot written, and the state is whole with
// no temporary file left beside it.
TEST_F(SimRun, TwoFlashesAtOnceWriteTheSlotOnce) {
  ScopedEnv env("VXTOOL_SIM_DELAY=0.5");
  const std::vector<std::string> flash{"-i2cp", "0x50", "-q", "-f", image2};
  Running first = box.startProgram(VXSIM_TOOL, flash);
  Running second = box.startProgram(VXSIM_TOOL, flash);
  RunResult results[] = {box.finish(first), box.finish(second)};
  std::sort(std::begin(results), std::end(results),
            [](const RunResult &a, const RunResult &b) { return a.exitCode < b.exitCode; });
  EXPECT_EQ(results[0].exitCode, flashWritten) << results[0].out << results[1].out;
  EXPECT_EQ(results[1].exitCode, flashUpToDate) << results[0].out << results[1].out;
  EXPECT_NE(results[1].out.find("Slot 2 already holds level 0x62; nothing to write.\n"
                                "It was written since the last power cycle"),
            std::string::npos)
      << results[1].out;

  Device written;
  written.pending = 2;
  written.levels[1] = 0x62;
  EXPECT_EQ(box.readText(work(stateFile)), formatDevice(written));
  std::vector<std::string> names;
  for (const auto &entry : std::filesystem::directory_iterator(box.workDir()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{image1, image2, stateFile, lockPathOf(stateFile)}));
}

TEST_P(Fault, EndsAsTheDeviceAnswersAndLeavesItAlone) {
  const FaultCase &c = GetParam();
  ScopedEnv env(c.env);
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

const std::string bothAt62 = "level1 = 0x62\nlevel2 = 0x62\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, Fault,
    ::testing::Values(
        FaultCase{"UpToDate", flashRun("0x62", image2, upToDate), 0, "", bothAt62},
        FaultCase{"UpToDateOnASlowDevice", flashRun("0x62", image2, upToDate), 0,
                  "VXTOOL_SIM_DELAY=0.1", bothAt62},
        FaultCase{"BadDelay",
                  scanEcho() +
                      "vxtool: VXTOOL_SIM_DELAY='1e3': expected seconds from 0 to 3600, such as "
                      "0.5\n" +
                      toolUsage + notFound,
                  171, "VXTOOL_SIM_DELAY=1e3"},
        FaultCase{"SlotToWriteHoldsTheLevel", flashRun("0x60", image2, upToDate), 0, "",
                  "level2 = 0x62\npending = 2\n"},
        FaultCase{"SiliconIdMismatch", flashRun("0x60", "extra.vx3", siliconIdError), 1, "", "",
                  withExtra, makeImage(2, 0x62, 0x1234)},
        FaultCase{"MissingImage", flashRun("0x60", "missing.vx3", updateError), 2, "", "",
                  Args{"0x50", image1, "missing.vx3"}},
        FaultCase{"MalformedImage", flashRun("0x60", "extra.vx3", updateError), 2, "", "",
                  withExtra, "VEXO3-IMAGE\nslot = 2\n"},
        FaultCase{"ImageForTheRunningSlot", flashRun("0x60", image1, updateError), 2, "", "",
                  Args{"0x50", image2, image1}},
        FaultCase{"AbsentDevice", scanEcho() + notFound, 171, "VXTOOL_SIM_ABSENT=1"},
        FaultCase{"WrongAddress", scanEcho("0x51") + notFound, 171, "", "",
                  Args{"0x51", image1, image2}},
        FaultCase{"ForcedNoDevice", flashRun("0x60", image2, noVexo), 171, "VXTOOL_SIM_STATUS=1"},
        // A shell reports its tool's death by signal N as 128 + N: Ctrl+C
        // (130) and SIGKILL (137) would otherwise fold to "updated" and to
        // "Return code: 7".
        FaultCase{"KilledBySigkill", flashRun("0x60", image2, shellNotice(9) + didNotComplete), 1,
                  "VXTOOL_SIM_SIGNAL=9"},
        FaultCase{"InterruptedBySigint", flashRun("0x60", image2, didNotComplete), 1,
                  "VXTOOL_SIM_SIGNAL=2"}),
    rowName);

} // namespace
