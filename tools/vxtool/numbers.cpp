#include <cstdio>

#include "sim.h"

int hexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

bool parseNumber(std::string_view text, unsigned long max, unsigned long &value) {
  bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  if (hex)
    text.remove_prefix(2);
  // At most 8 hex or 10 decimal digits: no overflow on 64-bit long.
  if (text.empty() || text.size() > (hex ? 8u : 10u))
    return false;
  unsigned long n = 0;
  for (char c : text) {
    int digit = hex ? hexDigit(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
    if (digit < 0)
      return false;
    n = n * (hex ? 16 : 10) + static_cast<unsigned long>(digit);
  }
  if (n > max)
    return false;
  value = n;
  return true;
}

std::string hexByte(unsigned long value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%02lX", value & 0xFFu);
  return text;
}

std::string hexWord(unsigned long value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%04lX", value & 0xFFFFu);
  return text;
}
