#include <cstdio>
#include <cstring>

#include "common/common.h"
#include "flash/flash.h"

int getDigit(int number) {
  static char *const numString = new char[textBlockSize]();
  (void)std::snprintf(numString, textBlockSize, "%d", number);
  int newNum = numString[std::strlen(numString) - 1] - '0';
  if (traceMode) {
    std::printf("getDigit()\n");
    std::printf("numString:  %s.\n", numString);
    std::printf("newNum:  %d.\n", newNum);
  }
  return newNum;
}
