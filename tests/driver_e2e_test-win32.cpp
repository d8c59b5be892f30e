// The driver on Windows: the lock on the working directory, a named kernel
// object whose handle the tool commands inherit, holds while a tool still
// writes, even after vexoflash itself was ended; and cmd.exe is kept from
// looking for the tool in the working directory.
#include <cstdint>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>
#include <windows.h>

#include "e2e_support.h"
#include "expected.h"

namespace {

using namespace expected;
using Driver = EndToEnd;

HANDLE processOf(const Running &running) {
  return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(running.pid));
}

TEST_F(Driver, LockHeldWhileAToolWritesEvenAfterVexoflashEnded) {
  box.setScanReport(report1);
  box.setFlashStatus("hold");
  Running first = box.start({"0x50", "one.bin", "two.bin"});
  ASSERT_TRUE(box.waitFor(box.dir() + "/flash.started"));

  RunResult second = run();
  EXPECT_EQ(second.out, banner + locked);
  EXPECT_EQ(second.exitCode, 111);
  EXPECT_EQ(box.toolCalls().size(), 2u); // the first run's scan and flash
  EXPECT_EQ(box.readFile(box.workDir() + "/busscan.out"), report1);

  // Ended as a crash or Task Manager ends it: cmd.exe and the tool live on.
  ASSERT_TRUE(TerminateProcess(processOf(first), 0xC000013AUL));
  ASSERT_EQ(WaitForSingleObject(processOf(first), 10000), WAIT_OBJECT_0);
  RunResult third = run();
  EXPECT_EQ(third.out, banner + locked);
  EXPECT_EQ(third.exitCode, 111);

  box.writeFile(box.dir() + "/release", "");
  EXPECT_EQ(box.finish(first).exitCode, -1); // after its tool has ended
  box.setFlashStatus("0");
  RunResult fourth = run();
  EXPECT_EQ(fourth.exitCode, 0);
  EXPECT_EQ(box.toolCalls().size(), 4u);
}

// cmd.exe would run a vxtool.bat from the working directory before the
// tool on PATH, unless its environment holds this variable: the scan and
// the flash both run with it. (wine's cmd.exe ignores it.)
TEST_F(Driver, ToolCommandsKeepTheWorkingDirectoryOutOfTheSearch) {
  ASSERT_EQ(std::getenv("NoDefaultCurrentDirectoryInExePath"), nullptr);
  box.setScanReport(report1);
  RunResult r = run();
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(box.readFile(box.dir() + "/tool.env"), "1\n1\n");
}

} // namespace
