#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "averaging/auto_tree.h"
#include "averaging/fixed_positions.h"
#include "averaging/tree_keys.h"
#include "formats/format_test_util.h"
#include "formats/registry.h"
#include "records/memory_unit.h"
#include "test_files.h"

namespace ringave {
namespace {

std::vector<Field<8>> fields(const std::vector<std::string>& ids) {
  std::vector<Field<8>> out;
  for (const std::string& id : ids) out.emplace_back(id.c_str());
  return out;
}

// ID styles, real and made up: the positions chosen, or a part of the reason for a refusal.
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

std::vector<Field<8>> ids_of(const std::string& name, bool tucson) {
  testing::Recorder rec;
  MemoryUnit unit(testing::test_data(name), 12);
  testing::OwnedSeries v;
  std::vector<Field<8>> ids;
  const auto series = make_reader(tucson ? Format::tucson : Format::compact, unit, rec);
  while (series->next(v.s) == SeriesRead::series)
    ids.push_back(v.s.id);
  return ids;
}

// The tree ID of every series by the positions first-last.
std::vector<std::string> trees_of(const std::vector<Field<8>>& ids, std::int32_t first, std::int32_t last) {
  const TreePartition p = partition_trees(FixedPositions(first, last, TreeSites::own), ids);
  std::vector<std::string> trees;
  for (const std::int32_t k : p.tree) trees.push_back(p.tree_ids[static_cast<std::size_t>(k)].str());
  return trees;
}

// Every real file: the positions chosen give every series the tree ID that
// the positions of the collection's list give it (so the same trees too).
TEST(AutoTreeTest, RealFilesGiveTheTreesOfTheirListedPositions) {
  const struct { const char* name; std::int32_t first, last; } listed[] = {
      {"ca533.rwl", 4, 5}, {"ca533_p001.rwl", 4, 5}, {"ca533_cmp.cmp", 4, 5}, {"wa082.rwl", 4, 5},
      {"wa082_p001.rwl", 4, 5}, {"wa082_cmp.cmp", 4, 5}, {"nm046.rwl", 4, 5}, {"nm046_p001.rwl", 4, 5},
      {"nm046_cmp.cmp", 4, 5}, {"anos1.rwl", 6, 7}, {"anos1_p001.rwl", 6, 7}, {"anos1_cmp.cmp", 6, 7},
      {"gp.rwl", 1, 2}, {"gp_p001.rwl", 1, 2}, {"gp_cmp.cmp", 1, 2},
  };
  for (const auto& f : listed) {
    SCOPED_TRACE(f.name);
    const std::vector<Field<8>> ids = ids_of(f.name, std::string(f.name).ends_with(".rwl"));
    ASSERT_GT(ids.size(), 0u);
    const TreeChoice got = choose_tree_positions(ids);
    ASSERT_TRUE(got.chosen()) << got.why;
    EXPECT_EQ(trees_of(ids, got.key_first, got.key_last), trees_of(ids, f.first, f.last));
  }
}

}  // namespace
}  // namespace ringave
