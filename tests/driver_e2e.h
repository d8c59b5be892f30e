// Shared by the driver tests of every platform: the expected output and
// the fixture.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e_support.h"

namespace driver {

using Args = std::vector<std::string>;

inline const std::string usage =
    "\nUSAGE: vexoflash <bootloader register address> <image 1 file> <image 2 file>\n\n";
inline const std::string scanEcho =
    "\nScanning for Vexo3 image.\nCommand:  vxtool -i2cp 0x50 2>&1 > busscan.out\n";
inline const std::string notFound = "Vexo3 device not found.\n";
inline const std::string report1 =
    "Vexo3 bus scan\nReserved bytes  = 0x01\nFirmware level  = 0x62\n";
inline const std::string locked = "ERROR: Another vexoflash run is using this directory!\n";

class Driver : public ::testing::Test {
protected:
  void SetUp() override {
    box.installFakeTool();
  }
  Sandbox box;
};

} // namespace driver
