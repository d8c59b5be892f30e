// The fake vxtool of the end-to-end tests on Windows, installed as
// bin\vxtool.exe in a sandbox: it records its arguments as the C runtime
// parsed them, and whether cmd.exe was told to keep the current directory
// out of its search for commands; it writes the report set for the call
// to standard output, byte for byte, and exits with the status set for it.
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <io.h>
#include <sstream>
#include <string>
#include <windows.h>

namespace fs = std::filesystem;

namespace {

std::string readAll(const fs::path &path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

} // namespace

int main(int argc, char **argv) {
  wchar_t self[MAX_PATH];
  DWORD size = GetModuleFileNameW(nullptr, self, MAX_PATH);
  if (size == 0 || size >= MAX_PATH)
    return 98;
  fs::path box = fs::path(self).parent_path().parent_path();

  int n = 0;
  while (fs::exists(box / ("call." + std::to_string(n))))
    n++;
  std::ofstream call(box / ("call." + std::to_string(n)), std::ios::binary);
  for (int i = 1; i < argc; i++)
    call << argv[i] << '\0';
  call.close();
  const char *noCurrentDirectory = std::getenv("NoDefaultCurrentDirectoryInExePath");
  std::ofstream(box / "tool.env", std::ios::binary | std::ios::app)
      << (noCurrentDirectory != nullptr ? noCurrentDirectory : "unset") << '\n';

  std::string part = argc == 3 ? "scan" : "flash";
  if (fs::exists(box / (part + ".script"))) {
    std::fprintf(stderr, "fake vxtool: a %s script needs a POSIX shell\n", part.c_str());
    return 99;
  }
  if (fs::exists(box / (part + ".report"))) {
    std::string report = readAll(box / (part + ".report"));
    (void)_setmode(_fileno(stdout), _O_BINARY);
    std::fwrite(report.data(), 1, report.size(), stdout);
    std::fflush(stdout);
  }
  std::string status = readAll(box / (part + ".status"));
  if (status == "kill")
    TerminateProcess(GetCurrentProcess(), 0xC000013AUL); // as Ctrl+C ends it
  if (status == "hold") {
    std::ofstream(box / (part + ".started")).close();
    for (int i = 0; i < 1000 && !fs::exists(box / "release"); i++)
      Sleep(10);
    return 0;
  }
  return std::atoi(status.c_str());
}
