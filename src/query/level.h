// The firmware level the device runs, from the scan report (level.cpp).
#pragma once

extern const char levelKey[]; // "Firmware level  ="

// Prints the current firmware level from the scan report and copies it
// into prvLvl (257 bytes); the level is empty when the report has none.
void readFirmwareLevel(char *prvLvl);
