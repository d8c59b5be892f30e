#include <cstdint>
#include <cstdio>

#include "sim.h"

namespace {

const char imageMagic[] = "VEXO3-IMAGE";
const char dataMarker[] = "data";
constexpr std::size_t bytesPerLine = 32;

// The header keys, in the order they are written, with their bounds.
struct HeaderKey {
  const char *name;
  unsigned long min;
  unsigned long max;
};
constexpr HeaderKey headerKeys[] = {
    {"silicon", 0, 0xFFFF},     {"slot", 1, 2}, {"level", 0, 0xFF}, {"size", 1, maxPayloadSize},
    {"crc32", 0, 0xFFFFFFFFul},
};
constexpr std::size_t keyCount = sizeof headerKeys / sizeof headerKeys[0];

// Takes the next line off text, without its newline or a CR before it.
std::string_view nextLine(std::string_view &text) {
  std::size_t end = text.find('\n');
  std::string_view line = text.substr(0, end);
  text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  if (!line.empty() && line.back() == '\r')
    line.remove_suffix(1);
  return line;
}

bool fail(std::string &why, int lineNo, const std::string &message) {
  why = "line " + std::to_string(lineNo) + ": " + message;
  return false;
}

// Appends the bytes of one payload line; spaces and tabs may separate them.
bool parseDataLine(std::string_view line, int lineNo, std::vector<unsigned char> &payload,
                   std::string &why) {
  int high = -1;
  for (char c : line) {
    if (c == ' ' || c == '\t')
      continue;
    int digit = hexDigit(c);
    if (digit < 0)
      return fail(why, lineNo, "payload is not hexadecimal");
    if (high < 0) {
      high = digit;
      continue;
    }
    if (payload.size() >= maxPayloadSize)
      return fail(why, lineNo, "payload is longer than its size");
    payload.push_back(static_cast<unsigned char>(high * 16 + digit));
    high = -1;
  }
  if (high >= 0)
    return fail(why, lineNo, "odd number of hex digits");
  return true;
}

} // namespace

unsigned long crc32(const std::vector<unsigned char> &bytes) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char byte : bytes) {
    crc ^= byte;
    for (int bit = 0; bit < 8; bit++)
      crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

bool parseImage(std::string_view text, Image &image, std::string &why) {
  int lineNo = 1;
  if (nextLine(text) != imageMagic)
    return fail(why, lineNo, std::string("not a Vexo3 image (no ") + imageMagic + " line)");

  unsigned long values[keyCount] = {};
  bool seen[keyCount] = {};
  bool inData = false;
  while (!text.empty() && !inData) {
    std::string_view line = nextLine(text);
    lineNo++;
    if (line == dataMarker) {
      inData = true;
      continue;
    }
    if (line.empty() || line[0] == '#')
      continue;
    std::string_view key, value;
    if (!splitSetting(line, key, value))
      return fail(why, lineNo, "expected key = value");
    std::size_t k = 0;
    while (k < keyCount && key != headerKeys[k].name)
      k++;
    if (k == keyCount)
      return fail(why, lineNo, "unknown key '" + std::string(key) + "'");
    if (seen[k])
      return fail(why, lineNo, "'" + std::string(key) + "' given twice");
    if (!parseNumber(value, headerKeys[k].max, values[k]) || values[k] < headerKeys[k].min)
      return fail(why, lineNo, "bad " + std::string(key) + " '" + std::string(value) + "'");
    seen[k] = true;
  }
  for (std::size_t k = 0; k < keyCount; k++)
    if (!seen[k])
      return fail(why, lineNo, std::string("no ") + headerKeys[k].name + " in the header");
  if (!inData)
    return fail(why, lineNo, std::string("no '") + dataMarker + "' line");

  std::vector<unsigned char> payload;
  while (!text.empty()) {
    lineNo++;
    if (!parseDataLine(nextLine(text), lineNo, payload, why))
      return false;
  }
  if (payload.size() != values[3])
    return fail(why, lineNo,
                "payload has " + std::to_string(payload.size()) + " bytes, size says " +
                    std::to_string(values[3]));
  if (crc32(payload) != values[4])
    return fail(why, lineNo, "payload does not match its crc32");

  image.silicon = values[0];
  image.slot = static_cast<int>(values[1]);
  image.level = values[2];
  image.payload = std::move(payload);
  return true;
}

std::string formatImage(const Image &image) {
  char crc[16];
  std::snprintf(crc, sizeof crc, "0x%08lX", crc32(image.payload));
  std::string text = std::string(imageMagic) + "\n";
  text += "silicon = " + hexWord(image.silicon) + "\n";
  text += "slot = " + std::to_string(image.slot) + "\n";
  text += "level = " + hexByte(image.level) + "\n";
  text += "size = " + std::to_string(image.payload.size()) + "\n";
  text += std::string("crc32 = ") + crc + "\n";
  text += std::string(dataMarker) + "\n";
  for (std::size_t i = 0; i < image.payload.size(); i++) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02x", image.payload[i]);
    text += pair;
    if ((i + 1) % bytesPerLine == 0 || i + 1 == image.payload.size())
      text += "\n";
  }
  return text;
}

std::vector<unsigned char> makePayload(unsigned long silicon, int slot, unsigned long level) {
  // Any bytes will do, as long as the same image comes out each time.
  std::uint32_t x = static_cast<std::uint32_t>((silicon << 16) ^ (slot << 8) ^ level) | 1u;
  std::vector<unsigned char> payload(256);
  for (unsigned char &byte : payload) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    byte = static_cast<unsigned char>(x >> 24);
  }
  return payload;
}

std::string makeImageText(unsigned long silicon, int slot, unsigned long level) {
  Image image;
  image.silicon = silicon;
  image.slot = slot;
  image.level = level;
  image.payload = makePayload(silicon, slot, level);
  return formatImage(image);
}
