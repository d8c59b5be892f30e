#include "unit_support.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>

#include "common/common.h"

ScriptedTool scriptedTool;

namespace {

int runScripted(const char *command) {
  scriptedTool.commands.emplace_back(command);
  if (scriptedTool.report && std::strstr(command, scanRedirect) != nullptr)
    writeFile(scanReportName, *scriptedTool.report);
  if (scriptedTool.action)
    scriptedTool.action();
  if (scriptedTool.statuses.empty())
    return 0;
  int status = scriptedTool.statuses.front();
  scriptedTool.statuses.pop_front();
  return status;
}

} // namespace

void UnitTest::SetUp() {
  char cwd[PATH_MAX];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  oldDir_ = cwd;
  std::string pattern = std::filesystem::temp_directory_path() / "vexoflash-unit-XXXXXX";
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  dir_ = pattern;
  ASSERT_EQ(chdir(dir_.c_str()), 0);
  traceMode = false;
  scriptedTool = ScriptedTool{};
  toolRunner = runScripted;
}

void UnitTest::TearDown() {
  toolRunner = runWithShell;
  traceMode = false;
  ASSERT_EQ(chdir(oldDir_.c_str()), 0);
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
