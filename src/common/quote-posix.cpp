// Arguments for the POSIX shell: pasted as they are when no byte is
// special to it, else one single-quoted word.
#include "common/command.h"
#include "common/quote.h"

namespace {

// Bytes that no POSIX shell treats specially anywhere in a word, besides
// letters and digits.
const char plainPunctuation[] = "@%+=:,./-_";

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

// argv holds the bytes the user typed.
const char *const *typedArguments(int /*argc*/, char **argv) {
  return argv;
}

// Single quotes take every byte literally, so any argument can be passed.
bool argumentIsPassable(const char * /*typed*/, const char * /*argument*/) {
  return true;
}

bool appendArgument(char *command, const char *argument) {
  if (isPlainWord(argument, plainPunctuation))
    return appendText(command, argument);
  return appendWith(command, putQuoted, argument);
}
