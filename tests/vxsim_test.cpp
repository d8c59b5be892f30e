// The simulated vxtool's parsers: image files, the device state file and
// numbers. A parser that accepts a bad file would let the simulated device
// "write" what the real one refuses.
#include <gtest/gtest.h>

#include <string>

#include "sim.h"

namespace {

std::string sampleText(int slot, unsigned long level, unsigned long silicon = 0x3A41) {
  return makeImageText(silicon, slot, level);
}

std::string replaced(std::string text, const std::string &from, const std::string &to) {
  std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos)
    text.replace(at, from.size(), to);
  return text;
}

TEST(SimNumber, ParsesHexAndDecimalWithinBounds) {
  struct Case {
    const char *text;
    unsigned long max;
    bool ok;
    unsigned long value;
  };
  const Case cases[] = {
      {"0x50", 0x7F, true, 0x50},
      {"80", 0x7F, true, 80},
      {"0X7f", 0x7F, true, 0x7F},
      {"0x80", 0x7F, false, 0},
      {"0x", 0xFF, false, 0},
      {"", 0xFF, false, 0},
      {"-1", 0xFF, false, 0},
      {" 1", 0xFF, false, 0},
      {"1 ", 0xFF, false, 0},
      {"0x5g", 0xFF, false, 0},
      {"0x+5", 0xFF, false, 0},
      {"0x0x5", 0xFF, false, 0},
      {"+5", 0xFF, false, 0},
      {"0x000000000050", 0x7F, true, 0x50},
      {"0x123456789", 0xFFFFFFFFul, false, 0},
      {"4294967296", 0xFFFFFFFFul, false, 0},
      {"4294967295", 0xFFFFFFFFul, true, 0xFFFFFFFFul},
      {"0x10000000000000000", ~0ul, false, 0},
      {"99999999999999999999", ~0ul, false, 0},
      {"0xFFFFFFFF", ~0ul, true, 0xFFFFFFFFul},
  };
  for (const Case &c : cases) {
    unsigned long value = 12345;
    EXPECT_EQ(parseNumber(c.text, c.max, value), c.ok) << "'" << c.text << "'";
    EXPECT_EQ(value, c.ok ? c.value : 12345) << "'" << c.text << "'";
  }
}

TEST(SimImage, MadeImagesReadBack) {
  for (int slot : {1, 2}) {
    Image image;
    std::string why;
    ASSERT_TRUE(parseImage(sampleText(slot, 0x63, 0x1234), image, why)) << why;
    EXPECT_EQ(image.slot, slot);
    EXPECT_EQ(image.level, 0x63u);
    EXPECT_EQ(image.silicon, 0x1234u);
    EXPECT_EQ(image.payload, makePayload(0x1234, slot, 0x63));
  }
}

TEST(SimImage, SamplesMatchTheirSlotsAndTheFreshDevice) {
  for (int slot : {1, 2}) {
    std::string path = std::string(VXSIM_IMAGES) + "/vexo3-image" + std::to_string(slot) + ".vx3";
    std::string text, why;
    bool missing = false;
    ASSERT_TRUE(readSmallFile(path, text, why, missing)) << why;
    Image image;
    ASSERT_TRUE(parseImage(text, image, why)) << path << ": " << why;
    EXPECT_EQ(image.slot, slot);
    EXPECT_EQ(image.level, 0x62u);
    EXPECT_EQ(image.silicon, Device().silicon);
  }
}

TEST(SimImage, AcceptsCommentsBlankLinesCrLfAndSpacedHex) {
  std::string text = sampleText(1, 0x62);
  const std::string variants[] = {
      replaced(text, "slot", "# built by hand\n\nslot"),
      replaced(text, "level = 0x62", "level=0x62"),
      [&] {
        std::string crlf;
        for (char c : text)
          crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
        return crlf;
      }(),
      replaced(text, "data\n57", "data\n\n57 "),
  };
  for (const std::string &variant : variants) {
    Image image;
    std::string why;
    EXPECT_TRUE(parseImage(variant, image, why)) << why << "\n" << variant;
  }
}

