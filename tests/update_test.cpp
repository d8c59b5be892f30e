#include <climits>
#include <string>

#include "common/common.h"
#include "e2e_support.h"
#include "expected.h"
#include "flash/flash.h"
#include "table.h"
#include "unit_support.h"

namespace {

NAMED_ROWS

using namespace expected;

struct OutcomeCase {
  int status;
  friend void PrintTo(const OutcomeCase &row, std::ostream *os) {
    *os << "status " << row.status;
  }
  std::string outcome;
  int result;
};

class VexoUpdate : public UnitTest, public ::testing::WithParamInterface<OutcomeCase> {};

TEST_P(VexoUpdate, MapsTheToolStatus) {
  scriptedTool.statuses = {GetParam().status};
  int result = -99;
  std::string out = captureOutput([&] { result = vexoUpdate("0x50", "img2.bin", "0x62"); });
  EXPECT_EQ(out, flashEcho("img2.bin") + GetParam().outcome);
  EXPECT_EQ(result, GetParam().result);
  ASSERT_EQ(scriptedTool.commands.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, VexoUpdate,
    ::testing::Values(
        OutcomeCase{0, updated + dcAdvice, 0}, OutcomeCase{1, noVexo, 171},
        OutcomeCase{2, updateError, 2}, OutcomeCase{3, siliconIdError, 1},
        OutcomeCase{4, upToDate, 0}, OutcomeCase{255, didNotComplete, 1},
        OutcomeCase{toolAbnormalEnd, didNotComplete, 1},
        OutcomeCase{toolInterrupted, didNotComplete, 1}, OutcomeCase{5, didNotCompleteWith(5), 1},
        OutcomeCase{6, didNotCompleteWith(6), 1}, OutcomeCase{7, didNotCompleteWith(7), 1},
        OutcomeCase{8, didNotCompleteWith(8), 1}, OutcomeCase{9, didNotCompleteWith(9), 1},
        OutcomeCase{10, updated + dcAdvice, 0}, OutcomeCase{11, noVexo, 171},
        OutcomeCase{12, updateError, 2}, OutcomeCase{13, siliconIdError, 1},
        OutcomeCase{14, upToDate, 0}, OutcomeCase{127, didNotCompleteWith(7), 1},
        OutcomeCase{256, didNotCompleteWith(6), 1}, OutcomeCase{-1, noVexo, 171},
        OutcomeCase{-12, updateError, 2}, OutcomeCase{INT_MIN, didNotCompleteWith(8), 1}),
    [](const auto &info) {
      int s = info.param.status;
      return (s < 0 ? "Minus" + std::to_string(-static_cast<long>(s)) : std::to_string(s));
    });

struct AdviceCase {
  const char *name;
  std::string prvLvl;
  bool dc;
};

class PowerCycleAdvice : public UnitTest, public ::testing::WithParamInterface<AdviceCase> {};

TEST_P(PowerCycleAdvice, ComparesTheLevelAsText) {
  int result = -99;
  std::string out =
      captureOutput([&] { result = vexoUpdate("0x50", "img2.bin", GetParam().prvLvl.c_str()); });
  EXPECT_EQ(out, flashEcho("img2.bin") + updated + (GetParam().dc ? dcAdvice : acAdvice));
  EXPECT_EQ(result, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Levels, PowerCycleAdvice,
    ::testing::Values(AdviceCase{"Above", "0x62", true}, AdviceCase{"AboveByLetter", "0x6A", true},
                      AdviceCase{"Equal", "0x61", false}, AdviceCase{"Below", "0x60", false},
                      AdviceCase{"Prefix", "0x6", false}, AdviceCase{"Empty", "", false},
                      AdviceCase{"TextNotNumber", "0x7", true},
                      AdviceCase{"UpperCaseX", "0X62", false},
                      AdviceCase{"TrailingReturn", "0x61\r", true},
                      AdviceCase{"HighByteIsUnsigned", "\xA0", true}),
    rowName);

// The comparison lines come before folding, whatever the status; the
// folding lines only when folding happens.
TEST_F(UnitTest, UpdateTraceOrder) {
  traceMode = true;
  scriptedTool.statuses = {12};
  std::string out = captureOutput([] { EXPECT_EQ(vexoUpdate("0x50", "img2.bin", "0x60"), 2); });
  EXPECT_EQ(out,
            flashEcho("img2.bin") + statusTrace(12, "0x60", 1) + digitTrace(12, 2) + updateError);

  scriptedTool.statuses = {3};
  out = captureOutput([] { EXPECT_EQ(vexoUpdate("0x50", "img2.bin", "0x61"), 1); });
  EXPECT_EQ(out, flashEcho("img2.bin") + statusTrace(3, "0x61", 0) + siliconIdError);

  scriptedTool.statuses = {0};
  out = captureOutput([] { EXPECT_EQ(vexoUpdate("0x50", "img2.bin", "0x62"), 0); });
  EXPECT_EQ(out, flashEcho("img2.bin") + statusTrace(0, "0x62", -1) + updated + dcAdvice);
}

struct DigitCase {
  int number;
  int digit;
  friend void PrintTo(const DigitCase &row, std::ostream *os) {
    *os << row.number;
  }
};

class GetDigit : public UnitTest, public ::testing::WithParamInterface<DigitCase> {};

TEST_P(GetDigit, TakesTheLastDecimalDigit) {
  EXPECT_EQ(getDigit(GetParam().number), GetParam().digit);
}

INSTANTIATE_TEST_SUITE_P(Numbers, GetDigit,
                         ::testing::Values(DigitCase{0, 0}, DigitCase{7, 7}, DigitCase{10, 0},
                                           DigitCase{256, 6}, DigitCase{-1, 1}, DigitCase{-40, 0},
                                           DigitCase{INT_MAX, 7}, DigitCase{INT_MIN, 8}));

} // namespace
