// Arguments for cmd.exe and the tool's C runtime. cmd expands %NAME% even
// inside double quotes, expands !NAME! when delayed expansion is on, ends
// the command at a line feed, and cannot take a " inside a quoted word
// safely: arguments with those are refused. Anything else is pasted as it
// is when every byte is plain, else wrapped in double quotes.
#include <cstring>

#include "common/common.h"

namespace {

// Bytes that neither cmd.exe nor the C runtime's argument parsing treat
// specially, besides letters and digits; with the backslash, Windows paths
// stay readable (C:\fw\vexo3_img2.bin).
const char plainPunctuation[] = "@+=:,./-_\\";

// Writes word in double quotes. Inside them & | < > ^ ( ), spaces and
// bytes above 0x7F are literal to cmd. The C runtime reads 2n backslashes
// before a quote as n backslashes, so the backslashes that end the word
// are doubled and the closing quote stays a quote: C:\fw dir\ becomes
// "C:\fw dir\\".
bool putQuoted(char *command, std::size_t &len, const char *word) {
  if (!putByte(command, len, '"'))
    return false;
  std::size_t size = std::strlen(word);
  std::size_t body = size;
  while (body > 0 && word[body - 1] == '\\')
    body--;
  for (std::size_t i = 0; i < size; i++)
    if (!putByte(command, len, word[i]))
      return false;
  for (std::size_t i = body; i < size; i++)
    if (!putByte(command, len, '\\'))
      return false;
  return putByte(command, len, '"');
}

} // namespace

bool argumentIsPassable(const char *argument) {
  for (const char *p = argument; *p != '\0'; p++) {
    auto c = static_cast<unsigned char>(*p);
    if (c < 0x20 || c == '"' || c == '%' || c == '!')
      return false;
  }
  return true;
}

bool appendArgument(char *command, const char *argument) {
  if (!argumentIsPassable(argument))
    return false; // no quoting makes it safe: never build such a command
  if (isPlainWord(argument, plainPunctuation))
    return appendText(command, argument);
  return appendWith(command, putQuoted, argument);
}
