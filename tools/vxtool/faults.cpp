#include <cstdlib>
#include <thread>

#include "sim.h"

namespace {

// Long enough for anything tried by hand; keeps the milliseconds in range.
constexpr unsigned long maxDelaySeconds = 3600;

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

// Decimal seconds with an optional fraction ("2", "0.5", ".25"), into
// milliseconds; digits past the third decimal are dropped. No sign,
// exponent or spaces.
bool parseSeconds(std::string_view text, unsigned long &milliseconds) {
  unsigned long seconds = 0, fraction = 0, scale = 1000;
  bool digits = false, point = false;
  for (char c : text) {
    if (c == '.' && !point) {
      point = true;
      continue;
    }
    if (c < '0' || c > '9')
      return false;
    auto digit = static_cast<unsigned long>(c - '0');
    digits = true;
    if (!point) {
      seconds = seconds * 10 + digit;
      if (seconds > maxDelaySeconds)
        return false;
    } else if (scale > 1) {
      scale /= 10;
      fraction += digit * scale;
    }
  }
  if (!digits || seconds * 1000 + fraction > maxDelaySeconds * 1000)
    return false;
  milliseconds = seconds * 1000 + fraction;
  return true;
}

} // namespace

bool readFaults(Faults &faults, std::string &why) {
  const char *absent = std::getenv("VXTOOL_SIM_ABSENT");
  faults.absent = absent != nullptr && *absent != '\0' && std::string_view(absent) != "0";
  const char *delay = std::getenv("VXTOOL_SIM_DELAY");
  if (delay != nullptr && *delay != '\0' && !parseSeconds(delay, faults.delay)) {
    why = std::string("VXTOOL_SIM_DELAY='") + delay + "': expected seconds from 0 to " +
          std::to_string(maxDelaySeconds) + ", such as 0.5";
    return false;
  }
  return readNumber("VXTOOL_SIM_STATUS", 0, 255, faults.flashStatus, why) &&
         readNumber("VXTOOL_SIM_SIGNAL", 1, 64, faults.flashSignal, why);
}

void Pace::until(unsigned long part, unsigned long parts) const {
  std::this_thread::sleep_until(start_ + std::chrono::milliseconds(delay_ * part / parts));
}
