#include <gtest/gtest.h>

#include "records/reporter.h"
#include "run/check_report.h"

namespace ringave {
namespace {

// The report's rows as written: quoted IDs, signed shifts and segment lags,
// empty cells for what a core does not have, only the flagged rows on request.
TEST(CheckReportTest, RowsAndNotes) {
  CheckReport report;
  CoreCheck shifted{Flag::shifted, Basis::master, 865, -0.09F, 10, 0.7214F, 0.712F, {{1650, 1}, {-50, -2}}};
  CoreCheck short_core;
  short_core.overlap = 41;
  CoreCheck ok{Flag::ok, Basis::tree, 120, 0.6F, 0, 0.6F, 0.6F, {}};
  report.cores = {{"CAM072", "CAM07", 1104, 1973, shifted}, {"A,\"B\"", "A,", -60, -20, short_core},
                  {"X1", "X", 1, 200, ok}};
  TextSink all, flagged;
  write_check_csv(all, report, false);
  write_check_csv(flagged, report, true);
  const std::string header = "series,tree,first,last,basis,overlap,r,shift,r_at_shift,tree_r,flag,segments\n";
  const std::string rows =
      "CAM072,CAM07,1104,1973,master,865,-0.090,+10,0.721,0.712,shifted,1650-1699:+1;-50--1:-2\n"
      "\"A,\"\"B\"\"\",\"A,\",-60,-20,,41,,,,,short,\n";
  EXPECT_EQ(all.text(), header + rows + "X1,X,1,200,tree,120,0.600,0,0.600,0.600,ok,\n");
  EXPECT_EQ(flagged.text(), header + rows);
  EXPECT_EQ(check_counts(report), "checked: 1 ok, 1 shifted, 1 short");
  EXPECT_EQ(misdated(report), 1);
  EXPECT_EQ(check_note(shifted) + "|" + check_note(short_core) + "|" + check_note(ok), "shifted +10|short|");
}

}  // namespace
}  // namespace ringave
