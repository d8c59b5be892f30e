// End-to-end support on POSIX systems: the fake tool is a shell script,
// and vexoflash runs through fork and exec.
#include "e2e_support.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

const char pathListSeparator = ':';

const char *shellNotice(int signal) {
  return signal == 9 ? "Killed\n" : signal == 15 ? "Terminated\n" : "";
}

bool argumentRefused(const std::string & /*argument*/) {
  return false; // single quotes take every byte literally
}

bool posixSystem() {
  return true;
}

bool textEndsAtCtrlZ() {
  return false;
}

const char *keptCarriageReturn() {
  return "\r";
}

void setEnvironment(const char *name, const char *value) {
  if (value != nullptr)
    setenv(name, value, 1);
  else
    unsetenv(name);
}

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
if [ "$status" = hold ]; then
  : > "$box/$part.started"
  n=0; while [ ! -e "$box/release" ] && [ $n -lt 1000 ]; do sleep 0.01; n=$((n + 1)); done
  status=0
fi
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
  std::filesystem::create_directory(runDir_ = dir_ + "/run");
}

void Sandbox::installFakeTool() const {
  std::string path = binDir() + "/vxtool";
  writeFile(path, fakeTool);
  namespace fs = std::filesystem;
  fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                            fs::perms::others_read | fs::perms::others_exec);
}

bool Sandbox::runUnprivileged(unsigned id) {
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
  for (const std::string &d : {dir_, binDir()})
    fs::permissions(d, fs::perms::all);
  // The operator's own working directory, which only they may write.
  if (chown(workDir().c_str(), id, id) != 0)
    return false;
  runAs_ = id;
  return true;
}

Running Sandbox::startProgram(const std::string &program, const std::vector<std::string> &args,
                              const std::string &path) const {
  std::string errPath = dir_ + "/stderr";
  std::string pathVar = binDir() + pathListSeparator + (path.empty() ? std::getenv("PATH") : path);

  std::vector<std::string> argStrings{program};
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
    // As root, a /run of the sandbox's own, in a mount namespace of the
    // run's own: runs of tests in parallel never share the host lock.
    // Where no namespace can be made, runs share the host's /run.
    if (geteuid() == 0 && unshare(CLONE_NEWNS) == 0 &&
        (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
         mount(runDir_.c_str(), "/run", nullptr, MS_BIND, nullptr) != 0))
      _exit(249);
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (err < 0 || dup2(pipeFds[1], 1) < 0 || dup2(err, 2) < 0 || setpgid(0, 0) != 0 ||
        chdir(workDir().c_str()) != 0 || setenv("PATH", pathVar.c_str(), 1) != 0)
      _exit(250);
    if (ignoreSigchld_ && signal(SIGCHLD, SIG_IGN) == SIG_ERR)
      _exit(253);
    if (runAs_ != 0 && (setgroups(0, nullptr) != 0 || setgid(runAs_) != 0 || setuid(runAs_) != 0))
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
