#include "common/common.h"

bool traceMode = false;
