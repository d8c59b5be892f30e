// End-to-end support on Windows: the fake tool is a compiled program
// copied into the sandbox, and vexoflash runs through CreateProcessW, with
// a wide command line as a console hands it over.
#include "e2e_support.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <io.h>
#include <random>
#include <windows.h>

namespace fs = std::filesystem;

const char pathListSeparator = ';';

const char *shellNotice(int /*signal*/) {
  return "";
}

bool argumentRefused(const std::string &argument) {
  for (char c : argument)
    if (static_cast<unsigned char>(c) < 0x20 || c == '"' || c == '%' || c == '!')
      return true;
  return false;
}

bool posixSystem() {
  return false;
}

bool textEndsAtCtrlZ() {
  return true;
}

const char *keptCarriageReturn() {
  return "";
}

void setEnvironment(const char *name, const char *value) {
  // _putenv_s keeps the C runtime's copy and the process environment,
  // which CreateProcess hands on, the same; "" removes the variable.
  (void)_putenv_s(name, value != nullptr ? value : "");
}

namespace {

// One argument as the C runtime's command line parsing gives it back:
// quoted when it must be, with the backslashes before a quote doubled.
std::string quoteForCommandLine(const std::string &arg) {
  if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos)
    return arg;
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      backslashes++;
      continue;
    }
    quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(2 * backslashes, '\\');
  return quoted + "\"";
}

// Text as wide characters: valid UTF-8 as UTF-8, so that a test can name
// characters the ANSI code page lacks; any other bytes as the ANSI code
// page's, as CreateProcessA would take them.
std::wstring widen(const std::string &text) {
  auto size = static_cast<int>(text.size());
  UINT codePage =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0) > 0
          ? CP_UTF8
          : CP_ACP;
  std::wstring wide(
      static_cast<std::size_t>(MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0)),
      L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), static_cast<int>(wide.size()));
  return wide;
}

// This process's environment with PATH replaced, as CreateProcess wants
// it: NUL-terminated entries and one more NUL.
std::string environmentWithPath(const std::string &path) {
  std::string block;
  char *strings = GetEnvironmentStringsA();
  for (const char *entry = strings; *entry != '\0'; entry += std::strlen(entry) + 1)
    if (_strnicmp(entry, "PATH=", 5) != 0)
      block.append(entry, std::strlen(entry) + 1);
  FreeEnvironmentStringsA(strings);
  block.append("PATH=").append(path);
  block += '\0';
  block += '\0';
  return block;
}

// Shared for writing too: a run that outlives its test step (the lock
// tests) still holds the previous run's file when the next run opens it.
HANDLE inheritableFile(const std::string &path) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    throw std::runtime_error("cannot open " + path + ": error " + std::to_string(GetLastError()));
  return file;
}

} // namespace

Sandbox::Sandbox() {
  std::random_device random;
  fs::path base = fs::temp_directory_path();
  for (;;) {
    fs::path dir = base / "vexoflash-e2e-";
    dir += std::to_string(random());
    if (fs::create_directory(dir)) {
      dir_ = dir.generic_string();
      break;
    }
  }
  fs::create_directory(binDir());
  fs::create_directory(workDir());
}

void Sandbox::installFakeTool() const {
  fs::copy_file(FAKE_VXTOOL_PATH, binDir() + "/vxtool.exe");
}

// No ordinary user to drop to here: a test that needs one skips.
bool Sandbox::runUnprivileged(unsigned /*id*/) {
  return false;
}

Running Sandbox::startProgram(const std::string &program, const std::vector<std::string> &args,
                              const std::string &path) const {
  std::string searchPath = fs::path(binDir()).make_preferred().string() + pathListSeparator +
                           (path.empty() ? std::getenv("PATH") : path);
  std::wstring commandLine = widen(quoteForCommandLine(program));
  for (const std::string &arg : args)
    commandLine.append(1, L' ').append(widen(quoteForCommandLine(arg)));
  std::string environment = environmentWithPath(searchPath);

  // Standard output into a pipe, as in a log; only its write end is
  // inherited.
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0) ||
      !SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0))
    throw std::runtime_error("CreatePipe failed");
  HANDLE err = inheritableFile(dir_ + "/stderr");
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = writeEnd;
  startup.hStdError = err;
  PROCESS_INFORMATION process{};
  BOOL started =
      CreateProcessW(widen(program).c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                     environment.data(), widen(workDir()).c_str(), &startup, &process);
  DWORD error = started ? 0 : GetLastError();
  CloseHandle(writeEnd);
  CloseHandle(err);
  if (!started)
    throw std::runtime_error("CreateProcess failed for " + program + ": error " +
                             std::to_string(error));
  CloseHandle(process.hThread);
  int out = _open_osfhandle(reinterpret_cast<std::intptr_t>(readEnd), _O_RDONLY | _O_BINARY);
  return Running{static_cast<int>(reinterpret_cast<std::intptr_t>(process.hProcess)), out};
}

RunResult Sandbox::finish(Running running) const {
  RunResult result;
  std::string out;
  char buffer[4096];
  int got = 0;
  while ((got = _read(running.out, buffer, sizeof buffer)) > 0)
    out.append(buffer, static_cast<std::size_t>(got));
  _close(running.out);
  auto process = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(running.pid));
  WaitForSingleObject(process, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  CloseHandle(process);
  writeFile(dir_ + "/stdout", out);
  result.out = readText(dir_ + "/stdout");
  result.err = readText(dir_ + "/stderr");
  result.exitCode = code <= 255 ? static_cast<int>(code) : -1;
  return result;
}
