#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "averaging/tree_keys.h"
#include "averaging/treemean.h"
#include "formats/format_test_util.h"

namespace ringave {
namespace {

// Series of one value each, averaged with their tree numbers at 4-5.
struct Trees {
  std::vector<std::string> ids;
  std::vector<float> values;
  std::string warnings;
};

Trees average(const std::vector<std::pair<const char*, float>>& cores, TreeSites sites) {
  Trees out;
  const std::size_t n = cores.size();
  std::vector<Field<8>> ids;
  std::vector<std::int32_t> first(n, 1990), last(n, 1990), count(n, 1), keys(n), distinct(n), tree_first(n),
      tree_last(n), last_rows(n);
  std::vector<IdRow> id_rows(n);
  std::vector<float> values, sums(10), year_counts(10);
  for (const auto& [id, v] : cores) ids.emplace_back(id), values.push_back(v);
  CoreTable t{ids, first, last, count, values, 1, static_cast<std::int32_t>(n)};
  AveragingWork w{keys, distinct, sums, year_counts, tree_first, tree_last, last_rows, id_rows};
  testing::Recorder said;
  const std::int32_t trees = treemean(t, w, 4, 5, said, sites);
  out.warnings = said.said;
  for (std::int32_t k = 0; k < trees; ++k) out.ids.push_back(ids[k].str()), out.values.push_back(values[k]);
  return out;
}

// Trees of two sites with the same numbers stay apart under their own site
// codes; the dialogue's rule merges them under the first site's code.
TEST(OwnSitesTest, SitesKeptApart) {
  const std::vector<std::pair<const char*, float>> cores = {
      {"AAA011", 1}, {"BBB011", 10}, {"AAA012", 3}, {"BBB021", 20}, {"AAA021", 5}};
  const Trees own = average(cores, TreeSites::own);
  EXPECT_EQ(own.ids, (std::vector<std::string>{"AAA01   ", "BBB01   ", "BBB02   ", "AAA02   "}));
  EXPECT_EQ(own.values, (std::vector<float>{2, 10, 20, 5}));
  EXPECT_EQ(own.warnings, "");  // no word about other site codes: they are kept apart
  const Trees first = average(cores, TreeSites::first_series);
  EXPECT_EQ(first.ids, (std::vector<std::string>{"AAA01   ", "AAA02   "}));
  EXPECT_EQ(first.values, (std::vector<float>{14.0f / 3, 12.5f}));
  EXPECT_NE(first.warnings.find("site code \"BBB\" differs"), std::string::npos) << first.warnings;
}

TEST(OwnSitesTest, OneSiteGivesTheSameTreesEitherWay) {
  const std::vector<std::pair<const char*, float>> cores = {{"CAM011", 1}, {"CAM02 ", 2}, {"CAM 12", 3}, {"CAM2 1", 4}};
  const Trees own = average(cores, TreeSites::own), first = average(cores, TreeSites::first_series);
  EXPECT_EQ(own.ids, first.ids);
  EXPECT_EQ(own.values, first.values);
  EXPECT_EQ(own.ids, (std::vector<std::string>{"CAM01   ", "CAM02   "}));
}

// The key of a row is the first row of its site and number.
TEST(OwnSitesTest, KeysLeadToTheFirstRowOfTheTree) {
  // Rows past the four in use keep what they hold.
  const std::vector<Field<8>> ids = {Field<8>("AB071"), Field<8>("CD071"), Field<8>("AB072"), Field<8>("CD 71"),
                                     Field<8>("AB071")};
  std::vector<std::int32_t> keys = {7, 7, 7, 7, 7}, scratch(5);
  EXPECT_TRUE(key_by_own_site(ids, keys, scratch, 4, 3, 4));
  EXPECT_EQ(keys, (std::vector<std::int32_t>{0, 1, 0, 1, 7}));
  EXPECT_EQ(own_site_tree_id(ids, 1, 3, 4).str(), "CD07    ");
  // One site code: the tree numbers stay the keys.
  keys = {7, 8, 7, 9, 5};
  EXPECT_FALSE(key_by_own_site(ids, keys, scratch, 4, 1, 2));  // no site code at all
  EXPECT_EQ(keys, (std::vector<std::int32_t>{7, 8, 7, 9, 5}));
}

}  // namespace
}  // namespace ringave