TEST(SimImage, RefusesMalformedFiles) {
  std::string good = sampleText(2, 0x62);
  struct Case {
    std::string text;
    const char *why;
  };
  const Case cases[] = {
      {"", "not a Vexo3 image"},
      {replaced(good, "VEXO3-IMAGE", "VEXO3-IMAGE 2"), "not a Vexo3 image"},
      {replaced(good, "level = 0x62\n", ""), "no level"},
      {replaced(good, "level = 0x62\n", "level = 0x62\nlevel = 0x63\n"), "given twice"},
      {replaced(good, "slot = 2", "slot = 3"), "bad slot"},
      {replaced(good, "slot = 2", "slot = 0"), "bad slot"},
      {replaced(good, "level = 0x62", "level = 0x100"), "bad level"},
      {replaced(good, "level = 0x62", "level = 0x62 beta"), "bad level"},
      {replaced(good, "silicon", "chip"), "unknown key"},
      {replaced(good, "size = 256", "size 256"), "key = value"},
      {replaced(good, "size = 256", "size = 0"), "bad size"},
      {replaced(good, "data\n", "payload\n"), "expected key = value"},
      {good.substr(0, good.find("data\n")), "no 'data' line"},
      {replaced(good, "size = 256", "size = 255"), "payload has 256 bytes"},
      {good + "00\n", "payload has 257 bytes"},
      {replaced(good, "data\n", "data\nzz"), "not hexadecimal"},
      {replaced(good, "data\n", "data\n0"), "odd number"},
      {replaced(good, "crc32 = 0x", "crc32 = 0x1"), "crc32"},
  };
  for (const Case &c : cases) {
    Image image;
    std::string why;
    EXPECT_FALSE(parseImage(c.text, image, why)) << c.text;
    EXPECT_NE(why.find(c.why), std::string::npos) << "got: " << why << "\nwant: " << c.why;
  }
}

TEST(SimImage, CrcOfKnownText) {
  // The usual CRC-32 check value, so other tools can check our images.
  std::string check = "123456789";
  EXPECT_EQ(crc32(std::vector<unsigned char>(check.begin(), check.end())), 0xCBF43926u);
}

TEST(SimState, StateFileReadsBackAndKeepsDefaults) {
  Device device;
  device.address = 0x21;
  device.silicon = 0xBEEF;
  device.running = 2;
  device.pending = 1;
  device.levels = {0x5F, 0x62};
  Device back;
  std::string why;
  ASSERT_TRUE(parseDevice(formatDevice(device), back, why)) << why;
  EXPECT_EQ(back.address, 0x21u);
  EXPECT_EQ(back.silicon, 0xBEEFu);
  EXPECT_EQ(back.running, 2);
  EXPECT_EQ(back.pending, 1);
  EXPECT_EQ(back.levels, device.levels);

  // A hand edit may name only what it changes; the rest is a fresh device.
  ASSERT_TRUE(parseDevice("# edited\r\nrunning = 2\n\nlevel2=0x61", back, why)) << why;
  EXPECT_EQ(back.address, 0x50u);
  EXPECT_EQ(back.running, 2);
  EXPECT_EQ(back.pending, 0);
  EXPECT_EQ(back.levels[0], 0x60u);
  EXPECT_EQ(back.levels[1], 0x61u);
}

TEST(SimState, RefusesBadStateLines) {
  const char *const bad[] = {
      "running = 3",  "running = 0", "address = 0x80", "level1 = 0x100",
      "colour = 0x1", "running 2",   "silicon = ",     "pending = 3",
  };
  for (const char *text : bad) {
    Device device;
    device.running = 2;
    std::string why;
    EXPECT_FALSE(parseDevice(std::string("address = 0x50\n") + text, device, why)) << text;
    EXPECT_NE(why.find("line 2"), std::string::npos) << why;
    EXPECT_EQ(device.running, 2) << "a refused state must leave the device alone";
  }
}

} // namespace
