#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "averaging/fixed_positions.h"
#include "averaging/text_rules.h"
#include "averaging/tree_keys.h"
#include "averaging/treemean.h"
#include "formats/format_test_util.h"
#include "records/outcome.h"

namespace ringave {
namespace {

// The fixed-positions rule: the tree ID of each series (blanks around the number do not count; two
// sites apart under their own site codes, together under the first's), or the first series whose
// tree number does not read, with what its positions hold.
TEST(FixedPositionsTest, TreesOfSeries) {
  using enum TreeSites;
  const struct { std::int32_t first, last; TreeSites sites; std::vector<std::string> ids; std::string got; } cases[] = {
      {4, 5, first_series, {"ABC07A", "ABC7 A", "ABC 7A", "ABC08"}, "ABC07 ABC07 ABC07 ABC08 "},
      {2, 4, own, {"X001A"}, "X001 "},
      {1, 3, own, {"7  A"}, "007 "},
      {4, 5, own, {"AAA011", "BBB011", "AAA012", "BBB021", "AAA021"}, "AAA01 BBB01 AAA01 BBB02 AAA02 "},
      {4, 5, first_series, {"AAA011", "BBB011", "AAA012", "BBB021", "AAA021"}, "AAA01 AAA01 AAA01 AAA02 AAA02 "},
      {4, 5, own, {"ABC07A", "ABC  A"}, "2 \"  \" Attempt to read past end of file"},
      {4, 5, own, {"ABC,7A"}, "1 \",7\" Attempt to read past end of file"},  // a comma first: a null value
      {4, 5, first_series, {"ABC0XA"}, "1 \"0X\" Illegal character in numeric input"},
      {4, 5, first_series, {"ABC-7A"}, "1 \"-7\" Illegal character in numeric input"},  // a tree ID would not read back
  };
  for (const auto& c : cases) {
    const std::vector<Field<8>> ids(c.ids.begin(), c.ids.end());
    const TreePartition p = partition_trees(FixedPositions(c.first, c.last, c.sites), ids);
    std::string got;
    for (const std::int32_t k : p.tree) got.append(p.tree_ids[std::size_t(k)]).append(" ");
    if (const auto& bad = p.unreadable) got = std::to_string(bad->row + 1) + " \"" + bad->held + "\" " + bad->message;
    EXPECT_EQ(got, c.got) << c.ids[0];
  }
}

// Trees in order of first appearance, whatever order the keys come in.
TEST(TreeKeysTest, GroupByTree) {
  const struct { std::vector<std::int32_t> keys, trees, distinct; } cases[] = {
      {{7, 12, 7, 3, 12}, {0, 1, 0, 2, 1}, {7, 12, 3}},
      {{1, 1, 2, 2, 2, 3}, {0, 0, 1, 1, 1, 2}, {1, 2, 3}},       // cores in a row, rising keys
      {{5, 4, 3, 5, 4, 3}, {0, 1, 2, 0, 1, 2}, {5, 4, 3}},       // falling keys
      {{3, 3, 1, 2, 1, 3, 9}, {0, 0, 1, 2, 1, 0, 3}, {3, 1, 2, 9}},
      {{-5, -7, -5, 0}, {0, 1, 0, 2}, {-5, -7, 0}},
      {{0, 0}, {0, 0}, {0}},
  };
  for (const auto& c : cases) {
    std::vector<std::int32_t> keys = c.keys, distinct(keys.size());
    const std::int32_t trees = group_by_tree(keys, static_cast<std::int32_t>(keys.size()), distinct);
    distinct.resize(static_cast<std::size_t>(trees));
    EXPECT_EQ(std::tuple(keys, distinct), std::tuple(c.trees, c.distinct)) << ::testing::PrintToString(c.keys);
  }
}

struct Table {
  std::int32_t length, rows = 0;
  std::vector<float> values;
  std::vector<Field<8>> ids;
  std::vector<std::int32_t> first, last, count;
  std::vector<std::int32_t> keys = std::vector<std::int32_t>(ids.size()), distinct = keys, tree_first = keys,
                            tree_last = keys, last_rows = keys;
  std::vector<IdRow> id_rows = std::vector<IdRow>(ids.size());
  std::vector<std::string> tree_ids = std::vector<std::string>(ids.size()), names;  // names: none, or one a row
  std::vector<float> sums = std::vector<float>(3001), year_counts = sums;
  testing::Recorder said;
  Table(std::int32_t len, std::size_t n) : length(len), values(n * len), ids(n), first(n), last(n), count(n) {}
  void add(const char* id, std::int32_t year, const std::vector<float>& v) {
    const std::size_t r = std::size_t(rows++);
    std::tie(ids[r], first[r], count[r]) = std::tuple(Field<8>(id), year, std::int32_t(v.size()));
    last[r] = std::int32_t(std::int64_t(year) + count[r] - 1);
    std::copy(v.begin(), v.end(), values.begin() + r * length);
  }
  void average(std::int32_t key_first, std::int32_t key_last, TreeSites sites = TreeSites::first_series) {
    average(FixedPositions(key_first, key_last, sites));
  }
  void average(const KeyRule& rule) {
    CoreTable t{ids, first, last, count, values, std::size_t(length), rows, "f.rwl", names};
    AveragingWork w{keys, distinct, sums, year_counts, tree_first, tree_last, last_rows, id_rows, tree_ids};
    rows = treemean(t, w, rule, said);
    EXPECT_EQ(std::count(sums.begin(), sums.end(), 0.0f) + std::count(year_counts.begin(), year_counts.end(), 0.0f), 6002);
  }
  // Row r's values, a missing one (not a number) as -1.
  std::vector<float> row(std::size_t r) const {
    std::vector<float> v(&values[r * length], &values[r * length] + count[r]);
    for (float& x : v) x = std::isnan(x) ? -1.0f : x;
    return v;
  }
  bool operator==(const Table& o) const {
    return std::tie(length, rows, ids, first, last, count, sums, year_counts) ==
               std::tie(o.length, o.rows, o.ids, o.first, o.last, o.count, o.sums, o.year_counts) &&
           std::equal(values.begin(), values.end(), o.values.begin(), o.values.end(),
                      [](float a, float b) { return a == b || (std::isnan(a) && std::isnan(b)); });
  }
};

// Each year keeps its place; an empty core covers no year; a missing value (not a number) covers its
// year but counts for nothing; a year without a value is not a number (-1 here); means are
// single-precision sums in table order.
constexpr float kNaN = NAN;
static_assert((1.234f + 0.587f + 2.909f) / 3 != (1.234f + (0.587f + 2.909f)) / 3);
TEST(TreemeanTest, GapYearsZeroSumsMissingValuesAndEmptyCores) {
  const struct {
    std::vector<std::pair<std::int32_t, std::vector<float>>> cores;
    std::int32_t first;
    std::vector<float> want;
  } cases[] = {
      {{{1900, {1, 2}}, {1905, {6, 7}}}, 1900, {1, 2, -1, -1, -1, 6, 7}},  // a gap has no value
      {{{1900, {1, 0.5f, 3}}, {1901, {-0.5f, 5}}}, 1900, {1, 0, 4}},       // a year summing to 0 is kept
      {{{1700, {}}, {1900, {1, 2}}}, 1900, {1, 2}},                         // an empty core is ignored
      {{{1900, {1, kNaN, 3}}, {1900, {3, 4, 5}}}, 1900, {2, 4, 4}},         // a missing value counts for nothing
      {{{1900, {1, kNaN, 3}}}, 1900, {1, -1, 3}},                            // a year of missing values only
      {{{1899, {kNaN, 1, 2, kNaN}}, {1890, {kNaN}}, {1900, {3}}}, 1890,     // missing at the ends: still covered
       {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 2, 2, -1}},
      {{{1900, {1.234f}}, {1900, {0.587f}}, {1900, {2.909f}}}, 1900, {(1.234f + 0.587f + 2.909f) / 3}},
      {{{1900, {kNaN, kNaN}}, {1950, {kNaN}}}, 1900, {}},  // every year missing: no tree series
  };
  for (const auto& c : cases) {
    Table t(60, c.cores.size());
    const char* ids[] = {"T1A", "T1B", "T1C"};
    for (const auto& [year, v] : c.cores) t.add(ids[t.rows], year, v);
    t.average(2, 2);
    EXPECT_EQ(std::tuple(t.rows, t.first[0], t.row(0)), std::tuple(1, c.first, c.want));
    EXPECT_EQ(t.said.said, c.want.empty() ? "warning: tree T1: every year of its cores is a missing value; the tree is not written\n" : "");
  }
}

// Means bit for bit as single-precision sums in table order, one value at a
// time, give them: cores of interleaved trees with spans of their own, long
// enough for the averaging's blocks of years, with missing values alone
// and in runs, -0, infinities; a year without a value is not a number.
TEST(TreemeanTest, MeansBitForBitAsSummedOneByOne) {
  std::mt19937 rng(2001);
  for (int round = 0; round < 40 && !HasFailure(); ++round) {
    const std::size_t cores = 1 + rng() % 12;
    Table t(440, cores);
    for (std::size_t c = 0; c < cores; ++c) {
      std::vector<float> v(rng() % 5 == 0 ? rng() % 20 : rng() % 400);
      const unsigned missing = rng() % 3 == 0 ? 0 : 1 + rng() % 60;  // one value in `missing` is, runs of them too
      for (std::size_t j = 0; j < v.size(); ++j) {
        const unsigned r = rng();
        v[j] = missing != 0 && r % missing == 0 ? (j > 0 && r % 2 ? v[j - 1] : NAN)
               : r % 997 == 0 ? (r % 3 == 0 ? -0.0f : r % 3 == 1 ? INFINITY : -INFINITY)
                              : static_cast<float>(rng() % 100000) * 0.00037f;
      }
      const std::string id = "T" + std::to_string(rng() % 4) + std::string(1, static_cast<char>('A' + c));
      t.add(id.c_str(), 1900 + static_cast<std::int32_t>(rng() % 40), v);
    }
    const Table before = t;
    t.average(2, 2);
    for (std::int32_t k = 0; k < t.rows; ++k) {
      // Tree k as one-by-one sums: its cores are the rows whose ID names its number.
      std::vector<std::uint32_t> want, got;
      for (std::int32_t year = t.first[k]; t.count[k] > 0 && year <= t.last[k]; ++year) {
        float sum = 0.0f, n = 0.0f;
        for (std::int32_t r = 0; r < before.rows; ++r) {
          const std::int32_t j = year - before.first[r];
          const float v = j >= 0 && j < before.count[r] ? before.values[r * 440 + j] : NAN;
          if (before.ids[r].col(2) == t.ids[k].col(2) && !std::isnan(v)) sum += v, n += 1.0f;
        }
        want.push_back(std::bit_cast<std::uint32_t>(n > 0 ? sum / n : std::numeric_limits<float>::quiet_NaN()));
        got.push_back(std::bit_cast<std::uint32_t>(t.values[k * 440 + (year - t.first[k])]));
      }
      EXPECT_EQ(got, want) << "round " << round << ", tree " << t.ids[k].str();
    }
  }
}

// The year sums hold 3001 years; a wider span, or a year past 2^31-1, stops the run before any change.
TEST(TreemeanTest, SpanBeyondTheYearSumsStopsTheRun) {
  const struct { std::int32_t first, second, n; bool stops; } cases[] = {
      {1000, 4000, 1, false}, {1000, 4001, 1, true}, {INT32_MAX - 1, INT32_MAX - 1, 5, true}};
  for (const auto& c : cases) {
    Table t(3001, 2);
    t.add("T1A", c.first, {1});
    t.add("T1B", c.second, std::vector<float>(c.n, 1));
    const Table before = t;
    try {
      t.average(2, 2);
      EXPECT_EQ(std::tuple(c.stops, t.rows, t.count[0]), std::tuple(false, 1, 3001)) << c.second;
    } catch (const Error& s) {
      EXPECT_EQ(std::tuple(c.stops, s.status, t == before), std::tuple(true, 1, true)) << c.second;
    }
  }
}

// Series of another site and IDs that occur again are named, in row order; the trees are averaged all the
// same. Kept by their own site codes, the sites' trees stay apart and are not warned of.
TEST(TreemeanTest, OtherSitesAndRepeatedIds) {
  const std::string cd = " CD01A: site code \"CD\" differs from \"AB\" of the first series; its tree is written under \"AB\"\n",
                    cd2 = "warning: series 2" + cd, cd5 = "warning: series 5" + cd,
                    twice3 = "warning: series 3 AB01A: the ID occurs twice, as series 1 and 3; both are averaged as cores\n",
                    twice56 = "warning: series 5 CD01A: the ID occurs twice, as series 2 and 5; both are averaged as cores\n"
                              "warning: series 6 AB01A: the ID occurs twice, as series 1 and 6; both are averaged as cores\n";
  const struct { TreeSites sites; std::vector<float> means; std::string said; } cases[] = {
      {TreeSites::first_series, {(1.0f + 2 + 3 + 5 + 6) / 5, 4}, cd2 + twice3 + cd5 + twice56},
      {TreeSites::own, {(1.0f + 3 + 6) / 3, (2.0f + 5) / 2, 4}, twice3 + twice56},
  };
  for (const auto& c : cases) {
    Table t(4, 6);
    for (const char* id : {"AB01A", "CD01A", "AB01A", "AB02A", "CD01A", "AB01A"}) t.add(id, 1900, {float(t.rows + 1)});
    t.average(3, 4, c.sites);
    std::vector<float> means;
    for (std::int32_t k = 0; k < t.rows; ++k) means.push_back(t.values[std::size_t(k) * 4]);
    EXPECT_EQ(std::tuple(means, t.said.said), std::tuple(c.means, c.said));
  }
}

// Whole IDs: two series whose first 8 characters agree are two IDs, one that
// occurs twice is named whole, and a tree ID longer than 8 characters keeps
// its first 8 in the ID field and all of it among the names.
TEST(TreemeanTest, WholeIdsAndLongTreeIds) {
  Table t(4, 3);
  t.names = {"ABCDEFGH-1", "ABCDEFGH-2", "ABCDEFGH-1"};
  for (const std::string& id : t.names) t.add(id.c_str(), 1900, {float(t.rows + 1)});
  t.average(IdRule());
  EXPECT_EQ(std::tuple(t.rows, t.ids[0].str(), t.names[0], t.names[1], t.values[0], t.values[4]),
            std::tuple(2, std::string("ABCDEFGH"), std::string("ABCDEFGH-1"), std::string("ABCDEFGH-2"), 2.0f, 2.0f));
  EXPECT_EQ(t.said.said,
            "warning: series 3 ABCDEFGH-1: the ID occurs twice, as series 1 and 3; both are averaged as cores\n");
}

}  // namespace
}  // namespace ringave
