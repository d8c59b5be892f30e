// Broken input that takes a POSIX system to make: a 50 MB report written
// by shell commands, links, FIFOs and devices under the report names, and
// Ctrl+C during a slow scan.
#include <csignal>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "bad_input_e2e.h"
#include "table.h"

namespace {

NAMED_ROWS

using namespace badinput;

// A 50 MB report with the key lines last is read whole, in memory that
// does not grow with the report. The tool writes the report itself, so
// this process stays small: every process it forks starts as its copy.
TEST_F(BadInput, HugeReportWithKeyLinesLast) {
  auto runWithFiller = [this](long bytes) {
    box.setScanScript("yes 'Register 0x0040  = 0x1f  Reserved bits   = 0x00  "
                      "Firmware  level = unknown' | head -c " +
                      std::to_string(bytes) + "\nprintf '" + "Reserved bytes  = 0x01\\n" +
                      "Firmware level  = 0x62\\n'\n");
    RunResult r = run();
    EXPECT_EQ(r.out, updatedFromImage1("0x62", dc)) << bytes;
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

// A report name that is not a regular file is refused before anything
// runs: the shell would write through a link (as root, over its target),
// wait forever on a FIFO, or fail on a directory.
enum class Kind { link, danglingLink, linkToDevice, fifo, directory };

struct NonRegularCase {
  const char *name;
  std::string report; // busscan.out or flash.out
  Kind kind;
};

class NonRegularReport : public BadInput, public ::testing::WithParamInterface<NonRegularCase> {};

TEST_P(NonRegularReport, RefusedBeforeAnythingRuns) {
  box.setScanReport(report1);
  std::string path = box.workDir() + "/" + GetParam().report;
  std::string target = box.dir() + "/target";
  namespace fs = std::filesystem;
  switch (GetParam().kind) {
  case Kind::link:
    box.writeFile(target, "keep me\n");
    fs::create_symlink(target, path);
    break;
  case Kind::danglingLink:
    fs::create_symlink(target, path);
    break;
  case Kind::linkToDevice:
    fs::create_symlink("/dev/zero", path);
    break;
  case Kind::fifo:
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    break;
  case Kind::directory:
    fs::create_directory(path);
    break;
  }
  RunResult r = run();
  EXPECT_EQ(r.out, banner + "ERROR: " + GetParam().report + " is not a regular file!\n");
  EXPECT_EQ(r.exitCode, 111);
  EXPECT_TRUE(box.toolCalls().empty());
  if (GetParam().kind == Kind::link) {
    EXPECT_EQ(box.readFile(target), "keep me\n");
  }
  if (GetParam().kind == Kind::danglingLink) {
    EXPECT_FALSE(box.exists(target));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, NonRegularReport,
    ::testing::Values(NonRegularCase{"ScanReportLink", "busscan.out", Kind::link},
                      NonRegularCase{"ScanReportDanglingLink", "busscan.out", Kind::danglingLink},
                      NonRegularCase{"ScanReportLinkToDevZero", "busscan.out", Kind::linkToDevice},
                      NonRegularCase{"ScanReportFifo", "busscan.out", Kind::fifo},
                      NonRegularCase{"ScanReportDirectory", "busscan.out", Kind::directory},
                      NonRegularCase{"FlashLogLink", "flash.out", Kind::link},
                      NonRegularCase{"FlashLogDanglingLink", "flash.out", Kind::danglingLink},
                      NonRegularCase{"FlashLogFifo", "flash.out", Kind::fifo},
                      NonRegularCase{"FlashLogDirectory", "flash.out", Kind::directory}),
    [](const auto &info) { return std::string(info.param.name); });

// Ctrl+C during a slow scan reaches the whole process group: the scan
// tool dies of it, and the run stops without reading the report.
TEST_F(BadInput, CtrlCDuringASlowScanStopsTheRun) {
  box.setScanReport(report1);
  box.setScanScript("touch \"$box/scan.started\"\nsleep 10\n");
  Running running = box.start({"0x50", "fw-1.bin", "fw-2.bin"});
  EXPECT_TRUE(box.waitFor(box.dir() + "/scan.started"));
  kill(-running.pid, SIGINT);
  RunResult r = box.finish(running);
  EXPECT_EQ(r.out, banner + scanEcho + "The VEXO update did not complete successfully.\n");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(box.toolCalls().size(), 1u);
}

} // namespace
