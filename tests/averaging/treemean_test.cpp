#include "averaging/treemean.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "records/outcome.h"

namespace ringave {
namespace {

// A small series table whose unused slots hold a marker, so that a value
// written where it should not be shows.
struct Table {
  std::int32_t length, limit, rows = 0;
  std::vector<float> values;
  std::vector<Field<8>> ids;
  std::vector<std::int32_t> first, last, count;

  Table(std::int32_t length_limit, std::int32_t series_limit)
      : length(length_limit), limit(series_limit), values(std::size_t(length_limit) * series_limit, -123.25f),
        ids(series_limit, Field<8>("OLD_ROW")), first(series_limit, -1), last(series_limit, -1),
        count(series_limit, -1) {}

  void add(const char* id, std::int32_t first_year, const std::vector<float>& v) {
    const std::size_t r = std::size_t(rows++);
    ids[r] = Field<8>(id);
    first[r] = first_year;
    count[r] = std::int32_t(v.size());
    last[r] = std::int32_t(std::int64_t(first_year) + count[r] - 1);
    std::copy(v.begin(), v.end(), values.begin() + r * length);
  }
  template <typename F>
  void add_fn(const char* id, std::int32_t first_year, std::int32_t n, F f) {
    std::vector<float> v;
    for (std::int64_t y = first_year; y < std::int64_t(first_year) + n; ++y) v.push_back(f(y));
    add(id, first_year, v);
  }
  void average(std::int32_t start, std::int32_t stop) {
    treemean(length, limit, values, ids, first, last, count, rows, start, stop);
  }
  // Row (1-based) value of a year, and all values of a row.
  float at(std::int32_t row, std::int32_t year) const {
    return values[std::size_t(row - 1) * length + std::size_t(year - first[row - 1])];
  }
  std::vector<float> row_values(std::int32_t row) const {
    auto begin = values.begin() + std::size_t(row - 1) * length;
    return std::vector<float>(begin, begin + count[row - 1]);
  }
  bool same(const Table& o) const {
    return rows == o.rows && values == o.values && ids == o.ids && first == o.first && last == o.last &&
           count == o.count;
  }
};

std::uint32_t bits(float f) {
  std::uint32_t u;
  std::memcpy(&u, &f, sizeof u);
  return u;
}

float core_a(std::int64_t y) { return 0.5f + 0.013f * float(y % 37); }
float core_b(std::int64_t y) { return 1.25f - 0.007f * float(y % 23); }
float core_c(std::int64_t y) { return 0.3f + 0.011f * float(y % 11); }

TEST(TreemeanTest, TreesInOrderOfFirstAppearance) {
  struct Case {
    std::vector<const char*> ids;
    std::vector<const char*> tree_ids;
    std::vector<float> means;  // the cores hold 1, 2, 3, ... in table order
  };
  const Case cases[] = {
      {{"ABC07A", "ABC12A", "ABC07B", "ABC03A", "ABC12B"}, {"ABC07   ", "ABC12   ", "ABC03   "}, {2, 3.5f, 4}},
      {{"ABC05A", "ABC03A", "ABC05B", "ABC03B"}, {"ABC05   ", "ABC03   "}, {2, 3}},
      // The site code comes from series 1 only; blanks and zeros in the field alike.
      {{"ABC07A", "XYZ 7B", "QQ 3 A", "AB003C"}, {"ABC07   ", "ABC03   "}, {1.5f, 3.5f}},
  };
  for (const Case& c : cases) {
    Table t(10, 6);
    for (const char* id : c.ids) t.add(id, 1900, {float(t.rows + 1)});
    t.average(4, 5);
    ASSERT_EQ(t.rows, std::int32_t(c.tree_ids.size())) << c.ids[0];
    for (std::size_t k = 0; k < c.tree_ids.size(); ++k) {
      EXPECT_EQ(t.ids[k].view(), c.tree_ids[k]);
      EXPECT_EQ(t.at(std::int32_t(k + 1), 1900), c.means[k]) << c.tree_ids[k];
    }
  }
}

TEST(TreemeanTest, OverlappingCores) {
  Table t(100, 2);
  t.add_fn("ABC01A", 1900, 51, core_a);
  t.add_fn("ABC01B", 1920, 61, core_b);
  t.average(4, 5);
  ASSERT_EQ(t.rows, 1);
  EXPECT_EQ(t.ids[0].view(), "ABC01   ");
  EXPECT_EQ(t.first[0], 1900);
  EXPECT_EQ(t.count[0], 81);
  EXPECT_EQ(t.last[0], 1980);
  for (std::int32_t y = 1900; y <= 1980; ++y) {
    const float want = y < 1920 ? core_a(y) : y <= 1950 ? (core_a(y) + core_b(y)) / 2.0f : core_b(y);
    EXPECT_EQ(bits(t.at(1, y)), bits(want)) << y;
  }
}

TEST(TreemeanTest, InterleavedTreesLeaveLaterRowsAlone) {
  Table t(100, 3);
  t.add_fn("ABC01A", 1900, 51, core_a);
  t.add_fn("ABC02A", 1910, 51, core_b);
  t.add_fn("ABC01B", 1920, 61, core_c);
  const Table before = t;
  t.average(4, 5);
  ASSERT_EQ(t.rows, 2);
  EXPECT_EQ(t.ids[0].view(), "ABC01   ");
  EXPECT_EQ(t.first[0], 1900);
  EXPECT_EQ(t.count[0], 81);
  EXPECT_EQ(t.last[0], 1980);
  EXPECT_EQ(bits(t.at(1, 1919)), bits(core_a(1919)));
  EXPECT_EQ(bits(t.at(1, 1930)), bits((core_a(1930) + core_c(1930)) / 2.0f));
  EXPECT_EQ(bits(t.at(1, 1980)), bits(core_c(1980)));
  EXPECT_EQ(t.ids[1].view(), "ABC02   ");
  EXPECT_EQ(t.first[1], 1910);
  EXPECT_EQ(t.count[1], 51);
  EXPECT_EQ(t.last[1], 1960);
  EXPECT_EQ(t.row_values(2), before.row_values(2));
  // Row 3 is as it was.
  EXPECT_EQ(t.ids[2], before.ids[2]);
  EXPECT_EQ(t.first[2], 1920);
  EXPECT_EQ(t.row_values(3), before.row_values(3));
}

TEST(TreemeanTest, SingleCoreIsReproducedBitExactly) {
  Table t(40, 1);
  const std::vector<float> v = {0.1f, 0.0f, -0.25f, 3.0e-7f, 12.345f, 1.0f / 3.0f, 65.535f};
  t.add("X001A", -5, v);
  t.average(2, 4);
  ASSERT_EQ(t.rows, 1);
  EXPECT_EQ(t.ids[0].view(), "X001    ");
  EXPECT_EQ(t.first[0], -5);
  EXPECT_EQ(t.last[0], 1);
  ASSERT_EQ(t.count[0], 7);
  for (std::size_t j = 0; j < v.size(); ++j) EXPECT_EQ(bits(t.values[j]), bits(v[j])) << j;
}

// Every year of a tree's span keeps its place: a gap between cores holds 0, a
// year whose values sum to 0 holds that 0, and an empty core adds nothing.
TEST(TreemeanTest, EveryYearStaysInPlace) {
  struct Case {
    const char* name;
    std::vector<std::pair<std::int32_t, std::vector<float>>> cores;  // first year, values
    std::int32_t first;
    std::vector<float> want;
  };
  const Case cases[] = {
      {"gap", {{1900, {1, 2}}, {1905, {6, 7}}}, 1900, {1, 2, 0, 0, 0, 6, 7}},
      {"zero sum", {{1900, {1, 0.5f, 3}}, {1901, {-0.5f, 5}}}, 1900, {1, 0, 4}},
      {"zero values", {{1900, {0, 0, 2}}}, 1900, {0, 0, 2}},
      {"empty core first", {{1700, {}}, {1900, {1, 2}}}, 1900, {1, 2}},
      {"empty core later", {{1900, {1, 2}}, {2100, {}}}, 1900, {1, 2}},
  };
  for (const Case& c : cases) {
    Table t(20, 4);
    for (const auto& [year, v] : c.cores) t.add("T1", year, v);
    t.average(2, 2);
    ASSERT_EQ(t.rows, 1) << c.name;
    EXPECT_EQ(t.first[0], c.first) << c.name;
    EXPECT_EQ(t.row_values(1), c.want) << c.name;
    EXPECT_EQ(t.last[0], c.first + std::int32_t(c.want.size()) - 1) << c.name;
  }
}

TEST(TreemeanTest, EmptyCoresTakeNoPartInTheEarliestYear) {
  // Tree 1 has only an empty core, far before the others: it gets no values
  // and keeps its first year, and tree 2 still fits the year sums.
  Table t(10, 4);
  t.add("T1A", -100000, {});
  t.add("T2A", 1990, {1, 2, 3});
  t.add("T2B", 1992, {5});
  t.average(2, 2);
  ASSERT_EQ(t.rows, 2);
  EXPECT_EQ(t.ids[0].view(), "T1      ");
  EXPECT_EQ(t.count[0], 0);
  EXPECT_EQ(t.first[0], -100000);
  EXPECT_EQ(t.last[0], -100001);
  EXPECT_EQ(t.ids[1].view(), "T2      ");
  EXPECT_EQ(t.first[1], 1990);
  EXPECT_EQ(t.row_values(2), (std::vector<float>{1, 2, 4}));
}

TEST(TreemeanTest, MeansSumCoresInTableOrder) {
  // Three cores whose single-precision sum depends on the order of addition.
  const float a = 1.234f, b = 0.587f, c = 2.909f;
  float sum = a;
  sum += b;
  sum += c;
  const float want = sum / 3.0f;
  ASSERT_NE(bits(want), bits((a + (b + c)) / 3.0f));
  ASSERT_NE(bits(want), bits(float((double(a) + b + c) / 3.0)));

  Table t(10, 3);
  t.add("T1A", 1800, {a, 1});
  t.add("T1B", 1800, {b, 1});
  t.add("T1C", 1800, {c, 2});
  t.average(2, 2);
  ASSERT_EQ(t.rows, 1);
  EXPECT_EQ(bits(t.values[0]), bits(want));
  EXPECT_EQ(bits(t.values[1]), bits(4.0f / 3.0f));
}

TEST(TreemeanTest, NoSeriesOrAnUnreadableKeyLeaveTheTableUntouched) {
  Table t(10, 2);
  t.add("ABC01A", 1900, {1});
  t.add("ABC  B", 1900, {2});
  t.rows = 0;
  Table before = t;
  t.average(4, 5);
  EXPECT_TRUE(t.same(before));

  t.rows = before.rows = 2;
  try {
    t.average(4, 5);
    ADD_FAILURE() << "no error";
  } catch (const FatalError& e) {
    EXPECT_EQ(e.message, kReadPastEnd);
    EXPECT_EQ(e.unit, "INTERNAL");
  }
  EXPECT_TRUE(t.same(before));
}

TEST(TreemeanTest, YearsBeyondTheYearSumsStopTheRun) {
  const std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  const std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  struct Case {
    std::int32_t first1, n1, first2, n2;
    bool stops;
  };
  const Case cases[] = {
      {1000, 1, 4000, 1, false},         // ends at E + 3000: fits exactly
      {1000, 1, 4001, 1, true},          // one year too many
      {1000, 3001, 1000, 1, false},      // a full row
      {kMin, 1, kMax, 1, true},          // a span that overflows 32 bits
      {kMax - 1, 5, kMax - 1, 1, true},  // a series ending after the last year
      {-20000, 0, 1000, 3001, false},    // an empty core does not stretch the span
  };
  for (const Case& c : cases) {
    Table t(3001, 2);
    t.add_fn("T1A", c.first1, c.n1, core_a);
    t.add_fn("T1B", c.first2, c.n2, core_b);
    const Table before = t;
    if (!c.stops) {
      t.average(2, 2);
      ASSERT_EQ(t.rows, 1) << c.first2;
      EXPECT_EQ(t.count[0], 3001);
      EXPECT_EQ(t.last[0], t.first[0] + 3000);
      // Every case ends in the year 4000, which only one core covers.
      EXPECT_EQ(t.values[3000], c.first2 + c.n2 - 1 == 4000 ? core_b(4000) : core_a(4000));
      continue;
    }
    try {
      t.average(2, 2);
      ADD_FAILURE() << c.first2 << ": no stop";
    } catch (const Stop& s) {
      EXPECT_EQ(s.status, 1);
      EXPECT_EQ(s.message.find('\n'), std::string::npos);
      EXPECT_TRUE(s.message.find("3001") != std::string::npos || s.message.find("2147483647") != std::string::npos)
          << s.message;
    }
    EXPECT_TRUE(t.same(before));
  }
}

}  // namespace
}  // namespace ringave
