#include "unit_support.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

#include "app/audit.h"
#include "app/driver.h"
#include "common/common.h"
#include "common/run.h"
#include "common/workdir.h"
#include "e2e_support.h"

ScriptedTool scriptedTool;

namespace {

int runScripted(const char *command) {
  scriptedTool.commands.emplace_back(command);
  if (scriptedTool.report && std::strstr(command, "> busscan.out") != nullptr)
    writeFile(scanReportName, *scriptedTool.report);
  if (scriptedTool.action)
    scriptedTool.action();
  if (scriptedTool.statuses.empty())
    return 0;
  int status = scriptedTool.statuses.front();
  scriptedTool.statuses.pop_front();
  return status;
}

void dropRecord(AuditSeverity /*severity*/, const std::string & /*text*/) {}

} // namespace

void UnitTest::SetUp() {
  namespace fs = std::filesystem;
  oldDir_ = fs::current_path().string();
  std::random_device random;
  fs::path dir;
  do
    dir = fs::temp_directory_path() / ("vexoflash-unit-" + std::to_string(random()));
  while (!fs::create_directory(dir));
  dir_ = dir.string();
  fs::current_path(dir);
  // Tests run in parallel must not wait for one another: a host lock of
  // each test's own (a file in its directory; a mutex name on Windows).
  static std::string hostLock;
  hostLock = dir.filename().string() + ".lock";
  hostLockName = hostLock.c_str();
  setEnvironment("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent"); // not this machine's bus
  traceMode = false;
  scriptedTool = ScriptedTool{};
  toolRunner = runScripted;
  auditWriter = dropRecord;
}

void UnitTest::TearDown() {
  toolRunner = runWithShell;
  auditWriter = writeToSystemLog;
  traceMode = false;
  std::filesystem::current_path(oldDir_);
  std::filesystem::remove_all(dir_);
}

void writeFile(const std::string &name, const std::string &bytes) {
  std::FILE *f = std::fopen(name.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
  std::fclose(f);
}

void writeReport(const std::string &bytes) {
  scriptedTool.report = bytes;
  writeFile(scanReportName, bytes);
}

std::string captureOutput(const std::function<void()> &body) {
  ::testing::internal::CaptureStdout();
  body();
  std::fflush(stdout);
  return ::testing::internal::GetCapturedStdout();
}

int runInProcess(const std::vector<std::string> &args) {
  std::vector<std::string> strings{"vexoflash"};
  strings.insert(strings.end(), args.begin(), args.end());
  std::vector<char *> argv;
  argv.reserve(strings.size() + 1);
  for (std::string &s : strings)
    argv.push_back(s.data());
  argv.push_back(nullptr);
  return runVexoflash(static_cast<int>(strings.size()), argv.data(), argv.data());
}
