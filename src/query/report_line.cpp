#include <algorithm>
#include <cstring>
#include <string_view>

#include "common/common.h"
#include "query/query.h"

namespace {

// Drops the newline that ends the line, then its trailing spaces.
void trimLine(char *buffer) {
  std::size_t len = std::strlen(buffer);
  if (len > 0 && buffer[len - 1] == '\n')
    buffer[--len] = '\0';
  while (len > 0 && buffer[len - 1] == ' ')
    buffer[--len] = '\0';
}

// The longest line piece that readReportLine returns with a lineSize buffer.
constexpr std::size_t pieceMax = lineSize - 1;
// The bytes kept in front of each new block from the previous one: a whole
// piece before the first new candidate.
constexpr std::size_t carrySize = pieceMax;
// A piece starts at most pieceMax - 1 bytes before a key in it.
static_assert(carrySize >= pieceMax - 1);

// Walks a report in blocks, as readReportLine would cut it into pieces,
// without copying each piece: only the positions where a key occurs are
// looked at. Positions are offsets from the start of the report.
class ReportScanner {
public:
  // buffer_ is left as it is on purpose (see there).
  // cppcheck-suppress uninitMemberVar
  ReportScanner(std::FILE *file, std::size_t blockSize)
      : file_(file), capacity_(std::clamp(blockSize, reportBlockMin, reportBlockMax) + carrySize) {}

  // Finds the first piece that holds key (before any NUL byte in it) and
  // copies it into line, trimmed as readReportLine does; false if none.
  bool find(std::string_view key, char *line) {
    while (fill()) {
      // A candidate needs a whole piece after it in the buffer, unless the
      // report ends: the rest waits for the next block.
      std::size_t searchEnd = eof_ ? used_ : used_ - pieceMax;
      for (std::size_t at = view().find(key, from_); at != std::string_view::npos && at < searchEnd;
           at = view().find(key, at + 1)) {
        if (copyPieceIfHolds(at, key.size(), line))
          return true;
      }
      if (eof_)
        return false;
      from_ = searchEnd;
      keepTail();
    }
    return false;
  }

private:
  std::string_view view() const {
    return {buffer_, used_};
  }

  // Reads until the buffer is full or the report ends; false when there is
  // nothing left to look at.
  bool fill() {
    if (eof_)
      return false;
    while (used_ < capacity_) {
      std::size_t got = std::fread(buffer_ + used_, 1, capacity_ - used_, file_);
      used_ += got;
      if (got == 0) {
        eof_ = true; // end of file or a read error: no more data either way
        break;
      }
    }
    return used_ > from_ || eof_;
  }

  // Moves the line start up to position at (a buffer index), newline by newline.
  void advanceLineStart(std::size_t at) {
    while (cursor_ < at) {
      const void *nl = std::memchr(buffer_ + cursor_, '\n', at - cursor_);
      if (nl == nullptr) {
        cursor_ = at;
        break;
      }
      cursor_ = static_cast<std::size_t>(static_cast<const char *>(nl) - buffer_) + 1;
      lineStart_ = base_ + cursor_;
    }
  }

  // The key occurs at buffer index at: when the piece around it holds the
  // whole key before any NUL byte, copies that piece into line.
  bool copyPieceIfHolds(std::size_t at, std::size_t keySize, char *line) {
    advanceLineStart(at);
    unsigned long long pos = base_ + at;
    std::size_t pieceStart = at - static_cast<std::size_t>((pos - lineStart_) % pieceMax);
    if (at + keySize > pieceStart + pieceMax)
      return false; // the key runs over into the next piece
    if (std::memchr(buffer_ + pieceStart, '\0', at - pieceStart) != nullptr)
      return false; // the line text ends before the key
    std::size_t length = std::min(pieceMax, used_ - pieceStart);
    const void *nl = std::memchr(buffer_ + pieceStart, '\n', length);
    if (nl != nullptr)
      length = static_cast<std::size_t>(static_cast<const char *>(nl) - (buffer_ + pieceStart)) + 1;
    std::memcpy(line, buffer_ + pieceStart, length);
    line[length] = '\0';
    trimLine(line);
    return true;
  }

  // Drops all but the last carrySize bytes before from_, keeping every byte
  // that a later candidate's piece may start at.
  void keepTail() {
    std::size_t drop = from_ > carrySize ? from_ - carrySize : 0;
    advanceLineStart(drop);
    std::memmove(buffer_, buffer_ + drop, used_ - drop);
    used_ -= drop;
    from_ -= drop;
    cursor_ -= drop;
    base_ += drop;
  }

  std::FILE *file_;
  std::size_t capacity_; // the part of buffer_ in use: a block and the carry
  // Not cleared: only the bytes read, [0, used_), are ever looked at, and
  // clearing would touch every page of it for the smallest report.
  char buffer_[reportBlockMax + carrySize];
  std::size_t used_ = 0;             // bytes in buffer_
  std::size_t from_ = 0;             // where the key search goes on
  std::size_t cursor_ = 0;           // newlines before this index are counted in lineStart_
  unsigned long long base_ = 0;      // report offset of buffer_[0]
  unsigned long long lineStart_ = 0; // report offset where the current line starts
  bool eof_ = false;
};

} // namespace

int readReportLine(std::FILE *file, char *buffer, int size) {
  if (std::fgets(buffer, size, file) == nullptr)
    return -1;
  trimLine(buffer);
  return 1;
}

bool findReportLine(std::FILE *file, const char *key, char *line, std::size_t blockSize) {
  ReportScanner scanner(file, blockSize);
  return scanner.find(key, line);
}

int findScanReportLine(const char *key, char *line) {
  std::FILE *report = std::fopen(scanReportName, "r");
  if (report == nullptr) {
    (void)std::fputs(fileError, stdout);
    return -1;
  }
  bool found = findReportLine(report, key, line);
  (void)std::fclose(report); // read only: nothing to lose
  return found ? 1 : 0;
}
