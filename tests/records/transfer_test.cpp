// Formatted reading and writing: field rules, positions, reversion, outcomes.

#include "records/transfer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "records/field.h"

namespace ringave {
namespace {

// A source over a list of records, counting what has been taken.
class VectorSource final : public RecordSource {
 public:
  explicit VectorSource(std::vector<std::string> records) : records_(std::move(records)) {}
  bool next(std::string_view& record) override {
    if (taken_ >= records_.size()) return false;
    record = records_[taken_++];
    return true;
  }
  std::string unit_label() const override { return "12"; }
  std::size_t taken() const { return taken_; }

 private:
  std::vector<std::string> records_;
  std::size_t taken_ = 0;
};

class CaptureSink final : public RecordSink {
 public:
  void put(std::string_view record, bool line_end) override {
    out.push_back(std::string(record) + (line_end ? "\n" : ""));
  }
  std::string unit_label() const override { return "13"; }
  std::vector<std::string> out;
};

// Reads one item from an internal record; the fatal report's message, or "".
template <typename T>
std::string read_one(const char* layout_text, std::string_view record, T& item) {
  InternalSource src(record);
  try {
    read(src, layout_text, {item});
  } catch (const FatalError& f) {
    EXPECT_EQ(f.statement + "/" + f.unit, "READ/INTERNAL");
    return f.message;
  }
  return "";
}

TEST(TransferReadField, Integers) {
  struct {
    const char* layout;
    const char* record;
    std::int32_t want;  // 0 (the old value) when the read fails
    const char* fault = "";
  } cases[] = {
      {"(i4)", "  12", 12}, {"(i4)", "1 2 ", 12}, {"(i4)", "    ", 0}, {"(i4)", " -7 ", -7}, {"(i4)", "+", 0},
      {"(i4)", "", 0}, {"(i4)", "12345", 1234}, {"(3x,i8)", "xyz123", 123}, {"(i4)", "\t 9\t", 9},
      {"(t3,i2)", "123456", 34}, {"(t9,i2)", "12", 0}, {"(i6)", "12,34", 12}, {"(i11)", "-2147483648", INT32_MIN},
      {"(i10)", "2147483647", INT32_MAX}, {"(i4)", "12a4", 0, kIllegalCharacter}, {"(i4)", "1-2 ", 0, kIllegalCharacter},
      {"(i4)", "1.5 ", 0, kIllegalCharacter}, {"(i10)", "2147483648", 0, kNumericOverflow},
      {"(i11)", "-2147483649", 0, kNumericOverflow}, {"(i30)", "99999999999999999999999", 0, kNumericOverflow},
  };
  for (const auto& c : cases) {
    std::int32_t v = 0;
    EXPECT_EQ(read_one(c.layout, c.record, v), c.fault) << c.layout << " [" << c.record << "]";
    EXPECT_EQ(v, c.want) << c.layout << " [" << c.record << "]";
  }
}

TEST(TransferReadField, Reals) {
  const std::string halfway = "1.000000059604644775390625";  // between two floats: ties to even
  const std::string above = halfway + std::string(200, '0') + "1";  // a far digit decides
  const std::string above_layout = "(f" + std::to_string(above.size()) + ".0)";
  struct {
    const char* layout;
    std::string record;
    float want;  // 0 (the old value) when the read fails
    const char* fault = "";
  } cases[] = {
      {"(f3.0)", "123", 123.0f}, {"(f4.2)", "1234", 12.34f}, {"(f4.2)", "1.5", 1.5f}, {"(f8.3)", "      12", 0.012f},
      {"(f8.0)", "  1.5E2 ", 150.0f}, {"(f8.0)", "1.5-2", 0.015f}, {"(f8.0)", "2.5+1", 25.0f},
      {"(f8.0)", "1.5D+1", 15.0f}, {"(f8.0)", "3q2", 300.0f}, {"(f8.2)", "-325", -3.25f}, {"(f8.1)", "12E1", 12.0f},
      {"(f8.0)", "", 0.0f}, {"(f8.0)", "   -  ", 0.0f}, {"(f8.0)", " .", 0.0f}, {"(f8.0)", "0.1", 0.1f},
      {"(f6.0)", "1 2 3", 123.0f}, {"(f8.0)", "1e-50", 0.0f}, {"(f12.0)", "3.4028234e38", 3.4028234e38f},
      {"(f4.1)", "12,", 1.2f}, {"(i4)", "  42", 42.0f}, {"(f40.0)", halfway, 1.0f},
      {above_layout.c_str(), above, 1.00000012f},
      {"(f8.0)", "1.2.3", 0, kIllegalCharacter}, {"(f8.0)", "1E2E3", 0, kIllegalCharacter},
      {"(f8.0)", "1.5E", 0, kIllegalCharacter}, {"(f8.0)", "1E2.5", 0, kIllegalCharacter},
      {"(f8.0)", "1+-2", 0, kIllegalCharacter}, {"(f8.0)", "E5", 0, kIllegalCharacter},
      {"(f8.0)", "abc", 0, kIllegalCharacter}, {"(f8.0)", "1E39", 0, kNumericOverflow},
      {"(f8.0)", "-9e99", 0, kNumericOverflow},
  };
  for (const auto& c : cases) {
    float v = 0.0f;
    EXPECT_EQ(read_one(c.layout, c.record, v), c.fault) << c.layout << " [" << c.record << "]";
    EXPECT_EQ(v, c.want) << c.layout << " [" << c.record << "]";
  }
}

TEST(TransferReadField, CharactersAndPositions) {
  const std::string wide(100, 'x');
  Field<89> f89;
  EXPECT_EQ(read_one("(a88)   ", wide, f89), "");
  EXPECT_EQ(f89.view(), std::string(88, 'x') + " ");
  struct {
    const char* layout;
    const char* record;
    const char* want;  // into a 4-character item
  } cases[] = {
      {"(a8)", "12345678", "5678"}, {"(a8)", "123456", "56  "}, {"(a2)", "abc", "ab  "}, {"(a)", "ab", "ab  "},
      {"(t3,a)", "abcdef", "cdef"}, {"(2(2x,i8),t23,a)", "  00000011  00000022ABCDEFGHIJ", "CDEF"},
      {"(2(2x,i8),t23,a)", "  00000011  00000022", "    "}, {"(3x,2x,a)", "ab", "    "}, {"(t4,t2,a)", "abcdef", "bcde"},
  };
  for (const auto& c : cases) {
    Field<4> item("old");
    std::int32_t n1 = 0, n2 = 0;  // the two I8 fields of the longer layout
    InternalSource src(c.record);
    const bool numbers = std::string_view(c.layout).find('i') != std::string_view::npos;
    ASSERT_EQ(numbers ? read(src, c.layout, {n1, n2, item}) : read(src, c.layout, {item}), Outcome::done);
    EXPECT_EQ(item.view(), c.want) << c.layout << " [" << c.record << "]";
  }
}

// Whole statements over several records; items are a run of reals (an I
// field reads into a real), -1 where an item keeps its old value.
TEST(TransferRead, CourseOverRecords) {
  struct {
    const char* layout;
    std::vector<std::string> records;
    std::vector<float> want;
    Outcome outcome;
    std::size_t taken;
  } cases[] = {
      {"(i2)", {"12 34", "56"}, {12}, Outcome::done, 1},  // rest of the record skipped
      {"(i1/i1)", {"7/8", "9"}, {7, 9}, Outcome::done, 2},
      {"(3i6)", {"1,22,333 "}, {1, 22, 333}, Outcome::done, 1},  // a comma ends a numeric field
      {"(i2,2(i1,i1))", {"101234", "5678", "unused"}, {10, 1, 2, 3, 4, 5, 6, 7, 8}, Outcome::done, 2},
      {"(3f8.0)", {"       1       2       3", "       4       5       6", "       7"}, {1, 2, 3, 4, 5, 6, 7},
       Outcome::done, 3},
      {"(2i3)", {"  1  2"}, {1, 2, -1}, Outcome::end_of_file, 1},
      {"(i1/i1)", {"1"}, {1, -1}, Outcome::end_of_file, 1},
      {"(i2)", {}, {-1}, Outcome::end_of_file, 0},
      {"(i2,2(1x))", {"12", "34"}, {12, -1}, Outcome::error, 1},  // no data to resume at
      {"(1x)", {"12"}, {-1}, Outcome::error, 0},                  // no data at all
      {"i4)", {"12"}, {-1}, Outcome::error, 0},                   // layout fault: no record taken
      {"(i1,'ab')", {"12"}, {1, -1}, Outcome::error, 1},
      {"(2000000000(2000000000(1x)),i2)", {"12"}, {-1}, Outcome::error, 1},  // loops without data
  };
  for (const auto& c : cases) {
    VectorSource src(c.records);
    std::vector<float> got(c.want.size(), -1.0f);
    EXPECT_EQ(read(src, c.layout, {std::span<float>(got)}, Handles::both), c.outcome) << c.layout;
    EXPECT_EQ(got, c.want) << c.layout;
    EXPECT_EQ(src.taken(), c.taken) << c.layout;
  }
  VectorSource src({"skip me", "42"});  // a read without items takes a record too
  std::int32_t v = 0;
  read(src, "(a)", {});
  read(src, "(i2)", {v});
  EXPECT_EQ(v, 42);
}

TEST(TransferRead, OutcomeBranches) {
  struct {
    bool at_end;  // no record left, else a record with a bad field
    Handles handles;
    Outcome want;        // when nothing is thrown
    const char* thrown;  // the fatal report's message, or nullptr
  } cases[] = {
      {true, Handles::end_of_file, Outcome::end_of_file, nullptr}, {true, Handles::both, Outcome::end_of_file, nullptr},
      {true, Handles::error, Outcome::error, nullptr},              {true, Handles::none, {}, kReadPastEnd},
      {false, Handles::error, Outcome::error, nullptr},             {false, Handles::end_of_file, {}, kIllegalCharacter},
      {false, Handles::none, {}, kIllegalCharacter},
  };
  for (const auto& c : cases) {
    VectorSource src(c.at_end ? std::vector<std::string>{} : std::vector<std::string>{"x"});
    std::int32_t v = 0;
    try {
      EXPECT_EQ(read(src, "(i1)", {v}, c.handles), c.want);
      EXPECT_EQ(c.thrown, nullptr);
    } catch (const FatalError& f) {
      EXPECT_EQ(f.message, c.thrown ? c.thrown : "");
      EXPECT_EQ(f.statement + "/" + f.unit, "READ/12");
    }
  }
  Field<4> text;
  std::int32_t n = 0;
  bool yes = false;
  EXPECT_NE(read_one("(i4)", "1234", text), "");
  EXPECT_NE(read_one("(f4.0)", "1234", n), "");
  EXPECT_NE(read_one("(a4)", "1234", n), "");
  EXPECT_NE(read_one("(i4)", "1234", yes), "");
}

TEST(TransferWrite, RecordsOfALayout) {
  const std::int32_t big = 12345, neg = -5, zero = 0, ten = 10, hundred = 100;
  const Field<6> name("ab");
  struct {
    const char* layout;
    std::vector<Item> items;
    std::string want;  // the records, each with "\n" when it has a line end
  } cases[] = {
      {"(i4)", {big}, "****\n"},
      {"(i4)", {neg}, "  -5\n"},
      {"(i4)", {zero}, "   0\n"},
      {"(i1)", {ten}, "*\n"},
      {"(1x,'  Max: files                    = ',i8,/)  ", {hundred}, "   Max: files                    =      100\n\n"},
      {"(/1x,'Current dimentions are:') ", {}, "\n Current dimentions are:\n"},
      {"(1x,5(a3,4x))", {"ab", "cde"}, "  ab    cde\n"},
      {"(a8,a2)", {"abc", "cdef"}, "     abccd\n"},
      {"(a,'|')", {name}, "ab    |\n"},
      {"(t5,'x',t2,'yy')", {}, " yy x\n"},
      {"('ab',t10,3x)", {}, "ab\n"},
      {"('a',i2,'b',3x,i2,'c')", {ten}, "a10b\n"},
      {"(1x,'it''s',\" \"\"q\"\"\")", {}, " it's \"q\"\n"},
      {"(/1x,'Enter input file name :  ',$)", {}, "\n Enter input file name :  "},
      {"(2i3)", {ten, big, neg}, " 10***\n -5\n"},
      {"('x',2(i2))", {ten, ten, ten}, "x1010\n10\n"},
      {"(2/)", {}, "\n\n\n"},
  };
  for (const auto& c : cases) {
    CaptureSink sink;
    switch (c.items.size()) {  // Items is an initializer_list: spell the cases out
      case 0: write(sink, c.layout); break;
      case 1: write(sink, c.layout, {c.items[0]}); break;
      case 2: write(sink, c.layout, {c.items[0], c.items[1]}); break;
      default: write(sink, c.layout, {c.items[0], c.items[1], c.items[2]}); break;
    }
    std::string got;
    for (const std::string& r : sink.out) got += r;
    EXPECT_EQ(got, c.want) << c.layout;
  }
  Field<10> rec("old text!!");
  InternalSink internal(rec.data(), rec.size());
  write(internal, "(i4)", {ten});
  EXPECT_EQ(rec.view(), "  10      ");
  CaptureSink list;
  write_list(list, "Warning");
  EXPECT_EQ(list.out, std::vector<std::string>{" Warning\n"});
}

TEST(TransferWrite, FaultsAreFatalWrites) {
  const std::int32_t n = 1;
  const float r = 1.5f;
  struct {
    const char* layout;
    Item item;
    const char* message;  // nullptr: a message of the engine's own
  } cases[] = {
      {"(i4", n, kUnmatchedParens}, {"(1x)", n, kNoDataOnReversion}, {"(i2,2(1x))", n, kNoDataOnReversion},
      {"(f8.2)", r, nullptr},       {"(i4)", r, nullptr},             {"(i4)", "ab", nullptr},
      {"(a4)", n, nullptr},
  };
  for (const auto& c : cases) {
    CaptureSink sink;
    try {
      write(sink, c.layout, {c.item, c.item});
      ADD_FAILURE() << c.layout;
    } catch (const FatalError& f) {
      EXPECT_FALSE(f.message.empty());
      if (c.message) {
        EXPECT_EQ(f.message, c.message) << c.layout;
      }
      EXPECT_EQ(f.statement + "/" + f.unit, "WRITE/13");
    }
  }
}

}  // namespace
}  // namespace ringave
