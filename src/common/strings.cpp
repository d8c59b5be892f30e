#include "common/common.h"

const char commandPrefix[] = "vxtool -i2cp ";
const char commandEcho[] = "Command:  %s\n";
const char scanReportName[] = "busscan.out";
const char scanRedirect[] = " 2>&1 > busscan.out";
const char flashOptions[] = " -q -f ";
const char flashLogName[] = "flash.out";
const char flashRedirect[] = " 2>&1 > flash.out";
const char fileError[] = "ERROR: Could not open image file!\n\n";
const char notCompleted[] = "The VEXO update did not complete successfully.\n";
