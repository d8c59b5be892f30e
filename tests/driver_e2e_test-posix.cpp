// The driver on POSIX systems: reports a run cannot make anew (in a
// read-only directory, append-only for root), a caller that ignores SIGCHLD,
// the flock(2) lock on the working directory and the host lock.
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <grp.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
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

// A report this run cannot make anew is an earlier run's: the scan's
// redirection fails too, and no image may be chosen from what it holds.
// Here the stale report names image 2 where the device runs image 1.
enum class Stale { readOnlyDirectoryForAnOperator, appendOnlyForRoot };

struct StaleCase {
  const char *name;
  Stale how;
};

class StaleReport : public EndToEnd, public ::testing::WithParamInterface<StaleCase> {
protected:
  void TearDown() override { // else the sandbox could not be removed
    if (appendOnly_) {
      EXPECT_EQ(std::system(("chattr -a " + stale_).c_str()), 0);
    }
    std::filesystem::permissions(box.workDir(), std::filesystem::perms::owner_all);
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
    // Neither the directory nor the report may be written by the operator.
    ASSERT_EQ(chmod(stale_.c_str(), 0444), 0);
    ASSERT_EQ(chmod(box.workDir().c_str(), 0555), 0);
  }
  RunResult r = run();
  EXPECT_EQ(r.exitCode, 171);
  EXPECT_TRUE(box.toolCalls().empty()); // the shell could not start the tool
  ASSERT_GE(r.out.size(), notFound.size());
  EXPECT_EQ(r.out.substr(r.out.size() - notFound.size()), notFound);
  EXPECT_EQ(r.out.find("Flashing"), std::string::npos);
  EXPECT_EQ(box.readFile(stale_), staleReport);
}

INSTANTIATE_TEST_SUITE_P(Ways, StaleReport,
                         ::testing::Values(StaleCase{"ReadOnlyDirectoryForAnOperator",
                                                     Stale::readOnlyDirectoryForAnOperator},
                                           StaleCase{"AppendOnlyForRoot",
                                                     Stale::appendOnlyForRoot}),
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

// One run at a time in a working directory: while another process holds
// its lock, even a shared one taken by another user who may only read the
// directory (the manual: keep it 0700), a run is refused with nothing run
// and nothing written; once the lock is let go, a run goes on.
TEST_F(Driver, RefusedWhileTheDirectoryIsLocked) {
  box.setScanReport(report1);
  box.writeFile(box.workDir() + "/busscan.out", "earlier report\n");
  box.writeFile(box.workDir() + "/flash.out", "earlier log\n");
  ASSERT_EQ(chmod(box.workDir().c_str(), 0755), 0);
  int ready[2];
  ASSERT_EQ(pipe2(ready, O_CLOEXEC), 0);
  struct Holder { // as root, user nobody; it ends with the test at the latest
    pid_t pid;
    void end() {
      if (pid > 0 && kill(pid, SIGKILL) == 0)
        waitpid(pid, nullptr, 0);
      pid = -1;
    }
    ~Holder() {
      end();
    }
  } holder{fork()};
  if (holder.pid == 0) {
    bool entered = chdir(box.workDir().c_str()) == 0 &&
                   (geteuid() != 0 ||
                    (setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0));
    int dir = entered ? open(".", O_RDONLY | O_DIRECTORY) : -1; // held until killed
    bool held = dir >= 0 && flock(dir, LOCK_SH | LOCK_NB) == 0;
    (void)write(ready[1], held ? "y" : "n", 1);
    pause();
    _exit(0);
  }
  close(ready[1]);
  char held = 'n';
  ASSERT_EQ(read(ready[0], &held, 1), 1);
  close(ready[0]);
  ASSERT_EQ(held, 'y');
  expectRefused(run(), locked);
  EXPECT_EQ(box.readFile(box.workDir() + "/busscan.out"), "earlier report\n");
  EXPECT_EQ(box.readFile(box.workDir() + "/flash.out"), "earlier log\n");

  holder.end();
  RunResult r = run();
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

// One run at a time on a host, whatever its directory: a second root run
// says it waits, and goes on once the first has ended; a SIGTERM ends the
// wait with nothing run. The lock file is root's alone, so no other user
// can hold it.
struct WaitCase {
  const char *name;
  bool terminate;
  std::string out; // after the waiting line
  int exitCode;
};

class HostLock : public EndToEnd, public ::testing::WithParamInterface<WaitCase> {};

TEST_P(HostLock, SecondRunWaits) {
  if (geteuid() != 0)
    GTEST_SKIP() << "only root's runs take the host lock";
  const WaitCase &row = GetParam();
  const std::string waiting = "Waiting for another vexoflash run on this system to finish.\n";
  Sandbox other;
  other.installFakeTool();
  other.shareHostWith(box);
  box.setScanReport(report1);
  other.setScanReport(report1);
  box.setFlashStatus("hold");
  Running first = box.start({"0x50", "one.bin", "two.bin"});
  ASSERT_TRUE(box.waitFor(box.dir() + "/flash.started"));

  Running second = other.start({"0x50", "fw-1.bin", "fw-2.bin"});
  std::string seen;
  char buffer[256];
  ssize_t got = 1;
  while (seen.size() < banner.size() + waiting.size() &&
         (got = read(second.out, buffer, sizeof buffer)) > 0)
    seen.append(buffer, static_cast<std::size_t>(got));
  EXPECT_EQ(seen, banner + waiting);
  if (row.terminate) {
    ASSERT_EQ(kill(second.pid, SIGTERM), 0);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_TRUE(other.toolCalls().empty());
  box.writeFile(box.dir() + "/release", "");
  EXPECT_EQ(box.finish(first).exitCode, 0);
  RunResult r = other.finish(second);
  EXPECT_EQ(seen + r.out, banner + waiting + row.out);
  EXPECT_EQ(r.exitCode, row.exitCode);

  struct stat st {};
  ASSERT_EQ(stat((box.runDir() + "/vexoflash.lock").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 0u);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
}

INSTANTIATE_TEST_SUITE_P(
    Waits, HostLock,
    ::testing::Values(WaitCase{"UntilTheFirstRunEnds", false,
                               flashRun("0x62", "fw-2.bin", updated + dcAdvice), 0},
                      WaitCase{"EndedBySigterm", true, didNotComplete, 1}),
    rowName);

} // namespace
