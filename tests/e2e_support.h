// End-to-end support: runs the built vexoflash as an operator would, in a
// fresh directory, with a fake vxtool first on PATH.
#pragma once

#include <string>
#include <vector>

struct RunResult {
  std::string out; // standard output, byte for byte, as read from a pipe
  std::string err; // standard error (the shell's, never vexoflash's)
  int exitCode;    // -1 when vexoflash itself was ended by a signal
};

// A run started and not yet finished: vexoflash's process, the leader of a
// process group of its own (signal -pid to reach its tool commands too),
// and the pipe its standard output goes into.
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
  // of "kill" makes the tool kill itself with SIGKILL.
  void installFakeTool() const;
  void setScanReport(const std::string &bytes);
  void setScanStatus(const std::string &status);
  void setScanScript(const std::string &shell);
  void setFlashStatus(const std::string &status);
  void setFlashScript(const std::string &shell);

  // The arguments of every tool call so far, in order.
  std::vector<std::vector<std::string>> toolCalls() const;

  // Runs vexoflash with args in workDir(), PATH = binDir() + ":" + path
  // (the test process's PATH when path is empty), its standard output a
  // pipe, as in a log.
  RunResult run(const std::vector<std::string> &args, const std::string &path = "") const;
  // The same in two steps: finish reads the output until every process
  // holding the pipe has ended, then waits for vexoflash.
  Running start(const std::vector<std::string> &args, const std::string &path = "") const;
  RunResult finish(Running running) const;

  // From now on, runs start with SIGCHLD ignored, as some supervisors
  // start their children.
  void ignoreSigchld() {
    ignoreSigchld_ = true;
  }
  // True once path exists, false after about ten seconds.
  bool waitFor(const std::string &path) const;

  // From now on, runs are made as an ordinary user: as root, the run drops
  // to user and group 65534 (nobody), with a copy of vexoflash in the
  // sandbox and the sandbox open to that user, so that file permissions
  // hold for it as they do for an operator who is not root. False when
  // that user could not reach the sandbox (a private TMPDIR).
  bool runUnprivileged();

  void writeFile(const std::string &path, const std::string &bytes) const;
  std::string readFile(const std::string &path) const;
  bool exists(const std::string &path) const;

private:
  std::string dir_;
  std::string program_ = VEXOFLASH_PATH;
  bool dropRoot_ = false;
  bool ignoreSigchld_ = false;
};

// The banner every run prints first.
extern const std::string banner;
