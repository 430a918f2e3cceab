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
  LinesSource(std::vector<std::string> lines) : lines_(std::move(lines)) {}  // NOLINT
  bool next(std::string_view& record) override {
    if (taken_ >= lines_.size()) return false;
    record = lines_[taken_++];
    return true;
  }
  std::string unit_label() const override { return "12"; }
  std::size_t taken() const { return taken_; }

 private:
  std::vector<std::string> lines_;
  std::size_t taken_ = 0;
};

// A list-file entry: name, format code, start and stop positions.
struct Entry {
  Field<50> name{"old"};
  std::int32_t format = -1, start = -1, stop = -1;
};

TEST(ListRead, ListFileEntries) {
  struct Case {
    std::vector<std::string> lines;
    const char* name;
    std::int32_t format, start, stop;
    Outcome want = Outcome::done;
  } cases[] = {
      {{" bcc.rwl_ind1.txt 2 4 5"}, "bcc.rwl_ind1.txt", 2, 4, 5},
      {{"bcc.rwl_ind1.txt,2,4,5"}, "bcc.rwl_ind1.txt", 2, 4, 5},
      {{"bcc.rwl_ind1.txt , 2 ,4,  5  extra values"}, "bcc.rwl_ind1.txt", 2, 4, 5},
      {{"bcc.rwl_ind1.txt\t2\t4\t5"}, "bcc.rwl_ind1.txt", 2, 4, 5},
      {{"bcc.rwl 2", "4 5"}, "bcc.rwl", 2, 4, 5},          // positions on the next record
      {{"", "   ", "bcc.rwl 2 4 5"}, "bcc.rwl", 2, 4, 5},   // empty records supply nothing
      {{"bcc.rwl 2 4", ",5"}, "bcc.rwl", 2, 4, 5},         // record end, then a comma: one separator
      {{"data/site.rwl 1 2 4"}, "data", -1, -1, -1},        // "/" ends the read
      {{"site.rwl 1/ 2 4"}, "site.rwl", 1, -1, -1},
      {{"'my dir/site.rwl' 1 2 4"}, "my dir/site.rwl", 1, 2, 4},
      {{"\"it's, here\" 1 2 4"}, "it's, here", 1, 2, 4},
      {{"'it''s' 1 2 4"}, "it's", 1, 2, 4},
      {{"'' 1 2 4"}, "", 1, 2, 4},
      {{"site.rwl,,2,3"}, "site.rwl", -1, 2, 3},           // null value keeps the old one
      {{",1,2,3"}, "old", 1, 2, 3},
      {{"site.rwl , , 2 , 3"}, "site.rwl", -1, 2, 3},
      {{"site.rwl 2*"}, "site.rwl", -1, -1, -1, Outcome::end_of_file},  // r* nulls, stop still wanted
      {{"site.rwl 2*", "9"}, "site.rwl", -1, -1, 9},
      {{"site.rwl 3*7"}, "site.rwl", 7, 7, 7},
      {{"site.rwl 2*7 9"}, "site.rwl", 7, 7, 9},
      {{"2*x 5 6"}, "x", -1, -1, -1, Outcome::error},  // the second x goes to the format code
  };
  for (const Case& c : cases) {
    LinesSource src(c.lines);
    Entry e;
    const Outcome o = read_list(src, {e.name, e.format, e.start, e.stop}, Handles::both);
    EXPECT_EQ(o, c.want) << c.lines[0];
    EXPECT_EQ(e.name.trimmed(), c.name) << c.lines[0];
    EXPECT_EQ(e.format, c.format) << c.lines[0];
    EXPECT_EQ(e.start, c.start) << c.lines[0];
    EXPECT_EQ(e.stop, c.stop) << c.lines[0];
  }
}

TEST(ListRead, LogicalAnswers) {
  struct Case {
    const char* line;
    bool want;
  } cases[] = {
      {"T", true},      {"t", true},      {"True", true},    {".true", true}, {".TRUE.", true},
      {"  Tree", true}, {"F", false},     {"Y", false},      {"yes", false},  {"1", false},
      {"N", false},     {".false.", false}, {"'T'", true},
  };
  for (const Case& c : cases) {
    bool v = !c.want;
    InternalSource src(c.line);
    ASSERT_EQ(read_list(src, {v}), Outcome::done) << c.line;
    EXPECT_EQ(v, c.want) << c.line;
  }
  for (const char* keep : {",", "/", " , T"}) {
    bool v = true;
    InternalSource src(keep);
    ASSERT_EQ(read_list(src, {v}), Outcome::done);
    EXPECT_TRUE(v) << "null value or slash keeps the old value: [" << keep << "]";
  }
}

