// The tool command builder: the scan and flash commands, and the bounded
// writes the quoting shares (command.h).
#include <cstring>

#include "common/command.h"
#include "common/common.h"
#include "common/quote.h"

const char commandPrefix[] = "vxtool -i2cp ";
const char scanRedirect[] = " 2>&1 > busscan.out";
const char flashOptions[] = " -q -f ";
const char flashRedirect[] = " 2>&1 > flash.out";

bool putByte(char *command, std::size_t &len, char c) {
  if (len + 1 >= lineSize)
    return false;
  command[len++] = c;
  return true;
}

bool putText(char *command, std::size_t &len, const char *text) {
  for (const char *p = text; *p != '\0'; p++)
    if (!putByte(command, len, *p))
      return false;
  return true;
}

bool appendWith(char *command, PutText put, const char *text) {
  std::size_t start = std::strlen(command);
  std::size_t len = start;
  bool ok = put(command, len, text);
  command[ok ? len : start] = '\0'; // on overflow the old text stays
  return ok;
}

bool appendText(char *command, const char *text) {
  return appendWith(command, putText, text);
}

bool isPlainWord(const char *word, const char *punctuation) {
  if (*word == '\0')
    return false; // an empty argument must still be a word
  for (const char *p = word; *p != '\0'; p++) {
    auto c = static_cast<unsigned char>(*p);
    bool alphanumeric = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!alphanumeric && std::strchr(punctuation, c) == nullptr)
      return false;
  }
  return true;
}

bool buildScanCommand(char *command, const char *address) {
  std::memset(command, 0, lineSize);
  bool ok = appendText(command, commandPrefix) && appendArgument(command, address) &&
            appendText(command, scanRedirect);
  if (!ok)
    std::memset(command, 0, lineSize);
  return ok;
}

bool buildFlashCommand(char *command, const char *address, const char *imageFile) {
  std::memset(command, 0, lineSize);
  bool ok = appendText(command, commandPrefix) && appendArgument(command, address) &&
            appendText(command, flashOptions) && appendArgument(command, imageFile) &&
            appendText(command, flashRedirect);
  if (!ok)
    std::memset(command, 0, lineSize);
  return ok;
}
