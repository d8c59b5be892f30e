#include <cstdlib>

#include "sim.h"

namespace {

bool readNumber(const char *name, unsigned long min, unsigned long max, int &value,
                std::string &why) {
  const char *text = std::getenv(name);
  if (text == nullptr || *text == '\0')
    return true;
  unsigned long n = 0;
  if (!parseNumber(text, max, n) || n < min) {
    why = std::string(name) + "='" + text + "': expected a number from " + std::to_string(min) +
          " to " + std::to_string(max);
    return false;
  }
  value = static_cast<int>(n);
  return true;
}

} // namespace

bool readFaults(Faults &faults, std::string &why) {
  const char *absent = std::getenv("VXTOOL_SIM_ABSENT");
  faults.absent = absent != nullptr && *absent != '\0' && std::string_view(absent) != "0";
  return readNumber("VXTOOL_SIM_STATUS", 0, 255, faults.flashStatus, why) &&
         readNumber("VXTOOL_SIM_SIGNAL", 1, 64, faults.flashSignal, why);
}
