#include "e2e_support.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

const std::string banner = "\n"
                           "************************************************************\n"
                           "   Tarnell Vexo3 Update Utility for use with QEL hardware   \n"
                           "       Version 1.6 Build 1.51 - Release Date 4/25/14        \n"
                           "************************************************************\n"
                           "\n";

namespace {

// The fake tool. Arguments are recorded NUL-terminated, one file per call,
// so that any byte but NUL survives.
const char fakeTool[] = R"(#!/bin/sh
box=$(dirname "$0")/..
n=0
while [ -e "$box/call.$n" ]; do n=$((n + 1)); done
for arg in "$@"; do printf '%s\000' "$arg"; done > "$box/call.$n"
if [ $# -eq 2 ]; then part=scan; else part=flash; fi
if [ -e "$box/$part.report" ]; then cat "$box/$part.report"; fi
if [ -e "$box/$part.script" ]; then . "$box/$part.script"; fi
status=0
if [ -e "$box/$part.status" ]; then status=$(cat "$box/$part.status"); fi
if [ "$status" = kill ]; then kill -KILL $$; fi
exit "$status"
)";

} // namespace

Sandbox::Sandbox() {
  std::string pattern = std::filesystem::temp_directory_path() / "vexoflash-e2e-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr)
    throw std::runtime_error("mkdtemp failed");
  dir_ = pattern;
  std::filesystem::create_directory(binDir());
  std::filesystem::create_directory(workDir());
}

Sandbox::~Sandbox() {
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

void Sandbox::writeFile(const std::string &path, const std::string &bytes) const {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!f)
    throw std::runtime_error("cannot write " + path);
}

std::string Sandbox::readFile(const std::string &path) const {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

bool Sandbox::exists(const std::string &path) const {
  return std::filesystem::exists(path);
}

void Sandbox::installFakeTool() const {
  std::string path = binDir() + "/vxtool";
  writeFile(path, fakeTool);
  namespace fs = std::filesystem;
  fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                            fs::perms::others_read | fs::perms::others_exec);
}

void Sandbox::setScanReport(const std::string &bytes) {
  writeFile(dir_ + "/scan.report", bytes);
}
void Sandbox::setScanStatus(const std::string &status) {
  writeFile(dir_ + "/scan.status", status);
}
void Sandbox::setScanScript(const std::string &shell) {
  writeFile(dir_ + "/scan.script", shell);
}
void Sandbox::setFlashStatus(const std::string &status) {
  writeFile(dir_ + "/flash.status", status);
}
void Sandbox::setFlashScript(const std::string &shell) {
  writeFile(dir_ + "/flash.script", shell);
}

std::vector<std::vector<std::string>> Sandbox::toolCalls() const {
  std::vector<std::vector<std::string>> calls;
  for (int n = 0; exists(dir_ + "/call." + std::to_string(n)); n++) {
    std::string bytes = readFile(dir_ + "/call." + std::to_string(n));
    std::vector<std::string> args;
    std::size_t from = 0;
    for (std::size_t end; (end = bytes.find('\0', from)) != std::string::npos; from = end + 1)
      args.push_back(bytes.substr(from, end - from));
    calls.push_back(args);
  }
  return calls;
}

bool Sandbox::runUnprivileged() {
  namespace fs = std::filesystem;
  if (geteuid() != 0)
    return true;
  for (fs::path p = fs::path(dir_).parent_path(); p != p.root_path(); p = p.parent_path())
    if ((fs::status(p).permissions() & fs::perms::others_exec) == fs::perms::none)
      return false;
  program_ = dir_ + "/vexoflash";
  fs::copy_file(VEXOFLASH_PATH, program_);
  fs::permissions(program_, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_read |
                                fs::perms::others_exec);
  for (const std::string &d : {dir_, binDir(), workDir()})
    fs::permissions(d, fs::perms::all);
  dropRoot_ = true;
  return true;
}

RunResult Sandbox::run(const std::vector<std::string> &args, const std::string &path) const {
  return finish(start(args, path));
}

Running Sandbox::start(const std::vector<std::string> &args, const std::string &path) const {
  std::string errPath = dir_ + "/stderr";
  std::string pathVar = binDir() + ":" + (path.empty() ? std::getenv("PATH") : path);

  std::vector<std::string> argStrings{program_};
  argStrings.insert(argStrings.end(), args.begin(), args.end());
  std::vector<char *> argv;
  argv.reserve(argStrings.size() + 1);
  for (auto &a : argStrings)
    argv.push_back(a.data());
  argv.push_back(nullptr);

  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe failed");
  pid_t pid = fork();
  if (pid < 0)
    throw std::runtime_error("fork failed");
  if (pid == 0) {
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (err < 0 || dup2(pipeFds[1], 1) < 0 || dup2(err, 2) < 0 || setpgid(0, 0) != 0 ||
        chdir(workDir().c_str()) != 0 || setenv("PATH", pathVar.c_str(), 1) != 0)
      _exit(250);
    if (ignoreSigchld_ && signal(SIGCHLD, SIG_IGN) == SIG_ERR)
      _exit(253);
    if (dropRoot_ && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
      _exit(252);
    execv(argv[0], argv.data());
    _exit(251);
  }
  close(pipeFds[1]);
  return Running{pid, pipeFds[0]};
}

RunResult Sandbox::finish(Running running) const {
  RunResult result;
  char buffer[4096];
  for (;;) {
    ssize_t got = read(running.out, buffer, sizeof buffer);
    if (got > 0)
      result.out.append(buffer, static_cast<std::size_t>(got));
    else if (got == 0 || errno != EINTR)
      break;
  }
  close(running.out);
  int status = 0;
  while (waitpid(running.pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.err = readFile(dir_ + "/stderr");
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

bool Sandbox::waitFor(const std::string &path) const {
  for (int i = 0; i < 1000; i++) {
    if (exists(path))
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}
