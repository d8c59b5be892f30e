// Arguments for the POSIX shell: pasted as they are when no byte is
// special to it, else one single-quoted word.
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

} // namespace

// Single quotes take every byte literally, so any argument can be passed.
bool argumentIsPassable(const char * /*argument*/) {
  return true;
}

bool appendArgument(char *command, const char *argument) {
  if (isPlainWord(argument))
    return appendText(command, argument);
  std::size_t start = std::strlen(command);
  std::size_t len = start;
  bool ok = putQuoted(command, len, argument);
  command[ok ? len : start] = '\0'; // on overflow the old text stays
  return ok;
}
