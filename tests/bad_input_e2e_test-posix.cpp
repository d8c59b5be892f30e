// Broken input that takes a POSIX system to make: a 50 MB report written
// by shell commands, links, FIFOs and devices under the report names, a
// working directory others may write, reports left by another user, Ctrl+C
// during a slow scan, a hang-up, SIGTERM and a log reader that goes away.
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "e2e_support.h"
#include "expected.h"
#include "table.h"

namespace {

NAMED_ROWS

using namespace expected;
using BadInput = EndToEnd;

// A 50 MB report with the key lines last is read whole, in memory that
// does not grow with the report. The tool writes the report itself, so
// this process stays small: every process it forks starts as its copy.
// The tool inherits SIGPIPE ignored, so yes(1) ends with a write error.
TEST_F(BadInput, HugeReportWithKeyLinesLast) {
  auto runWithFiller = [this](long bytes) {
    box.setScanScript("yes 'Register 0x0040  = 0x1f  Reserved bits   = 0x00  "
                      "Firmware  level = unknown' 2>/dev/null | head -c " +
                      std::to_string(bytes) + "\nprintf '" + "Reserved bytes  = 0x01\\n" +
                      "Firmware level  = 0x62\\n'\n");
    RunResult r = run();
    EXPECT_EQ(r.out, banner + flashRun("0x62", "fw-2.bin", updated + dcAdvice)) << bytes;
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
enum class Kind { link, danglingLink, fifo, directory };

struct NonRegularCase {
  const char *name;
  std::string report; // busscan.out or flash.out
  Kind kind;
};

class NonRegularReport : public EndToEnd, public ::testing::WithParamInterface<NonRegularCase> {};

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
  case Kind::fifo:
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    break;
  case Kind::directory:
    fs::create_directory(path);
    break;
  }
  RunResult r = run();
  expectRefused(r, notRegular(GetParam().report));
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
                      NonRegularCase{"ScanReportFifo", "busscan.out", Kind::fifo},
                      NonRegularCase{"FlashLogLink", "flash.out", Kind::link},
                      NonRegularCase{"FlashLogDirectory", "flash.out", Kind::directory}),
    rowName);

// A working directory that users other than its owner may write, or whose
// owner is neither root nor the run's user, is refused before anything
// runs: they could plant a link under a report name, or swap the scan
// report, after any check on the names. A group that is root's or the
// owner's private group (daemon's daemon: primary, of its name, with no
// members) is no other user; a shared primary group (nogroup) is.
struct DirectoryCase {
  const char *name;
  mode_t mode;
  const char *owner; // "user:group" for chown, which takes root; empty: the sandbox's
  const char *acl;   // an entry for setfacl -m; empty: none
  bool refused;
  unsigned runAs = 0; // a user and group id, in a directory of theirs; 0: the sandbox's
};

class WorkingDirectory : public EndToEnd, public ::testing::WithParamInterface<DirectoryCase> {};

