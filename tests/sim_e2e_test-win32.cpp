// The simulated tool ending abnormally on Windows: it dies "by signal N"
// with the NTSTATUS code a Windows process gets (a crash, a failed check;
// the other signals as Ctrl+C, in the shared table), and the update did
// not complete.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sim_e2e.h"

namespace {

using namespace simrun;

const std::string didNotCompleteRun = flashRun("0x60", image2, didNotComplete);

INSTANTIATE_TEST_SUITE_P(
    NtStatus, Fault,
    ::testing::Values(FaultCase{"AccessViolation", didNotCompleteRun, 1, "VXTOOL_SIM_SIGNAL=11"},
                      FaultCase{"FailFast", didNotCompleteRun, 1, "VXTOOL_SIM_SIGNAL=6"}),
    rowName);

} // namespace
