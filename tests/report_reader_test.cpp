// The block reader that finds a key line must return exactly the line that
// reading the report piece by piece with readReportLine would find first.
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "common/common.h"
#include "query/query.h"

namespace {

const char keyText[] = "Reserved bytes  =";

std::FILE *reportOf(const std::string &bytes) {
  std::FILE *file = std::tmpfile();
  if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size())
    ADD_FAILURE() << "cannot write a temporary report";
  else
    std::rewind(file);
  return file;
}

// The first line that the piece-by-piece reader finds the key in; "" and
// false when none.
bool referenceFind(const std::string &bytes, std::string &line) {
  std::FILE *file = reportOf(bytes);
  char buffer[lineSize] = {};
  bool found = false;
  while (!found && readReportLine(file, buffer, lineSize) != -1)
    found = std::strstr(buffer, keyText) != nullptr;
  line = found ? buffer : "";
  (void)std::fclose(file);
  return found;
}

bool blockFind(const std::string &bytes, std::string &line) {
  std::FILE *file = reportOf(bytes);
  char buffer[lineSize] = {};
  bool found = findReportLine(file, keyText, buffer);
  line = found ? buffer : "";
  (void)std::fclose(file);
  return found;
}

void expectSameAsReference(const std::string &bytes, const std::string &what) {
  std::string expected;
  std::string actual;
  bool expectedFound = referenceFind(bytes, expected);
  EXPECT_EQ(blockFind(bytes, actual), expectedFound) << what;
  EXPECT_EQ(actual, expected) << what;
}

std::string nul(std::size_t count = 1) {
  return std::string(count, '\0');
}

TEST(FindReportLine, MatchesThePieceByPieceReader) {
  const std::string key = keyText;
  const std::string big(70000, 'x'); // longer than one block
  struct Case {
    const char *what;
    std::string bytes;
    std::string line; // the line found, "" when none has the key
  };
  const Case cases[] = {
      {"empty report", "", ""},
      {"key starts the line", "a\n" + key + " 0x01\nb\n", "Reserved bytes  = 0x01"},
      {"no newline at the end", key + " 0x02", "Reserved bytes  = 0x02"},
      {"trailing spaces go, tab and CR stay", key + " 0x01\t\r  \n", "Reserved bytes  = 0x01\t\r"},
      {"key inside the line", "  " + key + " 0x01\n", "  Reserved bytes  = 0x01"},
      {"first of two matches", key + " 0x01\n" + key + " 0x02\n", "Reserved bytes  = 0x01"},
      {"NUL before the key hides it", "a" + nul() + key + "\n", ""},
      {"NUL after the key cuts the line", key + " 0x" + nul() + "01\n", "Reserved bytes  = 0x"},
      {"NUL hides only its own line", nul() + key + "\n" + key + "2\n", "Reserved bytes  =2"},
      {"key in the second piece", std::string(255, 'a') + key + "\n", "Reserved bytes  ="},
      {"key split by the 255 boundary", std::string(250, 'a') + key + "\n", ""},
      {"255 characters, then the newline alone", std::string(255, 'a') + "\n" + key + "\n",
       "Reserved bytes  ="},
      {"piece of 255 ending on the key", std::string(238, 'a') + key + "xyz\n",
       std::string(238, 'a') + key},
      {"key in the third piece of a long line",
       std::string(510, 'a') + key + " 0x01" + std::string(300, 'b'),
       key + " 0x01" + std::string(233, 'b')},
      {"partial keys only", "Reserved bytes =\nReserved bytes  \nReserved\n", ""},
      {"key after a line longer than a block", big + "\n" + key + " 0x01\n",
       "Reserved bytes  = 0x01"},
  };
  for (const Case &c : cases) {
    std::string line;
    EXPECT_EQ(blockFind(c.bytes, line), !c.line.empty()) << c.what;
    EXPECT_EQ(line, c.line) << c.what;
    expectSameAsReference(c.bytes, c.what);
  }
}

// Keys at every offset around the 255-character pieces of a long line and
// across the first two 64 KiB block boundaries, where the reader keeps the
// tail of one block in front of the next.
TEST(FindReportLine, KeysAroundPieceAndBlockBoundaries) {
  const std::string key = keyText;
  struct Sweep {
    std::size_t from, to, step;
  };
  const Sweep sweeps[] = {{0, 600, 1}, {65300, 65900, 1}, {130700, 131100, 1}};
  for (std::size_t lineStart : {0UL, 100UL}) {
    for (const Sweep &sweep : sweeps) {
      for (std::size_t offset = sweep.from; offset < sweep.to; offset += sweep.step) {
        std::string bytes(lineStart, 'n');
        if (lineStart > 0)
          bytes.back() = '\n';
        bytes += std::string(offset, 'a') + key + " 0x01" + std::string(40, 'c') + "\n";
        expectSameAsReference(bytes, "line at " + std::to_string(lineStart) + ", key at +" +
                                         std::to_string(offset));
      }
    }
  }
}

// Random reports built from the bytes that matter: newlines, NULs, spaces,
// CRs, whole and broken keys and long runs of text.
TEST(FindReportLine, AgreesOnRandomReports) {
  const std::string key = keyText;
  std::mt19937 random(20140425); // NOLINT(cert-msc32-c,cert-msc51-cpp): repeatable
  const std::string pieces[] = {"\n",
                                nul(),
                                " ",
                                "\r",
                                "a",
                                key,
                                key + " 0x01",
                                key.substr(0, 9),
                                std::string(200, 'z'),
                                std::string(3000, 'q')};
  for (int round = 0; round < 400; round++) {
    std::string bytes;
    std::size_t target = random() % 2 == 0 ? random() % 2000 : random() % 150000;
    while (bytes.size() < target) {
      std::size_t pick = random() % std::size(pieces);
      // Keys are rarer than the rest, so most reports have a few misses first.
      if (pieces[pick].find(key) != std::string::npos && random() % 8 != 0)
        continue;
      bytes += pieces[pick];
    }
    expectSameAsReference(bytes, "round " + std::to_string(round));
  }
}

} // namespace
