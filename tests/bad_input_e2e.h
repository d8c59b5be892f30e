// Shared by the bad input tests of every platform: the expected output
// and the fixture.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e_support.h"

namespace badinput {

using Args = std::vector<std::string>;

inline const std::string scanEcho =
    "\nScanning for Vexo3 image.\nCommand:  vxtool -i2cp 0x50 2>&1 > busscan.out\n";
inline const std::string notFound = "Vexo3 device not found.\n";
inline const std::string updated = "Vexo found and firmware updated.\n";
inline const std::string dc = "DC power cycle the system for the update to take effect.\n";
inline const std::string ac = "AC power cycle the system for the update to take affect.\n";
inline const std::string report1 = "Reserved bytes  = 0x01\nFirmware level  = 0x62\n";

inline std::string flashEcho(const std::string &file) {
  return "Flashing Vexo.\nCommand:  vxtool -i2cp 0x50 -q -f " + file + " 2>&1 > flash.out\n";
}

// What a whole run prints when the device runs image 1 at level.
inline std::string updatedFromImage1(const std::string &level, const std::string &advice) {
  return banner + scanEcho + "Current Firmware Level = " + level + "\n" + flashEcho("fw-2.bin") +
         updated + advice;
}

class BadInput : public ::testing::Test {
protected:
  void SetUp() override {
    box.installFakeTool();
  }
  RunResult run() const {
    return box.run({"0x50", "fw-1.bin", "fw-2.bin"});
  }
  Sandbox box;
};

} // namespace badinput
