// A stand-in for vxtool that does no device work: a scan prints a minimal
// report naming image 1, a flash ("-f") succeeds at once. Used to time a
// whole run against the cost of its two shell commands.
#include <cstdio>
#include <cstring>

int main(int argc, char **argv) {
  for (int i = 1; i < argc; i++)
    if (std::strcmp(argv[i], "-f") == 0)
      return 0;
  return std::fputs("Reserved bytes  = 0x01\nFirmware level  = 0x62\n", stdout) == EOF ? 1 : 0;
}
