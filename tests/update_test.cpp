// The flash: what each tool status prints and ends in, what the record is
// told, the power-cycle advice and the trace.
#include <climits>
#include <string>

#include "common/common.h"
#include "common/run.h"
#include "expected.h"
#include "flash/update.h"
#include "table.h"
#include "unit_support.h"

namespace {

NAMED_ROWS

using namespace expected;

// Runs the flash of img2.bin at level prvLvl; out gets what it printed.
Outcome flash(const std::string &prvLvl, std::string &out, FlashReport &report) {
  Outcome outcome = Outcome::refused;
  out = captureOutput(
      [&] { outcome = vexoUpdate(flashCommand("img2.bin").c_str(), prvLvl.c_str(), report); });
  EXPECT_EQ(scriptedTool.commands, std::vector<std::string>{flashCommand("img2.bin")});
  return outcome;
}

struct OutcomeCase {
  int status;
  friend void PrintTo(const OutcomeCase &row, std::ostream *os) {
    *os << "status " << row.status;
  }
  std::string outcome;
  Outcome result;
};

class VexoUpdate : public UnitTest, public ::testing::WithParamInterface<OutcomeCase> {};

TEST_P(VexoUpdate, MapsTheToolStatus) {
  scriptedTool.statuses = {GetParam().status};
  std::string out;
  FlashReport report;
  EXPECT_EQ(flash("0x62", out, report), GetParam().result);
  EXPECT_EQ(out, flashEcho("img2.bin") + GetParam().outcome);
  // The record keeps the status before folding; a tool that did not end by
  // itself is 255.
  EXPECT_EQ(report.status, GetParam().status == toolAbnormalEnd ? 255 : GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, VexoUpdate,
    ::testing::Values(
        OutcomeCase{0, updated + dcAdvice, Outcome::updated},
        OutcomeCase{1, noVexo, Outcome::notFound}, OutcomeCase{2, updateError, Outcome::failed},
        OutcomeCase{3, siliconIdError, Outcome::wrongSilicon},
        OutcomeCase{4, upToDate, Outcome::upToDate},
        OutcomeCase{255, didNotComplete, Outcome::notCompleted},
        OutcomeCase{toolAbnormalEnd, didNotComplete, Outcome::notCompleted},
        OutcomeCase{5, didNotCompleteWith(5), Outcome::notCompleted},
        OutcomeCase{9, didNotCompleteWith(9), Outcome::notCompleted},
        OutcomeCase{10, updated + dcAdvice, Outcome::updated},
        OutcomeCase{11, noVexo, Outcome::notFound}, OutcomeCase{12, updateError, Outcome::failed},
        OutcomeCase{14, upToDate, Outcome::upToDate},
        OutcomeCase{127, didNotCompleteWith(7), Outcome::notCompleted},
        OutcomeCase{256, didNotCompleteWith(6), Outcome::notCompleted},
        OutcomeCase{-1, noVexo, Outcome::notFound}, OutcomeCase{-12, updateError, Outcome::failed},
        OutcomeCase{INT_MIN, didNotCompleteWith(8), Outcome::notCompleted}),
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
  std::string out;
  FlashReport report;
  EXPECT_EQ(flash(GetParam().prvLvl, out, report), Outcome::updated);
  EXPECT_EQ(out, flashEcho("img2.bin") + updated + (GetParam().dc ? dcAdvice : acAdvice));
  EXPECT_STREQ(report.advice, GetParam().dc ? "DC" : "AC");
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
  std::string out;
  FlashReport report;
  scriptedTool.statuses = {12};
  EXPECT_EQ(flash("0x60", out, report), Outcome::failed);
  EXPECT_EQ(out,
            flashEcho("img2.bin") + statusTrace(12, "0x60", 1) + digitTrace(12, 2) + updateError);

  scriptedTool = ScriptedTool{};
  scriptedTool.statuses = {3};
  EXPECT_EQ(flash("0x61", out, report), Outcome::wrongSilicon);
  EXPECT_EQ(out, flashEcho("img2.bin") + statusTrace(3, "0x61", 0) + siliconIdError);

  scriptedTool = ScriptedTool{};
  EXPECT_EQ(flash("0x62", out, report), Outcome::updated);
  EXPECT_EQ(out, flashEcho("img2.bin") + statusTrace(0, "0x62", -1) + updated + dcAdvice);
}

} // namespace
