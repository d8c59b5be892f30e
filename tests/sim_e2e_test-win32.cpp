// The simulated tool ending abnormally on Windows: it dies "by signal N"
// with the NTSTATUS code a Windows process gets (a crash, a failed check,
// Ctrl+C), and the update did not complete.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sim_e2e.h"

namespace {

using namespace simrun;

INSTANTIATE_TEST_SUITE_P(
    NtStatus, Fault,
    ::testing::Values(FaultCase{"AccessViolation", "VXTOOL_SIM_SIGNAL", "11", "", standard, "",
                                flashRun("0x60", image2, didNotComplete), 1},
                      FaultCase{"FailFast", "VXTOOL_SIM_SIGNAL", "6", "", standard, "",
                                flashRun("0x60", image2, didNotComplete), 1},
                      FaultCase{"ControlC", "VXTOOL_SIM_SIGNAL", "2", "", standard, "",
                                flashRun("0x60", image2, didNotComplete), 1}),
    rowName);

} // namespace
