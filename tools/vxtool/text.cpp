#include <cerrno>
#include <cstdio>
#include <cstring>

#include "sim.h"

namespace {

std::string_view trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
    text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
    text.remove_suffix(1);
  return text;
}

} // namespace

bool splitSetting(std::string_view line, std::string_view &key, std::string_view &value) {
  std::size_t equals = line.find('=');
  if (equals == std::string_view::npos)
    return false;
  key = trim(line.substr(0, equals));
  value = trim(line.substr(equals + 1));
  return true;
}

bool readSmallFile(const std::string &path, std::string &text, std::string &why, bool &missing) {
  missing = false;
  std::FILE *file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    missing = errno == ENOENT;
    why = path + ": " + std::strerror(errno);
    return false;
  }
  text.clear();
  char chunk[4096];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
    if (text.size() + got > maxFileSize) {
      std::fclose(file);
      why = path + ": larger than " + std::to_string(maxFileSize) + " bytes";
      return false;
    }
    text.append(chunk, got);
  }
  // A directory opens but does not read: report it as unreadable.
  bool failed = std::ferror(file) != 0;
  int error = errno;
  std::fclose(file);
  if (failed) {
    why = path + ": " + std::strerror(error);
    return false;
  }
  return true;
}