TEST_P(WorkingDirectory, OthersWhoMayWriteItAreRefused) {
  const DirectoryCase &row = GetParam();
  const std::string dir = box.workDir();
  if (*row.owner != '\0' || *row.acl != '\0' || row.runAs != 0) {
    if (geteuid() != 0)
      GTEST_SKIP() << "only root may give the directory away";
    if (row.runAs != 0 && !box.runUnprivileged(row.runAs))
      GTEST_SKIP() << "an ordinary user cannot reach " << box.dir();
    if (*row.owner != '\0') {
      ASSERT_EQ(std::system(("chown " + std::string(row.owner) + " " + dir).c_str()), 0);
    }
  }
  ASSERT_EQ(chmod(dir.c_str(), row.mode), 0);
  // After the mode: chmod would set the ACL's mask from the group bits.
  if (*row.acl != '\0' &&
      std::system(("setfacl -m " + std::string(row.acl) + " " + dir + " 2>/dev/null").c_str()) != 0)
    GTEST_SKIP() << "no setfacl, or no ACLs on the file system of " << dir;
  box.setScanReport(report1);
  box.writeFile(dir + "/busscan.out", "earlier report\n");
  RunResult r = run();
  if (row.refused) {
    expectRefused(r, writableByOthers);
    EXPECT_EQ(box.readFile(dir + "/busscan.out"), "earlier report\n");
  } else {
    EXPECT_EQ(r.out, banner + flashRun("0x62", "fw-2.bin", updated + dcAdvice));
    EXPECT_EQ(r.exitCode, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Modes, WorkingDirectory,
    ::testing::Values(DirectoryCase{"OwnerOnly", 0700, "", "", false},
                      DirectoryCase{"ReadableByAll", 0755, "", "", false},
                      DirectoryCase{"WritableByOthers", 0757, "", "", true},
                      DirectoryCase{"StickyWritableByAll", 01777, "", "", true},
                      DirectoryCase{"GroupRoot", 0775, "0:0", "", false},
                      DirectoryCase{"GroupOfOtherUsers", 02775, "0:65534", "", true},
                      DirectoryCase{"OwnersPrivateGroup", 0775, "", "", false, 1},
                      DirectoryCase{"SharedPrimaryGroup", 0770, "", "", true, 65534},
                      DirectoryCase{"OwnedByAnotherUser", 0755, "65534:65534", "", true},
                      DirectoryCase{"AclLetsAUserWrite", 0755, "0:0", "u:65534:rwx", true},
                      DirectoryCase{"AclReadOnlyForAUser", 0755, "0:0", "u:65534:rx", false}),
    rowName);

// A log reader that goes away (`| head`, `| sed '/x/q'`) must cut neither
// the flash short nor the run before its outcome: the tool, whose
// standard error is the same pipe, gets a write error and goes on.
struct ClosedPipeCase {
  const char *name;
  std::string readUpTo; // the pipe is closed once this was read; empty: at once
};

class ClosedOutput : public EndToEnd, public ::testing::WithParamInterface<ClosedPipeCase> {};

TEST_P(ClosedOutput, NeverCutsTheFlashShort) {
  box.setScanReport(report1);
  box.setFlashScript("echo erasing >&2\n"
                     "n=0; while [ ! -e \"$box/release\" ] && [ $n -lt 1000 ]; do\n"
                     "  sleep 0.01; n=$((n + 1)); done\n"
                     "echo writing >&2\n"
                     ": > \"$box/flash.done\"\n");
  Running running = box.start({"0x50", "fw-1.bin", "fw-2.bin"});
  std::string seen;
  char buffer[256];
  ssize_t got = 1;
  while (seen.find(GetParam().readUpTo) == std::string::npos &&
         (got = read(running.out, buffer, sizeof buffer)) > 0)
    seen.append(buffer, static_cast<std::size_t>(got));
  ASSERT_GT(got, 0) << seen;
  ASSERT_EQ(close(running.out), 0);
  running.out = open("/dev/null", O_RDONLY | O_CLOEXEC); // finish reads nothing more
  box.writeFile(box.dir() + "/release", "");
  RunResult r = box.finish(running);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_TRUE(box.exists(box.dir() + "/flash.done"));
  EXPECT_EQ(box.toolCalls().size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Readers, ClosedOutput,
                         ::testing::Values(ClosedPipeCase{"ClosedAtOnce", ""},
                                           ClosedPipeCase{"ClosedAfterTheToolsFirstLine",
                                                          "erasing\n"}),
                         rowName);

// Ctrl+C and a hang-up reach the whole process group, SIGTERM vexoflash
// alone or the group. Ctrl+C kills the scan tool, and the run stops without
// reading the report; a hang-up cuts no write short. SIGTERM stops the run
// right after the scan, but cuts no flash short.
struct SignalCase {
  const char *name;
  std::string part; // the tool command that holds while the signal arrives
  int signal;
  bool toGroup;
  std::string out; // after the banner
  int exitCode;
};

class Signal : public EndToEnd, public ::testing::WithParamInterface<SignalCase> {};

TEST_P(Signal, NeverCutsAWriteShort) {
  const SignalCase &row = GetParam();
  box.setScanReport(report1);
  (row.part == "scan" ? box.setScanStatus("hold") : box.setFlashStatus("hold"));
  Running running = box.start({"0x50", "fw-1.bin", "fw-2.bin"});
  ASSERT_TRUE(box.waitFor(box.dir() + "/" + row.part + ".started"));
  ASSERT_EQ(kill(row.toGroup ? -running.pid : running.pid, row.signal), 0);
  box.writeFile(box.dir() + "/release", "");
  RunResult r = box.finish(running);
  EXPECT_EQ(r.out, banner + row.out);
  EXPECT_EQ(r.exitCode, row.exitCode);
}

INSTANTIATE_TEST_SUITE_P(
    Signals, Signal,
    ::testing::Values(
        SignalCase{"CtrlCDuringTheScan", "scan", SIGINT, true, scanEcho() + didNotComplete, 1},
        SignalCase{"HangUpDuringTheFlash", "flash", SIGHUP, true,
                   flashRun("0x62", "fw-2.bin", updated + dcAdvice), 0},
        SignalCase{"TermDuringTheScan", "scan", SIGTERM, false, scanEcho() + didNotComplete, 1},
        SignalCase{"TermToTheGroupDuringTheFlash", "flash", SIGTERM, true,
                   flashRun("0x62", "fw-2.bin", updated + dcAdvice), 0}),
    rowName);

// What a caller leaves, readied by a shell that then runs vexoflash (as
// root, with a /run of its own): closed 0, 1 and 2 must not become the host
// lock; a file-size limit, SIGXFSZ ignored, cutting the scan report must end
// the tool; a host lock not root's alone must refuse the run.
struct CallerCase {
  const char *name;
  const char *shell; // $L: the host lock; then vexoflash runs, unless the shell exits
  std::string out;
  int exitCode;
};

class Caller : public EndToEnd, public ::testing::WithParamInterface<CallerCase> {};

TEST_P(Caller, LeavesNoGuardOpen) {
  if (geteuid() != 0 && GetParam().exitCode == 111)
    GTEST_SKIP() << "only root's runs take the host lock";
  box.setScanScript("printf 'Reserved bytes  = 0x01\\n%0600d\\nFirmware level  = 0x62\\n' 0\n");
  RunResult r = box.runProgram(
      "/bin/sh",
      {"-c", "L=/run/vexoflash.lock; " + std::string(GetParam().shell) + "; exec \"$0\" a b c",
       VEXOFLASH_PATH});
  EXPECT_EQ(r.out, GetParam().out);
  EXPECT_EQ(r.exitCode, GetParam().exitCode);
}

const std::string lock = banner + "ERROR: Cannot use the host lock /run/vexoflash.lock: ";
const std::string notPrivate = lock + "not a private file of root!\n";
INSTANTIATE_TEST_SUITE_P(
    Callers, Caller,
    ::testing::Values(
        CallerCase{"ClosedStandardDescriptors", "\"$0\" a b c <&- >&- 2>&-; test ! -s $L; exit", "",
                   0},
        CallerCase{"FileSizeLimitWithSigxfszIgnored", "ulimit -f 1; trap '' XFSZ",
                   banner + scanEcho("a") + "File size limit exceeded\n" + didNotComplete, 1},
        CallerCase{"LockOpenToOthers", "install -m 644 /dev/null $L", notPrivate, 111},
        CallerCase{"LockOfAnotherUser", "install -m 600 -o 65534 /dev/null $L", notPrivate, 111},
        CallerCase{"LockAFifo", "mkfifo -m 600 $L", notPrivate, 111},
        CallerCase{"LockWithASecondLink", "install -m 600 /dev/null $L && ln $L /run/t", notPrivate,
                   111},
        CallerCase{"LockADirectory", "mkdir $L", lock + "Is a directory!\n", 111},
        CallerCase{"LockASymbolicLink", "ln -s t $L", lock + "Too many levels of symbolic links!\n",
                   111}),
    rowName);

// Reports left in the directory are replaced, not emptied: whatever their
// owner, links or the directory's default ACL, the run's reports are its
// user's own, with one link, and no one else may write them.
enum class Leftover { otherOwnerAndLink, defaultAcl };

struct LeftoverCase {
  const char *name;
  Leftover how;
};

class LeftoverReports : public EndToEnd, public ::testing::WithParamInterface<LeftoverCase> {};

TEST_P(LeftoverReports, AreMadeAnew) {
  if (geteuid() != 0)
    GTEST_SKIP() << "only root may give files away";
  box.setScanReport(report1);
  const std::string dir = box.workDir();
  const std::string linked = box.dir() + "/linked";
  if (GetParam().how == Leftover::otherOwnerAndLink) {
    for (const char *name : {"busscan.out", "flash.out"}) {
      std::string path = dir + "/" + name;
      box.writeFile(path, "left by nobody\n");
      ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
      ASSERT_EQ(chmod(path.c_str(), 0666), 0);
    }
    ASSERT_EQ(link((dir + "/flash.out").c_str(), linked.c_str()), 0);
  } else if (std::system(("setfacl -d -m u:65534:rw " + dir + " 2>/dev/null").c_str()) != 0) {
    GTEST_SKIP() << "no setfacl, or no ACLs on the file system of " << dir;
  }
  RunResult r = run();
  EXPECT_EQ(r.out, banner + flashRun("0x62", "fw-2.bin", updated + dcAdvice));
  for (const char *name : {"busscan.out", "flash.out"}) {
    struct stat st {};
    ASSERT_EQ(lstat((dir + "/" + name).c_str(), &st), 0) << name;
    EXPECT_EQ(st.st_uid, geteuid()) << name;
    EXPECT_EQ(st.st_nlink, 1u) << name;
    // With an ACL, the group bits are its mask.
    EXPECT_EQ(st.st_mode & 022, 0u) << name;
  }
  if (GetParam().how == Leftover::otherOwnerAndLink) {
    EXPECT_EQ(box.readFile(linked), "left by nobody\n");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Ways, LeftoverReports,
    ::testing::Values(LeftoverCase{"OwnedByAnotherUserAndLinked", Leftover::otherOwnerAndLink},
                      LeftoverCase{"DefaultAclOnTheDirectory", Leftover::defaultAcl}),
    rowName);

} // namespace
