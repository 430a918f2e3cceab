// List-directed reading: separators, null values, "/", repeat counts,
// quoted and unquoted character values, reals, records and end of file.

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "records/field.h"
#include "records/memory_unit.h"
#include "records/transfer.h"

namespace ringave {
namespace {

// A name and three numbers (the shape of a list-file entry, whose plain
// cases tests/run/list_file_test.cpp covers); "old" and -1 where an item
// keeps its old value. (Logicals and single numbers are read through the
// console's answers.)
TEST(ListRead, NullsRepeatsQuotesAndFaults) {
  const struct { const char* records; const char* name; std::int32_t format, start, stop; Outcome want{}; }
  cases[] = {
      {"\tbcc.rwl\t2 ,4\n,5 more", "bcc.rwl", 2, 4, 5},  // record end then comma: one separator
      {"\"it's, here\" 1 2 4", "it's, here", 1, 2, 4},
      {"'it''s' 1 2 4", "it's", 1, 2, 4},
      {"'ab c", "ab c", -1, -1, -1, Outcome::end_of_file},  // an unclosed quote ends with the record
      {"site.rwl,,2,3", "site.rwl", -1, 2, 3}, {",1,2,3", "old", 1, 2, 3},
      {"site.rwl 2*\n9", "site.rwl", -1, -1, 9}, {"site.rwl 2*7 9", "site.rwl", 7, 7, 9},
      {"a.rwl 1", "a.rwl", 1, -1, -1, Outcome::end_of_file},  // what was read is kept
      {"2*x 5 6", "x", -1, -1, -1, Outcome::error},            // the second x goes to an integer
      {"a.rwl 0*5", "a.rwl", -1, -1, -1, Outcome::error}, {"a.rwl 4294967296", "a.rwl", -1, -1, -1, Outcome::error},
      {"a.rwl 2 '4' 5", "a.rwl", 2, -1, -1, Outcome::error},  // a quoted number
  };
  for (const auto& c : cases) {
    MemoryUnit src(c.records);
    Field<50> name("old");
    std::int32_t format = -1, start = -1, stop = -1;
    EXPECT_EQ(read_list_directed(src, {name, format, start, stop}, Handles::both), c.want) << c.records;
    EXPECT_EQ(name.trimmed(), c.name) << c.records;
    EXPECT_EQ((std::vector{format, start, stop}), (std::vector{c.format, c.start, c.stop})) << c.records;
  }
}

TEST(ListRead, StatementsRecordsAndReals) {
  MemoryUnit src("1 2 3\n4\n1.5 2*2.5e1 -25 abcdefgh");  // a real without a point has no decimals
  std::int32_t a = 0;
  ASSERT_EQ(read_list_directed(src, {a}), Outcome::done);
  ASSERT_EQ(read_list_directed(src, {a}), Outcome::done);  // the rest of "1 2 3" was skipped
  EXPECT_EQ(a, 4);
  float run[3] = {}, r = 0;
  Field<4> cut;
  ASSERT_EQ(read_list_directed(src, {std::span<float>(run), r, cut}), Outcome::done);
  EXPECT_EQ(std::vector<float>({run[0], run[1], run[2], r}), std::vector<float>({1.5f, 25.0f, 25.0f, -25.0f}));
  EXPECT_EQ(cut.view(), "abcd");
  EXPECT_EQ(read_list_directed(src, {a}, Handles::error), Outcome::error);  // end of file, error branch only
}

}  // namespace
}  // namespace ringave
