// End-to-end support: runs the built vexoflash as an operator would, in a
// fresh directory, with a fake vxtool first on PATH; and, for every test,
// what differs between the platforms. One interface, one implementation
// per platform (e2e_support-posix.cpp: a shell script as the fake tool,
// fork and exec; e2e_support-win32.cpp: a small compiled fake tool,
// CreateProcess).
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "expected.h"

struct RunResult {
  std::string out; // standard output, byte for byte, as read from a pipe
                   // (on Windows, where it is in text mode, with each CR LF
                   // read back as LF; the bytes as written stay in
                   // dir()/stdout)
  std::string err; // standard error (the shell's, never vexoflash's)
  int exitCode;    // -1 when vexoflash itself was ended by a signal (on
                   // Windows: ended with an NTSTATUS code)
};

// A run started and not yet finished: vexoflash's process, the leader of a
// process group of its own (signal -pid to reach its tool commands too),
// and the pipe its standard output goes into. On Windows, pid holds the
// process handle (handles fit in 32 bits) and out a C runtime descriptor.
struct Running {
  int pid;
  int out;
};

// A private directory: bin/ (put first on PATH), work/ (the current
// directory of the run) and the fake tool's script files, removed on
// destruction.
class Sandbox {
public:
  Sandbox();
  ~Sandbox();
  Sandbox(const Sandbox &) = delete;
  Sandbox &operator=(const Sandbox &) = delete;

  const std::string &dir() const {
    return dir_;
  }
  std::string binDir() const {
    return dir_ + "/bin";
  }
  std::string workDir() const {
    return dir_ + "/work";
  }

  // Installs the fake tool as bin/vxtool. Each call records its arguments
  // (see toolCalls); a scan (two arguments) writes the scan report set
  // here, then runs the scan script, then exits with the scan status; a
  // flash (any other form) does the same with the flash settings. A status
  // of "kill" makes the tool kill itself with SIGKILL (on Windows: end
  // with the NTSTATUS code of Ctrl+C, 0xC000013A); "hold" makes it create
  // <part>.started in dir() and wait, up to ten seconds, for dir()/release.
  // Scripts are POSIX shell text, run only where there is one. On Windows
  // each call also adds a line to dir()/tool.env: the value of
  // NoDefaultCurrentDirectoryInExePath in its environment, or "unset".
  void installFakeTool() const;
  void setScanReport(const std::string &bytes);
  void setScanStatus(const std::string &status);
  void setScanScript(const std::string &shell);
  void setFlashStatus(const std::string &status);
  void setFlashScript(const std::string &shell);

  // The arguments of every tool call so far, in order.
  std::vector<std::vector<std::string>> toolCalls() const;

  // Runs vexoflash with args in workDir(), PATH = binDir(), then path
  // (the test process's PATH when path is empty), its standard output a
  // pipe, as in a log. On Windows the command line is wide, as a console
  // gives it: an argument that is valid UTF-8 goes as UTF-8, any other as
  // bytes of the ANSI code page.
  RunResult run(const std::vector<std::string> &args, const std::string &path = "") const;
  // Runs another program the same way (the simulated tool by hand).
  RunResult runProgram(const std::string &program, const std::vector<std::string> &args) const;
  // The same in two steps: finish reads the output until every process
  // holding the pipe has ended, then waits for vexoflash.
  Running start(const std::vector<std::string> &args, const std::string &path = "") const {
    return startProgram(program_, args, path);
  }
  Running startProgram(const std::string &program, const std::vector<std::string> &args,
                       const std::string &path = "") const;
  RunResult finish(Running running) const;

  // From now on, runs start with SIGCHLD ignored, as some supervisors
  // start their children.
  void ignoreSigchld() {
    ignoreSigchld_ = true;
  }
  // A run made as root sees runDir() as /run, in a mount namespace of its
  // own: the host lock is the sandbox's. From now on, runs share other's.
  std::string runDir() const {
    return runDir_;
  }
  void shareHostWith(const Sandbox &other) {
    runDir_ = other.runDir_;
  }
  // True once path exists, false after about ten seconds.
  bool waitFor(const std::string &path) const;

  // From now on, runs are made as an ordinary user: as root, the run drops
  // to user and group id (nobody's 65534, or daemon's 1), with a copy of
  // vexoflash in the sandbox, the sandbox open to that user and the working
  // directory its own, so that file permissions
  // hold for it as they do for an operator who is not root. False when
  // that user could not reach the sandbox (a private TMPDIR), and on
  // Windows.
  bool runUnprivileged(unsigned id = 65534);

  void writeFile(const std::string &path, const std::string &bytes) const;
  std::string readFile(const std::string &path) const;
  // The file as a text-mode read gives it on Windows, CR LF as LF: for
  // files the simulated tool writes in text mode.
  std::string readText(const std::string &path) const;
  bool exists(const std::string &path) const;

private:
  std::string dir_;
  std::string program_ = VEXOFLASH_PATH;
  std::string runDir_;
  unsigned runAs_ = 0;
  bool ignoreSigchld_ = false;
};

// What differs between the platforms the tests run on.
//
// True on a POSIX system: the tool commands run through a POSIX shell (the
// fake tool runs the scan and flash scripts, arguments are single-quoted)
// and a test can make symbolic links. Tests that need it skip on Windows.
bool posixSystem();
// The separator of the directories in PATH.
extern const char pathListSeparator;
// The interpreter's own line about a tool that died by signal N (dash's
// "Killed" for 9, "Terminated" for 15); cmd.exe says nothing.
const char *shellNotice(int signal);
// True when vexoflash must refuse the argument because the platform's
// shell cannot be given it safely (on Windows: ", %, ! or a control byte).
bool argumentRefused(const std::string &argument);
// What stays at the end of a report line that ended in CR LF: the CR
// where text mode keeps it (POSIX), nothing on Windows.
const char *keptCarriageReturn();
// True where a Ctrl+Z byte ends a text-mode read (the Windows C runtime).
bool textEndsAtCtrlZ();
// Sets an environment variable of this process, which runs inherit;
// nullptr removes it.
void setEnvironment(const char *name, const char *value);

using Args = std::vector<std::string>;

// The end-to-end tests' fixture: a sandbox with the fake tool installed.
class EndToEnd : public ::testing::Test {
protected:
  void SetUp() override {
    box.installFakeTool();
  }
  // A run with the device at 0x50, fw-1.bin and fw-2.bin.
  RunResult run(const Args &args = {"0x50", "fw-1.bin", "fw-2.bin"}) const {
    return box.run(args);
  }
  // A run refused before any tool command: the banner, then message, and
  // the exit code 111.
  void expectRefused(const RunResult &r, const std::string &message) const {
    EXPECT_EQ(r.out, expected::banner + message);
    EXPECT_EQ(r.exitCode, 111);
    EXPECT_TRUE(box.toolCalls().empty());
  }
  Sandbox box;
};
