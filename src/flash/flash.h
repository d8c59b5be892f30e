// Writing an image into the device and reporting the outcome.
#pragma once

extern const char levelThreshold[]; // "0x61"

// What a flash run did, for the audit record.
struct FlashReport {
  int status = 0; // the tool status as traced, before folding
  // updated, up-to-date, failed, not-completed or not-found.
  const char *outcome = nullptr;
  const char *advice = nullptr;  // "DC" or "AC" after an update
  const char *reason = nullptr;  // how a tool that did not end by itself ended
  const char *inhibit = nullptr; // "held" or "unavailable" (beginFlash)
};

// Runs the flash command for imageFile, prints the outcome and, after an
// update, the power-cycle advice; returns 0, 1, 2 or 171. The command must
// fit in 255 characters, which the entry point has checked. Fills report,
// when given, with what the run did.
int vexoUpdate(const char *address, const char *imageFile, const char *prvLvl,
               FlashReport *report = nullptr);

// The last decimal digit of number as written in decimal (-1 gives 1).
int getDigit(int number);
