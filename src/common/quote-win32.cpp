// Arguments for cmd.exe and the tool's C runtime: pasted as they are,
// double-quoted, or refused when no quoting makes them safe.
#include <cstring>
#include <string>
#include <vector>
#include <windows.h>

#include <shellapi.h>

#include "common/command.h"
#include "common/quote.h"

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

// False for the bytes that no quoting makes safe for cmd.exe: it expands
// %NAME% even inside double quotes, !NAME! when delayed expansion is on,
// ends the command at a line feed, and cannot take a " inside a quoted
// word safely.
bool cmdCanTake(const char *argument) {
  for (const char *p = argument; *p != '\0'; p++) {
    auto c = static_cast<unsigned char>(*p);
    if (c < 0x20 || c == '"' || c == '%' || c == '!')
      return false;
  }
  return true;
}

// wide in UTF-8, and back; false when the text is not valid in the form
// it is given in (a lone surrogate, a broken sequence).
bool toUtf8(const wchar_t *wide, std::string &text) {
  int size =
      WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0)
    return false;
  text.assign(static_cast<std::size_t>(size), '\0');
  if (WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, -1, text.data(), size, nullptr,
                          nullptr) != size)
    return false;
  text.pop_back(); // the NUL that ends it
  return true;
}

bool toWide(const char *utf8, std::wstring &wide) {
  int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, nullptr, 0);
  if (size <= 0)
    return false;
  wide.assign(static_cast<std::size_t>(size), L'\0');
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, wide.data(), size) != size)
    return false;
  wide.pop_back();
  return true;
}

// True when bytes are exactly the ANSI code page's form of wide. The C
// runtime makes argv through that code page with best fit: a character
// it lacks becomes a look-alike (a full-width 2 becomes 2, an omega O) or
// '?', and the tool would be handed another file than the one named. A
// UTF-8 code page takes neither the flag nor the default character; it
// fails on a lone surrogate instead.
bool isExactAnsiForm(const wchar_t *wide, const char *bytes) {
  UINT codePage = GetACP();
  bool utf8 = codePage == CP_UTF8;
  BOOL usedDefault = FALSE;
  std::size_t length = std::strlen(bytes);
  std::string ansi(length + 1, '\0'); // a longer form does not fit: 0
  int size = WideCharToMultiByte(codePage, utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS, wide,
                                 -1, ansi.data(), static_cast<int>(length + 1), nullptr,
                                 utf8 ? nullptr : &usedDefault);
  return size > 0 && usedDefault == FALSE && static_cast<std::size_t>(size) == length + 1 &&
         std::strcmp(ansi.c_str(), bytes) == 0;
}

} // namespace

const char *const *typedArguments(int argc, char ** /*argv*/) {
  static std::vector<std::string> texts;
  static std::vector<const char *> typed;
  texts.assign(static_cast<std::size_t>(argc), std::string());
  typed.assign(static_cast<std::size_t>(argc) + 1, nullptr);
  int count = 0;
  LPWSTR *wide = CommandLineToArgvW(GetCommandLineW(), &count);
  for (int i = 0; wide != nullptr && i < argc && i < count; i++)
    if (toUtf8(wide[i], texts[i]))
      typed[i] = texts[i].c_str();
  (void)LocalFree(wide);
  return typed.data();
}

// An argument that the C runtime could not take over exactly from the wide
// command line is refused too, as is one whose typed form cannot be had.
bool argumentIsPassable(const char *typed, const char *argument) {
  std::wstring wide;
  return typed != nullptr && cmdCanTake(argument) && toWide(typed, wide) &&
         isExactAnsiForm(wide.c_str(), argument);
}

bool appendArgument(char *command, const char *argument) {
  if (!cmdCanTake(argument))
    return false; // no quoting makes it safe: never build such a command
  if (isPlainWord(argument, plainPunctuation))
    return appendText(command, argument);
  return appendWith(command, putQuoted, argument);
}
