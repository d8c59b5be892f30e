// A stand-in for vxtool that does no device work: a flash ("-f") succeeds
// at once; a scan prints a report naming image 1, after BENCH_REPORT_MB
// megabytes of filler lines of mixed length (some longer than a
// 255-character line piece, some holding parts of the keys) when that is
// set. Used to time a whole run against the cost of its two shell commands.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool printFiller(long bytes) {
  const std::string fillers[] = {
      "Register 0x0040  = 0x1f",
      "  Bus 3 device 0x50 answered in 112 us; retries = 0, checksum = 0x7a31",
      "Reserved bits   = 0x00",
      "Firmware  level = unknown (probe)",
      "",
      "Vendor string   = " + std::string(300, 'V'),
      "Page 12: 00 11 22 33 44 55 66 77 88 99 aa bb cc dd ee ff 00 11 22 33 44 55 66 77",
  };
  for (unsigned i = 0; bytes > 0; i++) {
    const std::string &line = fillers[(i * 7 + i / 3) % 7];
    if (std::fputs(line.c_str(), stdout) == EOF || std::fputc('\n', stdout) == EOF)
      return false;
    bytes -= static_cast<long>(line.size()) + 1;
  }
  return true;
}

} // namespace

int main(int argc, char **argv) {
  for (int i = 1; i < argc; i++)
    if (std::strcmp(argv[i], "-f") == 0)
      return 0;
  const char *megabytes = std::getenv("BENCH_REPORT_MB");
  if (megabytes != nullptr && !printFiller(std::strtol(megabytes, nullptr, 10) * 1024L * 1024L))
    return 1;
  return std::fputs("Reserved bytes  = 0x01\nFirmware level  = 0x62\n", stdout) == EOF ? 1 : 0;
}
