#include <cstring>

#include "common/common.h"

namespace {

// Bytes that no POSIX shell treats specially anywhere in a word.
bool isPlainByte(unsigned char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
    return true;
  return c != '\0' && std::strchr("@%+=:,./-_", c) != nullptr;
}

bool isPlainWord(const char *word) {
  if (*word == '\0')
    return false; // an empty argument must still be a word: ''
  for (const char *p = word; *p != '\0'; p++)
    if (!isPlainByte(static_cast<unsigned char>(*p)))
      return false;
  return true;
}

// Appends one byte at position len, keeping room for the NUL.
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

// Writes word as one single-quoted shell word; a quote inside becomes '\''.
bool putQuoted(char *command, std::size_t &len, const char *word) {
  if (!putByte(command, len, '\''))
    return false;
  for (const char *p = word; *p != '\0'; p++) {
    bool ok = (*p == '\'') ? putText(command, len, "'\\''") : putByte(command, len, *p);
    if (!ok)
      return false;
  }
  return putByte(command, len, '\'');
}

// Appends text, shell-quoted or not; on overflow the old text stays.
bool appendPiece(char *command, const char *text, bool quoted) {
  std::size_t len = std::strlen(command);
  std::size_t start = len;
  bool ok = quoted ? putQuoted(command, len, text) : putText(command, len, text);
  command[ok ? len : start] = '\0';
  return ok;
}

} // namespace

bool appendText(char *command, const char *text) {
  return appendPiece(command, text, false);
}

bool appendArgument(char *command, const char *argument) {
  return appendPiece(command, argument, !isPlainWord(argument));
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
