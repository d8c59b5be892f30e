// Writing an image into the device and reporting the outcome (update.cpp).
#pragma once

#include "common/outcome.h"

// What a flash run did, for the audit record.
struct FlashReport {
  int status = 0;                // the tool status as traced, before folding
  const char *advice = nullptr;  // "DC" or "AC" after an update
  const char *reason = nullptr;  // how a tool that did not end by itself ended
  const char *inhibit = nullptr; // "held" or "unavailable" (beginFlash)
};

// Runs the flash command (built by the entry point), prints the outcome
// and, after an update, the power-cycle advice; fills report with what the
// run did.
Outcome vexoUpdate(const char *command, const char *prvLvl, FlashReport &report);

// The last decimal digit of number as written in decimal (-1 gives 1).
int getDigit(int number);
