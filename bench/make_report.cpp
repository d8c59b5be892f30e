// Writes a scan report of about SIZE_MB megabytes whose image and level
// lines come last, after filler lines of mixed length (some longer than a
// 255-character read, some holding parts of the keys).
//   make_report SIZE_MB FILE
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char **argv) {
  if (argc != 3) {
    (void)std::fprintf(stderr, "usage: make_report SIZE_MB FILE\n");
    return 2;
  }
  long target = std::strtol(argv[1], nullptr, 10) * 1024L * 1024L;
  std::FILE *out = std::fopen(argv[2], "w");
  if (out == nullptr)
    return 1;
  const std::string fillers[] = {
      "Register 0x0040  = 0x1f",
      "  Bus 3 device 0x50 answered in 112 us; retries = 0, checksum = 0x7a31",
      "Reserved bits   = 0x00",
      "Firmware  level = unknown (probe)",
      "",
      "Vendor string   = " + std::string(300, 'V'),
      "Page 12: 00 11 22 33 44 55 66 77 88 99 aa bb cc dd ee ff 00 11 22 33 44 55 66 77",
  };
  long written = 0;
  for (unsigned i = 0; written < target; i++) {
    const std::string &line = fillers[(i * 7 + i / 3) % 7];
    (void)std::fputs(line.c_str(), out);
    (void)std::fputc('\n', out);
    written += static_cast<long>(line.size()) + 1;
  }
  (void)std::fputs("Reserved bytes  = 0x01\nFirmware level  = 0x62\n", out);
  bool failed = std::ferror(out) != 0;
  return std::fclose(out) == 0 && !failed ? 0 : 1;
}
