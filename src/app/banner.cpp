#include <cstdio>

#include "app/app.h"

void printBanner() {
  std::printf("\n");
  std::printf("************************************************************\n");
  std::printf("   Tarnell Vexo3 Update Utility for use with QEL hardware   \n");
  std::printf("       Version 1.6 Build 1.51 - Release Date 4/25/14        \n");
  std::printf("************************************************************\n");
  std::printf("\n");
}

void printUsage() {
  std::printf("\n");
  std::printf("USAGE: vexoflash <bootloader register address> <image 1 file> <image 2 file>\n");
  std::printf("\n");
}
