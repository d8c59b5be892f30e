// Broken input that needs a POSIX system to make: a 50 MB report written
// by shell commands, and the peak memory of the processes that read it.
#include <string>
#include <sys/resource.h>

#include <gtest/gtest.h>

#include "e2e_support.h"

namespace {

const std::string report1 = "Reserved bytes  = 0x01\nFirmware level  = 0x62\n";
std::string updatedFromImage1() {
  return banner + "\nScanning for Vexo3 image.\nCommand:  vxtool -i2cp 0x50 2>&1 > busscan.out\n" +
         "Current Firmware Level = 0x62\nFlashing Vexo.\n" +
         "Command:  vxtool -i2cp 0x50 -q -f fw-2.bin 2>&1 > flash.out\n" +
         "Vexo found and firmware updated.\n" +
         "DC power cycle the system for the update to take effect.\n";
}

class BadInputHuge : public ::testing::Test {
protected:
  void SetUp() override {
    box.installFakeTool();
  }
  RunResult run() const {
    return box.run({"0x50", "fw-1.bin", "fw-2.bin"});
  }
  Sandbox box;
};

// A 50 MB report with the key lines last is read whole, in memory that
// does not grow with the report. The tool writes the report itself, so
// this process stays small: every process it forks starts as its copy.
TEST_F(BadInputHuge, ReportWithKeyLinesLast) {
  auto runWithFiller = [this](long bytes) {
    box.setScanScript("yes 'Register 0x0040  = 0x1f  Reserved bits   = 0x00  "
                      "Firmware  level = unknown' | head -c " +
                      std::to_string(bytes) + "\nprintf '" + "Reserved bytes  = 0x01\\n" +
                      "Firmware level  = 0x62\\n'\n");
    RunResult r = run();
    EXPECT_EQ(r.out, updatedFromImage1()) << bytes;
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(box.readFile(box.workDir() + "/busscan.out").size(), bytes + report1.size());
    // The largest of all processes waited for so far: vexoflash, its
    // shells, the fake tool and the filler commands.
    rusage children{};
    EXPECT_EQ(getrusage(RUSAGE_CHILDREN, &children), 0);
    return children.ru_maxrss;
  };
  long smallPeakKb = runWithFiller(1000);
  long hugePeakKb = runWithFiller(50L << 20);
  EXPECT_LT(hugePeakKb - smallPeakKb, 4 * 1024) << "KiB more for a 50 MB report";
}

} // namespace
