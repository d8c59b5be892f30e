#include <cstring>

#include "query/query.h"

int readReportLine(std::FILE *file, char *buffer, int size) {
  if (std::fgets(buffer, size, file) == nullptr)
    return -1;
  std::size_t len = std::strlen(buffer);
  if (len > 0 && buffer[len - 1] == '\n')
    buffer[--len] = '\0';
  while (len > 0 && buffer[len - 1] == ' ')
    buffer[--len] = '\0';
  return 1;
}
