// Writing an image into the device and reporting the outcome.
#pragma once

extern const char levelThreshold[]; // "0x61"

// Runs the flash command for imageFile, prints the outcome and, after an
// update, the power-cycle advice; returns 0, 1, 2 or 171 (111 when the
// command would not fit, which the entry point rules out beforehand).
int vexoUpdate(const char *address, const char *imageFile, const char *prvLvl);

// The last decimal digit of number as written in decimal (-1 gives 1).
int getDigit(int number);