TEST(ListRead, IntegerFromInternalRecord) {
  struct Case {
    const char* record;
    Outcome want;
    std::int32_t value;
  } cases[] = {
      {"  42  ", Outcome::done, 42},
      {"-7", Outcome::done, -7},
      {"3 4", Outcome::done, 3},
      {"12/", Outcome::done, 12},
      {"4a2", Outcome::error, 0},
      {"2.5", Outcome::error, 0},
      {"99999999999", Outcome::error, 0},
      {"'12'", Outcome::error, 0},
      {"0*5", Outcome::error, 0},
      {"        ", Outcome::end_of_file, 0},
      {"", Outcome::end_of_file, 0},
  };
  for (const Case& c : cases) {
    std::int32_t v = 0;
    InternalSource src(c.record);
    EXPECT_EQ(read_list(src, {v}, Handles::both), c.want) << c.record;
    EXPECT_EQ(v, c.value) << c.record;
  }
}

TEST(ListRead, UnhandledOutcomesAreFatal) {
  struct Case {
    const char* record;
    const char* message;
  } cases[] = {
      {"    ", kReadPastEnd},
      {"3a", kIllegalCharacter},
      {"4294967296", kNumericOverflow},
  };
  for (const Case& c : cases) {
    std::int32_t v = 0;
    InternalSource src(c.record);
    try {
      read_list(src, {v});
      ADD_FAILURE() << c.record;
    } catch (const FatalError& f) {
      EXPECT_EQ(f.message, c.message);
      EXPECT_EQ(f.statement, "READ");
      EXPECT_EQ(f.unit, "INTERNAL");
    }
  }
}

TEST(ListRead, RestOfLastRecordIsSkipped) {
  LinesSource src({"1 2 3", "4"});
  std::int32_t a = 0;
  ASSERT_EQ(read_list(src, {a}), Outcome::done);
  EXPECT_EQ(a, 1);
  ASSERT_EQ(read_list(src, {a}), Outcome::done);
  EXPECT_EQ(a, 4);
}

TEST(ListRead, EndOfFileKeepsWhatWasRead) {
  LinesSource src({"a.rwl 1"});
  Entry e;
  EXPECT_EQ(read_list(src, {e.name, e.format, e.start, e.stop}, Handles::end_of_file), Outcome::end_of_file);
  EXPECT_EQ(e.name.trimmed(), "a.rwl");
  EXPECT_EQ(e.format, 1);
  EXPECT_EQ(e.start, -1);
  // With only an error branch, end of file is the error outcome.
  LinesSource empty({});
  EXPECT_EQ(read_list(empty, {e.format}, Handles::error), Outcome::error);
}

TEST(ListRead, CharacterValuesFillOrCutTheItem) {
  Field<4> shortname("old");
  InternalSource src("abcdefgh");
  ASSERT_EQ(read_list(src, {shortname}), Outcome::done);
  EXPECT_EQ(shortname.view(), "abcd");
  Field<6> quoted("old");
  InternalSource unclosed("'ab c");  // a quote never closed ends at the record end
  ASSERT_EQ(read_list(unclosed, {quoted}), Outcome::done);
  EXPECT_EQ(quoted.view(), "ab c  ");
}

TEST(ListRead, RealsAndRunsOfReals) {
  float run[3] = {-1, -1, -1};
  float r = 0;
  InternalSource src("1.5 2*2.5e1 -0.25");
  ASSERT_EQ(read_list(src, {std::span<float>(run), r}), Outcome::done);
  EXPECT_EQ(run[0], 1.5f);
  EXPECT_EQ(run[1], 25.0f);
  EXPECT_EQ(run[2], 25.0f);
  EXPECT_EQ(r, -0.25f);
}

}  // namespace
}  // namespace ringave
