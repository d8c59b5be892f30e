// The driver on POSIX systems: reports a run cannot empty (read-only for
// an ordinary user, append-only for root), a caller that ignores SIGCHLD,
// the flock(2) lock on the working directory, and the single-quoted echo.
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "e2e_support.h"
#include "expected.h"
#include "table.h"

namespace {

NAMED_ROWS

using namespace expected;
using Driver = EndToEnd;

// A report this run cannot empty is an earlier run's: the scan's
// redirection fails too, and no image may be chosen from what it holds.
// Here the stale report names image 2 where the device runs image 1.
enum class Stale { readOnlyForAnOperator, appendOnlyForRoot };

struct StaleCase {
  const char *name;
  Stale how;
};

class StaleReport : public EndToEnd, public ::testing::WithParamInterface<StaleCase> {
protected:
  void TearDown() override {
    if (appendOnly_) { // else the sandbox could not be removed
      EXPECT_EQ(std::system(("chattr -a " + stale_).c_str()), 0);
    }
  }
  std::string stale_ = box.workDir() + "/busscan.out";
  bool appendOnly_ = false;
};

TEST_P(StaleReport, IsNotRead) {
  box.setScanReport(report1);
  const std::string staleReport = "Reserved bytes  = 0x02\nFirmware level  = 0x62\n";
  box.writeFile(stale_, staleReport);
  if (GetParam().how == Stale::appendOnlyForRoot) {
    if (geteuid() != 0)
      GTEST_SKIP() << "only root can make a file append-only";
    if (std::system(("chattr +a " + stale_ + " 2>/dev/null").c_str()) != 0)
      GTEST_SKIP() << "the file system of " << box.dir() << " has no append-only files";
    appendOnly_ = true;
  } else {
    if (!box.runUnprivileged())
      GTEST_SKIP() << "an ordinary user cannot reach " << box.dir();
    std::filesystem::permissions(stale_, std::filesystem::perms::owner_read |
                                             std::filesystem::perms::group_read |
                                             std::filesystem::perms::others_read);
  }
  RunResult r = run();
  EXPECT_EQ(r.exitCode, 171);
  EXPECT_TRUE(box.toolCalls().empty()); // the shell could not start the tool
  ASSERT_GE(r.out.size(), notFound.size());
  EXPECT_EQ(r.out.substr(r.out.size() - notFound.size()), notFound);
  EXPECT_EQ(r.out.find("Flashing"), std::string::npos);
  EXPECT_EQ(box.readFile(stale_), staleReport);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, StaleReport,
    ::testing::Values(StaleCase{"ReadOnlyForAnOperator", Stale::readOnlyForAnOperator},
                      StaleCase{"AppendOnlyForRoot", Stale::appendOnlyForRoot}),
    rowName);

// A supervisor that ignores SIGCHLD passes that on; the tool statuses
// must still be seen.
TEST_F(Driver, StartedWithSigchldIgnored) {
  box.setScanReport(report1);
  box.ignoreSigchld();
  RunResult r = run();
  EXPECT_EQ(r.out, banner + flashRun("0x62", "fw-2.bin", updated + dcAdvice));
  EXPECT_EQ(r.exitCode, 0);
}

// One run at a time in a working directory: a second run is refused with
// nothing run and nothing written, until the first has ended.
TEST_F(Driver, RefusedWhileTheDirectoryIsLocked) {
  box.setScanReport(report1);
  box.writeFile(box.workDir() + "/busscan.out", "earlier report\n");
  box.writeFile(box.workDir() + "/flash.out", "earlier log\n");
  struct Holder {
    int fd;
    ~Holder() {
      if (fd >= 0)
        close(fd);
    }
  } holder{open(box.workDir().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
  ASSERT_GE(holder.fd, 0);
  ASSERT_EQ(flock(holder.fd, LOCK_EX | LOCK_NB), 0);
  RunResult r = run();
  expectRefused(r, locked);
  EXPECT_EQ(box.readFile(box.workDir() + "/busscan.out"), "earlier report\n");
  EXPECT_EQ(box.readFile(box.workDir() + "/flash.out"), "earlier log\n");

  close(holder.fd);
  holder.fd = -1;
  r = run();
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(box.toolCalls().size(), 2u);
}

// Killed while its tool writes the device, vexoflash leaves the lock with
// the tool, which inherited it: no new run starts until the write ends.
TEST_F(Driver, LockOutlivesAKilledRunWhileItsToolWrites) {
  box.setScanReport(report1);
  box.setFlashStatus("hold");
  Running first = box.start({"0x50", "one.bin", "two.bin"});
  ASSERT_TRUE(box.waitFor(box.dir() + "/flash.started"));
  ASSERT_EQ(kill(first.pid, SIGKILL), 0);
  siginfo_t info{};
  ASSERT_EQ(waitid(P_PID, static_cast<id_t>(first.pid), &info, WEXITED | WNOWAIT), 0);

  RunResult second = run();
  EXPECT_EQ(second.out, banner + locked);
  EXPECT_EQ(second.exitCode, 111);
  EXPECT_EQ(box.toolCalls().size(), 2u); // the first run's scan and flash

  box.writeFile(box.dir() + "/release", "");
  EXPECT_EQ(box.finish(first).exitCode, -1); // after its tool has ended
  box.setFlashStatus("0");
  RunResult third = run();
  EXPECT_EQ(third.exitCode, 0);
  EXPECT_EQ(box.toolCalls().size(), 4u);
}

TEST_F(Driver, AddressIsOneArgumentToo) {
  box.setScanReport(report1);
  RunResult r = run({"0x50;touch pwned", "one.bin", "two.bin"});
  EXPECT_EQ(r.exitCode, 0);
  std::vector<std::vector<std::string>> calls = box.toolCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0], (Args{"-i2cp", "0x50;touch pwned"}));
  EXPECT_EQ(calls[1][1], "0x50;touch pwned");
  EXPECT_NE(r.out.find(scanEcho("'0x50;touch pwned'")), std::string::npos);
  EXPECT_FALSE(box.exists(box.workDir() + "/pwned"));
}

} // namespace
