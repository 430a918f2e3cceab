// List-directed reading: separators, null values, "/", repeat counts,
// quoted and unquoted character values, logicals, records and end of file.

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "records/field.h"
#include "records/transfer.h"

namespace ringave {
namespace {

class LinesSource final : public RecordSource {
 public:
  explicit LinesSource(std::vector<std::string> lines) : lines_(std::move(lines)) {}
  bool next(std::string_view& record) override {
    if (taken_ >= lines_.size()) return false;
    record = lines_[taken_++];
    return true;
  }
  std::string unit_label() const override { return "12"; }

 private:
  std::vector<std::string> lines_;
  std::size_t taken_ = 0;
};

// List-file entries: a name, a format code and two positions; -1 and "old"
// where an item keeps its old value.
TEST(ListRead, ListFileEntries) {
  struct {
    std::vector<std::string> lines;
    const char* name;
    std::int32_t format, start, stop;
    Outcome want = Outcome::done;
  } cases[] = {
      {{" bcc.rwl_ind1.txt 2 4 5"}, "bcc.rwl_ind1.txt", 2, 4, 5},
      {{"bcc.rwl_ind1.txt,2,4,5"}, "bcc.rwl_ind1.txt", 2, 4, 5},
      {{"bcc.rwl_ind1.txt , 2 ,4,  5  more values"}, "bcc.rwl_ind1.txt", 2, 4, 5},
      {{"bcc.rwl_ind1.txt\t2\t4\t5"}, "bcc.rwl_ind1.txt", 2, 4, 5},
      {{"bcc.rwl 2", "4 5"}, "bcc.rwl", 2, 4, 5},
      {{"", "   ", "bcc.rwl 2 4 5"}, "bcc.rwl", 2, 4, 5},
      {{"bcc.rwl 2 4", ",5"}, "bcc.rwl", 2, 4, 5},  // record end then comma: one separator
      {{"data/site.rwl 1 2 4"}, "data", -1, -1, -1},
      {{"site.rwl 1/ 2 4"}, "site.rwl", 1, -1, -1},
      {{"'my dir/site.rwl' 1 2 4"}, "my dir/site.rwl", 1, 2, 4},
      {{"\"it's, here\" 1 2 4"}, "it's, here", 1, 2, 4},
      {{"'it''s' 1 2 4"}, "it's", 1, 2, 4},
      {{"'' 1 2 4"}, "", 1, 2, 4},
      {{"'ab c"}, "ab c", -1, -1, -1, Outcome::end_of_file},  // unclosed quote ends with the record
      {{"site.rwl,,2,3"}, "site.rwl", -1, 2, 3},
      {{",1,2,3"}, "old", 1, 2, 3},
      {{"site.rwl , , 2 , 3"}, "site.rwl", -1, 2, 3},
      {{"site.rwl 2*", "9"}, "site.rwl", -1, -1, 9},
      {{"site.rwl 3*7"}, "site.rwl", 7, 7, 7},
      {{"site.rwl 2*7 9"}, "site.rwl", 7, 7, 9},
      {{"a.rwl 1"}, "a.rwl", 1, -1, -1, Outcome::end_of_file},  // what was read is kept
      {{"2*x 5 6"}, "x", -1, -1, -1, Outcome::error},            // the second x goes to an integer
      {{"a.rwl 0*5"}, "a.rwl", -1, -1, -1, Outcome::error},
  };
  for (const auto& c : cases) {
    LinesSource src(c.lines);
    Field<50> name("old");
    std::int32_t format = -1, start = -1, stop = -1;
    EXPECT_EQ(read_list(src, {name, format, start, stop}, Handles::both), c.want) << c.lines[0];
    EXPECT_EQ(name.trimmed(), c.name) << c.lines[0];
    EXPECT_EQ(format, c.format) << c.lines[0];
    EXPECT_EQ(start, c.start) << c.lines[0];
    EXPECT_EQ(stop, c.stop) << c.lines[0];
  }
}

TEST(ListRead, LogicalAnswers) {
  for (const char* t : {"T", "t", "True", ".true", ".TRUE.", "  Tree", "'T'"}) {
    bool v = false;
    InternalSource src(t);
    ASSERT_EQ(read_list(src, {v}), Outcome::done);
    EXPECT_TRUE(v) << t;
  }
  for (const char* f : {"F", "Y", "yes", "1", "N", ".false."}) {
    bool v = true;
    InternalSource src(f);
    ASSERT_EQ(read_list(src, {v}), Outcome::done);
    EXPECT_FALSE(v) << f;
  }
  for (const char* keep : {",", "/", " , F"}) {  // a null value or "/" keeps the old value
    bool v = true;
    InternalSource src(keep);
    ASSERT_EQ(read_list(src, {v}), Outcome::done);
    EXPECT_TRUE(v) << keep;
  }
}

TEST(ListRead, IntegerFromInternalRecord) {
  struct {
    const char* record;
    std::int32_t value;
    const char* fault = "";  // the fatal report's message
  } cases[] = {
      {"  42  ", 42}, {"-7", -7}, {"3 4", 3}, {"12/", 12}, {"4a2", 0, kIllegalCharacter},
      {"2.5", 0, kIllegalCharacter}, {"'12'", 0, kIllegalCharacter}, {"4294967296", 0, kNumericOverflow},
      {"        ", 0, kReadPastEnd}, {"", 0, kReadPastEnd},
  };
  for (const auto& c : cases) {
    std::int32_t v = 0;
    std::string fault;
    InternalSource src(c.record);
    try {
      read_list(src, {v});
    } catch (const FatalError& f) {
      fault = f.message;
      EXPECT_EQ(f.statement + "/" + f.unit, "READ/INTERNAL");
    }
    EXPECT_EQ(fault, c.fault) << c.record;
    EXPECT_EQ(v, c.value) << c.record;
  }
}

TEST(ListRead, StatementsRecordsAndReals) {
  LinesSource src({"1 2 3", "4", "1.5 2*2.5e1 -0.25 abcdefgh"});
  std::int32_t a = 0;
  ASSERT_EQ(read_list(src, {a}), Outcome::done);
  EXPECT_EQ(a, 1);
  ASSERT_EQ(read_list(src, {a}), Outcome::done);  // the rest of "1 2 3" was skipped
  EXPECT_EQ(a, 4);
  float run[3] = {};
  float r = 0;
  Field<4> cut;
  ASSERT_EQ(read_list(src, {std::span<float>(run), r, cut}), Outcome::done);
  EXPECT_EQ(run[0], 1.5f);
  EXPECT_EQ(run[1], 25.0f);
  EXPECT_EQ(run[2], 25.0f);
  EXPECT_EQ(r, -0.25f);
  EXPECT_EQ(cut.view(), "abcd");
  EXPECT_EQ(read_list(src, {a}, Handles::error), Outcome::error);  // end of file, error branch only
}

}  // namespace
}  // namespace ringave
