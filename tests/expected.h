// What vexoflash prints, byte for byte, written out once for every test:
// the tests hold the program to these texts, so they are literals here and
// never taken from the program's own strings.
#pragma once

#include <string>

namespace expected {

inline const std::string banner = "\n"
                                  "************************************************************\n"
                                  "   Tarnell Vexo3 Update Utility for use with QEL hardware   \n"
                                  "       Version 1.6 Build 1.51 - Release Date 4/25/14        \n"
                                  "************************************************************\n"
                                  "\n";
inline const std::string usage =
    "\nUSAGE: vexoflash <bootloader register address> <image 1 file> <image 2 file>\n\n";

// The tool commands, and their echoes.
inline std::string scanCommand(const std::string &address = "0x50") {
  return "vxtool -i2cp " + address + " 2>&1 > busscan.out";
}
inline std::string flashCommand(const std::string &file, const std::string &address = "0x50") {
  return "vxtool -i2cp " + address + " -q -f " + file + " 2>&1 > flash.out";
}
inline std::string scanEcho(const std::string &address = "0x50") {
  return "\nScanning for Vexo3 image.\nCommand:  " + scanCommand(address) + "\n";
}
inline std::string flashEcho(const std::string &file, const std::string &address = "0x50") {
  return "Flashing Vexo.\nCommand:  " + flashCommand(file, address) + "\n";
}
inline std::string levelLine(const std::string &level) {
  return "Current Firmware Level = " + level + "\n";
}

// The endings.
inline const std::string notFound = "Vexo3 device not found.\n";
inline const std::string cannotOpenReport = "ERROR: Could not open image file!\n\n";
inline const std::string updated = "Vexo found and firmware updated.\n";
inline const std::string dcAdvice = "DC power cycle the system for the update to take effect.\n";
inline const std::string acAdvice = "AC power cycle the system for the update to take affect.\n";
inline const std::string noVexo = "No Vexos found in the system.\nFirmware was not flashed.\n";
inline const std::string updateError =
    "Vexo firmware update error - Vexo found but update failed.\n";
inline const std::string siliconIdError =
    "Vexo Silicon ID Error \x96 Vexo found but the silicon ID didn\x92t match file.\n";
inline const std::string upToDate =
    "Vexo Found and Firmware level is up-to-date. No flashing required.\n";
inline const std::string didNotComplete = "The VEXO update did not complete successfully.\n";
inline std::string didNotCompleteWith(int code) {
  return "The VEXO update did not complete successfully.  Return code: " + std::to_string(code) +
         "\n";
}

// The refusals before anything runs; what names an argument as "Image 2
// file name".
inline std::string tooLong(const std::string &what) {
  return "ERROR: " + what + " is too long for the tool command!\n";
}
inline std::string notPassable(const std::string &what) {
  return "ERROR: " + what + " holds characters that cannot be passed safely to the tool command!\n";
}
inline std::string notRegular(const std::string &name) {
  return "ERROR: " + name + " is not a regular file!\n";
}
inline const std::string writableByOthers =
    "ERROR: The working directory is writable by other users!\n";
inline const std::string locked = "ERROR: Another vexoflash run is using this directory!\n";

// The trace lines of DEBUG.
inline std::string imageTrace(const std::string &line, char image) {
  return "line:  " + line + "\nimage:  " + image + "\n";
}
inline std::string levelTrace(const std::string &line, const std::string &level) {
  return "line:  " + line + "\nfwLvl:  " + level + "\n";
}
inline std::string statusTrace(int status, const std::string &prvLvl, int cycle) {
  return "VxTool return code:  " + std::to_string(status) + "\nPowerCycle:0x61 prvLvl:" + prvLvl +
         "\nstrcmp 0x61, " + prvLvl + "\ncycle  " + std::to_string(cycle) + "\n";
}
inline std::string digitTrace(int number, int digit) {
  return "getDigit()\nnumString:  " + std::to_string(number) +
         ".\nnewNum:  " + std::to_string(digit) + ".\n";
}
inline std::string resultTrace(int result) {
  return "vexoUpdate() return code:  " + std::to_string(result) + ".\n";
}

// The output after the banner of a run that gets as far as the flash.
inline std::string flashRun(const std::string &level, const std::string &file,
                            const std::string &outcome) {
  return scanEcho() + levelLine(level) + flashEcho(file) + outcome;
}

// A scan report of a device that runs image 1 at level 0x62.
inline const std::string report1 = "Reserved bytes  = 0x01\nFirmware level  = 0x62\n";

} // namespace expected
