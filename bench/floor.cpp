// The floor of a run: nothing but the scan and the flash command that
// vexoflash runs for a device reporting image 1, through std::system.
// Usage: floor ADDRESS IMAGE1 IMAGE2
#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv) {
  if (argc < 4)
    return 111;
  char command[256];
  (void)std::snprintf(command, sizeof command, "vxtool -i2cp %s 2>&1 > busscan.out", argv[1]);
  if (std::system(command) == -1) // NOLINT(cert-env33-c): what is measured
    return 1;
  (void)std::snprintf(command, sizeof command, "vxtool -i2cp %s -q -f %s 2>&1 > flash.out", argv[1],
                      argv[3]);
  return std::system(command) == -1 ? 1 : 0; // NOLINT(cert-env33-c)
}
