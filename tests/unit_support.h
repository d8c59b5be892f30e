// Unit test support: a private current directory, a scripted tool behind
// the runner seam, and captured standard output.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

// Each test runs in a fresh, empty current directory, removed afterwards,
// with trace mode off, the scripted tool behind the seam and audit records
// dropped.
class UnitTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

private:
  std::string oldDir_;
  std::string dir_;
};

// The scripted tool: records every command; each run first writes the
// scan report (a scan, when one is set), then performs the scripted action
// (if any), then returns the next scripted status (0 once the script runs
// out).
struct ScriptedTool {
  std::vector<std::string> commands;
  std::deque<int> statuses;
  std::function<void()> action;
  std::optional<std::string> report;
};
extern ScriptedTool scriptedTool;

void writeFile(const std::string &name, const std::string &bytes);
// Sets the scan report that the scripted tool writes when it scans, and
// writes it now, for readers called without a scan.
void writeReport(const std::string &bytes);

// Runs body and returns what it wrote to standard output.
std::string captureOutput(const std::function<void()> &body);

// Runs the whole program in this process, as its entry point would with
// args after the program's name, typed as they are here; returns the exit
// code.
int runInProcess(const std::vector<std::string> &args);
