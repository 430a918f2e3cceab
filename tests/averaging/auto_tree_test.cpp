#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "averaging/auto_tree.h"

namespace ringave {
namespace {

std::vector<Field<8>> fields(const std::vector<std::string>& ids) {
  std::vector<Field<8>> out;
  for (const std::string& id : ids) out.emplace_back(id.c_str());
  return out;
}

// ID styles, real and made up: the positions chosen, or a part of the reason for a refusal.
// (Scenario cli_auto_realdata chooses them for every real file, its tree files pinned byte for
// byte and the same as those of the listed positions, realdata_list.)
TEST(AutoTreeTest, IdStyles) {
  const struct { std::vector<std::string> ids; std::int32_t first, last; const char* why; } cases[] = {
      {{"CAM011", "CAM012", "CAM021", "CAM191", "CAM211"}, 4, 5, ""},     // ca533: site, tree, core digit
      {{"644011", "644021", "644081"}, 4, 5, ""},                         // nm046: one core per tree, all digits
      {{"712011", "712012", "712121", "712122"}, 4, 5, ""},               // wa082
      {{"ANOS111K", "ANOS101G", "ANOS114K", "ANOS105O"}, 6, 7, ""},       // anos1: a site digit before the tree
      {{"01A", "01B", "59A", "40B"}, 1, 2, ""},                           // gp: no site code
      {{"BCS05B", "BCS05A", "BCS12C"}, 4, 5, ""},                         // letters after the number
      {{"ZOF01a", "ZOF01b", "ZOF28", "ZOF35b"}, 4, 5, ""},                // ZOF28: tree 28, one core
      {{"ZOF01a", "ZOFG8"}, 0, 0, "only digit"},                          // G8 is no tree number
      {{"ZOF01a", "ZO101b", "ZOF28"}, 0, 0, "different columns"},         // lettered digit runs differ
      {{"AKK00010"}, 6, 7, ""},                                           // one series: at least two digits
      {{"538132", "538141", "538242"}, 4, 5, ""},                         // Tucson7
      {{"XY1011", "XY1012", "XY9991"}, 3, 5, ""},                         // trees past 99
      {{"AB1101", "AB1102", "AB1201"}, 4, 5, ""},                         // trees past 9, a constant digit before
      {{"AB011", "CD011", "CD021"}, 3, 4, ""},                            // two sites, same tree numbers
      {{"T01", "T02", "T10"}, 2, 2, ""},                                   // tree and core digit: T0 and T1
      {{"ABC12A3", "ABC12B1", "ABC13A1"}, 4, 5, ""},                      // a core of letter and digit
      {{"BDF02A", "BDFH40A"}, 0, 0, "different columns"},                 // viet001: two layouts
      {{"SeriesA", "SeriesB"}, 0, 0, "holds no digit"},
      {{"ABC011", "        "}, 0, 0, "holds no digit"},                   // a blank ID
      {{"ABCD1", "ABCD2"}, 0, 0, "only digit"},                           // tree or core? not convincing
      {{"TREE01", "TREE02", "TREE03", "TREE04", "TREE05", "TREE06", "TREE07"}, 0, 0, "takes 7 values"},
      {{}, 0, 0, "no series IDs"},
  };
  for (const auto& c : cases) {
    const std::vector<Field<8>> ids = fields(c.ids);
    const TreeChoice got = choose_tree_positions(ids);
    SCOPED_TRACE(c.ids.empty() ? "(none)" : c.ids[0]);
    EXPECT_EQ(std::pair(got.key_first, got.key_last), std::pair(c.first, c.last)) << got.why;
    EXPECT_NE(got.why.find(c.why), std::string::npos) << got.why;
  }
}

}  // namespace
}  // namespace ringave
