// Whole update runs from the outside: the reports the shell writes, the
// level a CR LF report gives, and the tool's lines in the output.
#include <string>

#include <gtest/gtest.h>

#include "e2e_support.h"
#include "expected.h"

namespace {

using namespace expected;
using Outcome = EndToEnd;

// A run whose scan writes report and whose flash exits with flashStatus.
RunResult runUpdate(Sandbox &box, const std::string &report, const std::string &flashStatus) {
  box.setScanReport(report);
  box.setFlashStatus(flashStatus);
  return box.run({"0x50", "fw-1.bin", "fw-2.bin"});
}

// Text mode decides what a CR LF report's level line holds: a kept CR
// sorts after "0x61" (DC); without it the level equals it (AC).
TEST_F(Outcome, CrLfReport) {
  RunResult r = runUpdate(box, "Reserved bytes  = 0x01\r\nFirmware level  = 0x61\r\n", "0");
  const std::string level = "0x61" + std::string(keptCarriageReturn());
  const std::string &advice = level == "0x61" ? acAdvice : dcAdvice;
  EXPECT_EQ(r.out, banner + flashRun(level, "fw-2.bin", updated + advice));
  EXPECT_EQ(r.exitCode, 0);
}

// The shell writes the scan report and the flash log, and whatever the
// tool writes to its standard error goes to the output, as on a console,
// right after the command that ran it.
TEST_F(Outcome, TypicalRun) {
  if (!posixSystem())
    GTEST_SKIP() << "the fake tool runs scan and flash scripts only through a POSIX shell";
  const std::string warning = "vxtool: warning: bus slow\n";
  box.setScanScript("echo 'vxtool: warning: bus slow' >&2\n");
  box.setFlashScript("echo 'vxtool: warning: bus slow' >&2\necho 'flash progress 100%'\n");
  RunResult r = runUpdate(box, "Vexo3 scan\n" + report1, "0");
  EXPECT_EQ(r.out, banner + scanEcho() + warning + levelLine("0x62") + flashEcho("fw-2.bin") +
                       warning + updated + dcAdvice);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(box.readFile(box.workDir() + "/flash.out"), "flash progress 100%\n");
  EXPECT_EQ(box.readFile(box.workDir() + "/busscan.out"), "Vexo3 scan\n" + report1);
}

} // namespace
