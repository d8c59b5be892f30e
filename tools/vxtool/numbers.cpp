#include <array>
#include <charconv>
#include <cstdio>
#include <system_error>

#include "sim.h"

int hexDigit(char c) {
  // One character, parsed from a terminated copy: g++ 12 warns of a read
  // past the end when from_chars is handed a lone char.
  const std::array<char, 2> text{c, '\0'};
  const char *last = text.data() + 1;
  int digit = 0;
  auto [end, error] = std::from_chars(text.data(), last, digit, 16);
  return error == std::errc() && end == last ? digit : -1;
}

bool parseNumber(std::string_view text, unsigned long max, unsigned long &value) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  // from_chars takes no sign, prefix or space, and refuses a number too
  // big for unsigned long: the whole text must be digits of the base.
  unsigned long n = 0;
  const char *last = text.data() + text.size();
  auto [end, error] = std::from_chars(text.data(), last, n, base);
  if (error != std::errc() || end != last || n > max)
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
