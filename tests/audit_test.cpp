// The audit record: its escaping, and exactly one record per run past the
// usage check, with what the run did, read through the writer seam.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/audit.h"
#include "common/run.h"
#include "e2e_support.h"
#include "expected.h"
#include "table.h"
#include "unit_support.h"

namespace {

NAMED_ROWS

using expected::report1;

struct ValueCase {
  const char *name;
  std::string value;
  std::string written;
  const char *login = ""; // who logged in; empty: not known
};

class AuditValue : public ::testing::TestWithParam<ValueCase> {};

TEST_P(AuditValue, CannotSplitOrForgeARecord) {
  AuditRecord record;
  record.outcome = Outcome::notFound;
  record.address = GetParam().value.c_str();
  const std::string login =
      *GetParam().login == '\0' ? "" : std::string(" login=") + GetParam().login;
  EXPECT_EQ(formatAuditRecord(record, {"0", "root", "/var/lib/vexoflash", GetParam().login}),
            "outcome=not-found exit=171 address=" + GetParam().written + " uid=0 user=root" +
                login + " dir=/var/lib/vexoflash");
}

INSTANTIATE_TEST_SUITE_P(
    Values, AuditValue,
    ::testing::Values(ValueCase{"Plain", "0x50", "0x50"}, ValueCase{"Empty", "", R"("")"},
                      ValueCase{"Space", "img 1.bin", R"("img 1.bin")"},
                      ValueCase{"QuoteAndBackslash", R"(a"b\c)", R"("a\"b\\c")"},
                      ValueCase{"EqualsSign", "a=b", R"("a\x3db")"},
                      ValueCase{"ForgedPairsAfterASpace", "y status=0 advice=DC",
                                R"("y status\x3d0 advice\x3dDC")"},
                      ValueCase{"LineFeedAndForgedKey", "x\noutcome=updated",
                                R"("x\x0Aoutcome\x3dupdated")"},
                      ValueCase{"LoginAfterUser", "0x50", "0x50", "alice"},
                      ValueCase{"ControlAndHighBytes", "\t\x7F\x96", R"("\x09\x7F\x96")"}),
    rowName);

// What the writer received, record by record.
struct Written {
  AuditSeverity severity;
  std::string text;
};
std::vector<Written> written;

void captureRecord(AuditSeverity severity, const std::string &text) {
  written.push_back({severity, text});
}

struct RunCase {
  const char *name;
  std::string report;
  std::vector<int> statuses; // the scan's, then the flash's
  std::string record;        // up to the caller's pairs; empty: no record
  AuditSeverity severity;
  std::vector<std::string> args = {"0x50", "one.bin", "two.bin"};
};

class AuditOfARun : public UnitTest, public ::testing::WithParamInterface<RunCase> {
protected:
  void SetUp() override {
    UnitTest::SetUp();
    written.clear();
    auditWriter = captureRecord;
  }
  void TearDown() override {
    auditWriter = writeToSystemLog;
    UnitTest::TearDown();
  }
};

TEST_P(AuditOfARun, OneRecordPerRun) {
  const RunCase &row = GetParam();
  writeReport(row.report);
  scriptedTool.statuses.assign(row.statuses.begin(), row.statuses.end());
  int exitCode = -99;
  (void)captureOutput([&] { exitCode = runInProcess(row.args); });
  if (row.record.empty()) {
    EXPECT_TRUE(written.empty());
    return;
  }
  ASSERT_EQ(written.size(), 1u);
  const std::string &text = written[0].text;
  EXPECT_EQ(text.substr(0, text.find(" uid=")), row.record);
  EXPECT_NE(text.find(" exit=" + std::to_string(exitCode) + " "), std::string::npos);
  EXPECT_EQ(written[0].severity, row.severity);
  AuditCaller caller = auditCaller();
  EXPECT_NE(text.find(" uid=" + caller.uid), std::string::npos);
  EXPECT_FALSE(caller.dir.empty());
}

const std::string report2 = "Reserved bytes  = 0x02\nFirmware level  = 0x60\n";
const std::string inhibit = posixSystem() ? "inhibit=unavailable" : "inhibit=held";
const std::string ran1 = "address=0x50 running=1 level=0x62 image=two.bin " + inhibit + " status=";

using enum AuditSeverity;

// Each outcome's name, exit code and severity as the record gives them,
// and each part of the record the driver fills. (What the flash hands the
// record, its status and advice, is in update_test.cpp.)
INSTANTIATE_TEST_SUITE_P(
    Runs, AuditOfARun,
    ::testing::Values(
        RunCase{"Usage", report1, {}, "", error, {"0x50", "one.bin"}},
        RunCase{
            "Updated", report1, {0, 0}, "outcome=updated exit=0 " + ran1 + "0 advice=DC", notice},
        RunCase{"UpdatedAcFromImage2",
                report2,
                {0, 10},
                "outcome=updated exit=0 address=0x50 running=2 level=0x60 image=one.bin " +
                    inhibit + " status=10 advice=AC",
                notice},
        RunCase{"UpToDate", report1, {0, 4}, "outcome=up-to-date exit=0 " + ran1 + "4", notice},
        RunCase{"UpdateError", report1, {0, 2}, "outcome=failed exit=2 " + ran1 + "2", error},
        RunCase{"SiliconId", report1, {0, 3}, "outcome=failed exit=1 " + ran1 + "3", error},
        RunCase{"ScanToolKilled",
                report1,
                {toolAbnormalEnd},
                "outcome=not-completed reason=tool-killed exit=1 address=0x50",
                error},
        RunCase{"FlashInterrupted",
                report1,
                {0, toolInterrupted},
                "outcome=not-completed reason=interrupted exit=1 " + ran1 + "255",
                error},
        RunCase{"NoImage",
                "Firmware level  = 0x62\n",
                {1},
                "outcome=not-found exit=171 address=0x50",
                error},
        RunCase{"NoLevelLine",
                "Reserved bytes  = 0x01\n",
                {0, 0},
                "outcome=updated exit=0 address=0x50 running=1 level=\"\" image=two.bin " +
                    inhibit + " status=0 advice=AC",
                notice},
        RunCase{"TooLong",
                report1,
                {},
                "outcome=refused reason=argument-too-long exit=111 address=0x50",
                warning,
                {"0x50", "one.bin", std::string(215, 'f')}}),
    rowName);

} // namespace
