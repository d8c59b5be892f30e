// The trace flag, the report names and the not-completed message.
#include "common/common.h"

bool traceMode = false;

const char scanReportName[] = "busscan.out";
const char flashLogName[] = "flash.out";
const char notCompleted[] = "The VEXO update did not complete successfully.\n";
