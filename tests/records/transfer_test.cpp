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
  VectorSource(std::vector<std::string> records) : records_(std::move(records)) {}  // NOLINT
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

struct Written {
  std::string text;
  bool line_end;
  bool operator==(const Written& o) const { return text == o.text && line_end == o.line_end; }
};

class CaptureSink final : public RecordSink {
 public:
  void put(std::string_view record, bool line_end) override { out.push_back({std::string(record), line_end}); }
  std::string unit_label() const override { return "13"; }
  std::vector<Written> out;
};

// The fatal report a read without branches throws.
FatalError fatal_of_read(const std::string& text, const std::string& record, Items items) {
  InternalSource src(record);
  try {
    read(src, text, items);
  } catch (const FatalError& f) {
    return f;
  }
  return FatalError{"(no fault)", "", ""};
}

TEST(TransferIntegerInput, FieldRules) {
  struct Case {
    const char* layout;
    const char* record;
    std::int32_t want;
  } cases[] = {
      {"(i4)", "  12", 12},
      {"(i4)", "1 2 ", 12},
      {"(i4)", "    ", 0},
      {"(i4)", " -7 ", -7},
      {"(i4)", "+", 0},
      {"(i4)", "  - ", 0},
      {"(i4)", "", 0},
      {"(i4)", "12345", 1234},
      {"(3x,i8)", "xyz123", 123},  // I8 with three columns left
      {"(i11)", "-2147483648", -2147483647 - 1},
      {"(i10)", "2147483647", 2147483647},
      {"(i4)", "\t 9\t", 9},
      {"(t3,i2)", "123456", 34},
      {"(t9,i2)", "12", 0},  // position past the record end
  };
  for (const Case& c : cases) {
    std::int32_t v = -99;
    InternalSource src(c.record);
    EXPECT_EQ(read(src, c.layout, {v}), Outcome::done) << c.layout << " [" << c.record << "]";
    EXPECT_EQ(v, c.want) << c.layout << " [" << c.record << "]";
  }
}

TEST(TransferIntegerInput, BadFieldsAreErrors) {
  struct Case {
    const char* layout;
    const char* record;
    const char* message;
  } cases[] = {
      {"(i4)", "12a4", kIllegalCharacter}, {"(i4)", "1-2 ", kIllegalCharacter},
      {"(i4)", "--1 ", kIllegalCharacter}, {"(i4)", "1.5 ", kIllegalCharacter},
      {"(i10)", "2147483648", kNumericOverflow}, {"(i11)", "-2147483649", kNumericOverflow},
      {"(i30)", "999999999999999999999999", kNumericOverflow},
  };
  for (const Case& c : cases) {
    std::int32_t v = 5;
    InternalSource src(c.record);
    EXPECT_EQ(read(src, c.layout, {v}, Handles::error), Outcome::error) << c.record;
    EXPECT_EQ(v, 5) << "a failed field keeps the old value";
    const FatalError f = fatal_of_read(c.layout, c.record, {v});
    EXPECT_EQ(f.message, c.message) << c.record;
    EXPECT_EQ(f.statement, "READ");
    EXPECT_EQ(f.unit, "INTERNAL");
  }
}

TEST(TransferIntegerInput, CommaEndsNumericFieldEarly) {
  std::int32_t a = 0, b = 0, c = 0;
  InternalSource src("1,22,333 ");
  ASSERT_EQ(read(src, "(3i6)", {a, b, c}), Outcome::done);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 22);
  EXPECT_EQ(c, 333);
}

TEST(TransferRealInput, FieldRules) {
  struct Case {
    const char* layout;
    const char* record;
    float want;
  } cases[] = {
      {"(f3.0)", "123", 123.0f},    {"(f4.2)", "1234", 12.34f},     {"(f4.2)", "1.5", 1.5f},
      {"(f8.3)", "      12", 0.012f}, {"(f8.0)", "  1.5E2 ", 150.0f}, {"(f8.0)", "1.5e-2", 0.015f},
      {"(f8.0)", "1.5-2", 0.015f},  {"(f8.0)", "2.5+1", 25.0f},     {"(f8.0)", "1.5D+1", 15.0f},
      {"(f8.0)", "3q2", 300.0f},    {"(f8.2)", " -3.25", -3.25f},   {"(f8.2)", "-325", -3.25f},
      {"(f8.0)", "", 0.0f},         {"(f8.0)", "   -  ", 0.0f},     {"(f8.0)", " .", 0.0f},
      {"(f8.0)", "0.1", 0.1f},      {"(f6.0)", "1 2 3", 123.0f},     {"(f8.0)", "1e-50", 0.0f},
      {"(f12.0)", "3.4028234e38", 3.4028234e38f},
      {"(f4.1)", "12,", 1.2f},  // comma ends the field
      {"(i4)", "  42", 42.0f},  // an integer field into a real item
      {"(f60.0)", "0.100000000000000000000000000000000000000000000000000000000001", 0.1f},
  };
  for (const Case& c : cases) {
    float v = -99.0f;
    InternalSource src(c.record);
    EXPECT_EQ(read(src, c.layout, {v}), Outcome::done) << c.layout << " [" << c.record << "]";
    EXPECT_EQ(v, c.want) << c.layout << " [" << c.record << "]";
  }
}

TEST(TransferRealInput, LongDigitStringsRoundCorrectly) {
  // 1 + 2^-24 is halfway between two floats: the digits far out decide.
  std::string halfway = "1.000000059604644775390625";
  std::string above = halfway + std::string(200, '0') + "1";
  float v = 0.0f;
  {
    InternalSource src(halfway);
    ASSERT_EQ(read(src, "(f40.0)", {v}), Outcome::done);
    EXPECT_EQ(v, 1.0f);  // ties to even
  }
  {
    const std::string layout_text = "(f" + std::to_string(above.size()) + ".0)";
    InternalSource src(above);
    ASSERT_EQ(read(src, layout_text, {v}), Outcome::done);
    EXPECT_EQ(v, 1.00000012f);
  }
}

TEST(TransferRealInput, BadFieldsAreErrors) {
  struct Case {
    const char* record;
    const char* message;
  } cases[] = {
      {"1.2.3", kIllegalCharacter}, {"1E2E3", kIllegalCharacter}, {"1.5E", kIllegalCharacter},
      {"1E2.5", kIllegalCharacter}, {"1+-2", kIllegalCharacter},  {"abc", kIllegalCharacter},
      {"E5", kIllegalCharacter},    {"1.5-", kIllegalCharacter},  {"1E39", kNumericOverflow},
      {"-9e99", kNumericOverflow},
  };
  for (const Case& c : cases) {
    float v = 7.0f;
    const FatalError f = fatal_of_read("(f8.0)", c.record, {v});
    EXPECT_EQ(f.message, c.message) << c.record;
    EXPECT_EQ(v, 7.0f);
  }
}

TEST(TransferCharacterInput, WidthRules) {
  Field<8> eight("old");
  Field<4> four("old");
  Field<89> wide("old");
  {
    InternalSource src("ab");
    ASSERT_EQ(read(src, "(a8)", {eight}), Outcome::done);
    EXPECT_EQ(eight.view(), "ab      ");
  }
  {
    InternalSource src("12345678");
    ASSERT_EQ(read(src, "(a8)", {four}), Outcome::done);
    EXPECT_EQ(four.view(), "5678");
  }
  {
    InternalSource src("123456");  // columns 7 and 8 missing: blanks
    ASSERT_EQ(read(src, "(a8)", {four}), Outcome::done);
    EXPECT_EQ(four.view(), "56  ");
  }
  {
    const std::string rec(100, 'x');
    InternalSource src(rec);
    ASSERT_EQ(read(src, "(a88)   ", {wide}), Outcome::done);
    EXPECT_EQ(wide.view(), std::string(88, 'x') + " ");
  }
  {
    InternalSource src("abcdefghij");
    ASSERT_EQ(read(src, "(a,a2)", {four, eight}), Outcome::done);
    EXPECT_EQ(four.view(), "abcd");
    EXPECT_EQ(eight.view(), "ef      ");
  }
}

TEST(TransferPositions, TabAndSkipOnShortRecords) {
  Field<8> text("old");
  std::int32_t a = -1, b = -1;
  {
    InternalSource src("  00000011  00000022ABCDEFGHIJK");  // 31 columns
    ASSERT_EQ(read(src, "(2(2x,i8),t23,a)", {a, b, text}), Outcome::done);
    EXPECT_EQ(a, 11);
    EXPECT_EQ(b, 22);
    EXPECT_EQ(text.view(), "CDEFGHIJ");
  }
  {
    const std::string rec = "  00000011  00000022ABCDEFGHIJK";
    InternalSource src(std::string_view(rec).substr(0, 30));
    ASSERT_EQ(read(src, "(2(2x,i8),t23,a)", {a, b, text}), Outcome::done);
    EXPECT_EQ(text.view(), "CDEFGHIJ");
  }
  {
    InternalSource src("  00000011  00000022");  // 20 columns
    ASSERT_EQ(read(src, "(2(2x,i8),t23,a)", {a, b, text}), Outcome::done);
    EXPECT_EQ(text.view(), "        ");
  }
  {
    Field<2> back;
    Field<3> front;
    InternalSource src("abcdef");
    ASSERT_EQ(read(src, "(t4,a2,t1,a3)", {back, front}), Outcome::done);
    EXPECT_EQ(back.view(), "de");
    EXPECT_EQ(front.view(), "abc");
  }
}

TEST(TransferRead, EachReadStartsANewRecordAndSkipsTheRest) {
  VectorSource src({"12 34", "56", "7/8", "9"});
  std::int32_t a = 0, b = 0;
  ASSERT_EQ(read(src, "(i2)", {a}), Outcome::done);
  EXPECT_EQ(a, 12);
  ASSERT_EQ(read(src, "(i2)", {a}), Outcome::done);
  EXPECT_EQ(a, 56);
  ASSERT_EQ(read(src, "(i1/i1)", {a, b}), Outcome::done);  // "/" takes the next record
  EXPECT_EQ(a, 7);
  EXPECT_EQ(b, 9);
  EXPECT_EQ(src.taken(), 4u);
}

TEST(TransferRead, NoItemsStillTakesARecord) {
  VectorSource src({"skip me", "42"});
  std::int32_t a = 0;
  ASSERT_EQ(read(src, "(a)", {}), Outcome::done);
  ASSERT_EQ(read(src, "(i2)", {a}), Outcome::done);
  EXPECT_EQ(a, 42);
}

TEST(TransferRead, ReversionResumesAtLastOuterGroupWithItsCount) {
  // "(i2,2(i1,i1))": the second record is read with the group only, twice.
  VectorSource src({"101234", "5678", "unused"});
  std::int32_t v[9] = {};
  ASSERT_EQ(read(src, "(i2,2(i1,i1))", {v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]}), Outcome::done);
  const std::int32_t want[9] = {10, 1, 2, 3, 4, 5, 6, 7, 8};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(v[i], want[i]) << i;
  EXPECT_EQ(src.taken(), 2u);
}

TEST(TransferRead, RunOfRealsFillsAcrossRecords) {
  VectorSource src({"       1       2       3", "       4       5       6", "       7"});
  float run[7] = {};
  ASSERT_EQ(read(src, "(3f8.0)", {std::span<float>(run)}), Outcome::done);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(run[i], static_cast<float>(i + 1));
}

TEST(TransferRead, EndOfFileDuringReversionKeepsItemsRead) {
  VectorSource src({"  1  2"});
  std::int32_t a = 0, b = 0, c = -1;
  EXPECT_EQ(read(src, "(2i3)", {a, b, c}, Handles::end_of_file), Outcome::end_of_file);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 2);
  EXPECT_EQ(c, -1);
}

TEST(TransferRead, OutcomeBranches) {
  struct Case {
    const char* record;  // nullptr: no record at all (end of file)
    Handles handles;
    Outcome want;         // when nothing is thrown
    const char* thrown;   // message of the fatal report, or nullptr
  } cases[] = {
      {nullptr, Handles::end_of_file, Outcome::end_of_file, nullptr},
      {nullptr, Handles::both, Outcome::end_of_file, nullptr},
      {nullptr, Handles::error, Outcome::error, nullptr},
      {nullptr, Handles::none, Outcome::done, kReadPastEnd},
      {"x", Handles::error, Outcome::error, nullptr},
      {"x", Handles::both, Outcome::error, nullptr},
      {"x", Handles::end_of_file, Outcome::done, kIllegalCharacter},
      {"x", Handles::none, Outcome::done, kIllegalCharacter},
  };
  for (const Case& c : cases) {
    std::vector<std::string> recs;
    if (c.record) recs.push_back(c.record);
    VectorSource src(recs);
    std::int32_t v = 0;
    if (c.thrown) {
      try {
        read(src, "(i1)", {v}, c.handles);
        ADD_FAILURE() << "no fatal report";
      } catch (const FatalError& f) {
        EXPECT_EQ(f.message, c.thrown);
        EXPECT_EQ(f.statement, "READ");
        EXPECT_EQ(f.unit, "12");
      }
    } else {
      EXPECT_EQ(read(src, "(i1)", {v}, c.handles), c.want);
    }
  }
}

TEST(TransferRead, LayoutFaultsComeBeforeAnyRecord) {
  struct Case {
    const char* layout;
    const char* message;
  } cases[] = {
      {"i4)", kMissingOpen},
      {"(1x)", kNoDataOnReversion},        // no data element at all
      {"(i2,2(1x))", kNoDataOnReversion},  // none in the group it resumes at
  };
  for (const Case& c : cases) {
    VectorSource src({"1234", "5678"});
    std::int32_t a = 0, b = 0;
    const Outcome o = read(src, c.layout, {a, b}, Handles::error);
    EXPECT_EQ(o, Outcome::error) << c.layout;
    try {
      read(src, c.layout, {a, b});
      ADD_FAILURE() << c.layout;
    } catch (const FatalError& f) {
      EXPECT_EQ(f.message, c.message) << c.layout;
    }
  }
  VectorSource src({"1234"});
  std::int32_t a = 0;
  EXPECT_EQ(read(src, "(i4", {a}, Handles::error), Outcome::error);
  EXPECT_EQ(src.taken(), 0u);
}

TEST(TransferRead, ElementsThatDoNotSuitTheItem) {
  Field<4> text;
  std::int32_t n = 0;
  float r = 0.0f;
  bool yes = false;
  EXPECT_NE(fatal_of_read("(i4)", "1234", {text}).message, "(no fault)");
  EXPECT_NE(fatal_of_read("(f4.0)", "1234", {text}).message, "(no fault)");
  EXPECT_NE(fatal_of_read("(f4.0)", "1234", {n}).message, "(no fault)");
  EXPECT_NE(fatal_of_read("(a4)", "1234", {n}).message, "(no fault)");
  EXPECT_NE(fatal_of_read("(a4)", "1234", {r}).message, "(no fault)");
  EXPECT_NE(fatal_of_read("(i4)", "1234", {yes}).message, "(no fault)");
  EXPECT_NE(fatal_of_read("('ab',i4)", "1234", {n}).message, "(no fault)");
}

TEST(TransferRead, RepeatedGroupsWithoutDataDoNotHang) {
  std::int32_t v = 0;
  InternalSource src("12");
  EXPECT_EQ(read(src, "(2000000000(2000000000(1x)),i2)", {v}, Handles::error), Outcome::error);
}

TEST(TransferWrite, RecordsOfALayout) {
  const std::int32_t big = 12345, neg = -5, zero = 0, ten = 10, hundred = 100;
  const Field<6> name("ab");
  struct Case {
    const char* layout;
    std::vector<Item> items;
    std::vector<Written> want;
  } cases[] = {
      {"(i4)", {big}, {{"****", true}}},
      {"(i4)", {neg}, {{"  -5", true}}},
      {"(i4)", {zero}, {{"   0", true}}},
      {"(i1)", {ten}, {{"*", true}}},
      {"(1x,'  Max: files                    = ',i8,/)  ",
       {hundred},
       {{"   Max: files                    =      100", true}, {"", true}}},
      {"(/1x,'Current dimentions are:') ", {}, {{"", true}, {" Current dimentions are:", true}}},
      {"(1x,5(a3,4x))", {"ab", "cde"}, {{"  ab    cde", true}}},
      {"(a8)", {"abc"}, {{"     abc", true}}},
      {"(a2)", {"abcdef"}, {{"ab", true}}},
      {"(a,'|')", {name}, {{"ab    |", true}}},
      {"(t5,'x',t2,'yy')", {}, {{" yy x", true}}},
      {"('ab',t10,3x)", {}, {{"ab", true}}},
      {"('a',i2,'b',3x,i2,'c')", {ten}, {{"a10b", true}}},
      {"(1x,'it''s',\" \"\"q\"\"\")", {}, {{" it's \"q\"", true}}},
      {"(/1x,'Enter input file name :  ',$)", {}, {{"", true}, {" Enter input file name :  ", false}}},
      {"(2i3)", {ten, big, neg}, {{" 10***", true}, {" -5", true}}},
      {"('x',2(i2))", {ten, ten, ten}, {{"x1010", true}, {"10", true}}},
      {"(2/)", {}, {{"", true}, {"", true}, {"", true}}},
  };
  for (const Case& c : cases) {
    CaptureSink sink;
    // Items is an initializer_list: rebuild one from the case's vector.
    switch (c.items.size()) {
      case 0: write(sink, c.layout); break;
      case 1: write(sink, c.layout, {c.items[0]}); break;
      case 2: write(sink, c.layout, {c.items[0], c.items[1]}); break;
      default: write(sink, c.layout, {c.items[0], c.items[1], c.items[2]}); break;
    }
    EXPECT_EQ(sink.out.size(), c.want.size()) << c.layout;
    for (std::size_t i = 0; i < sink.out.size() && i < c.want.size(); ++i) {
      EXPECT_EQ(sink.out[i].text, c.want[i].text) << c.layout << " record " << i;
      EXPECT_EQ(sink.out[i].line_end, c.want[i].line_end) << c.layout << " record " << i;
    }
  }
}

TEST(TransferWrite, FaultsAreFatalWrites) {
  const std::int32_t n = 1;
  const float r = 1.5f;
  struct Case {
    const char* layout;
    Item item;
    const char* message;  // nullptr: any message
  } cases[] = {
      {"(i4", n, kUnmatchedParens},   {"(1x)", n, kNoDataOnReversion},
      {"(i2,2(1x))", n, nullptr},     {"(f8.2)", r, nullptr},
      {"(i4)", r, nullptr},           {"(i4)", "ab", nullptr},
      {"(a4)", n, nullptr},
  };
  for (const Case& c : cases) {
    CaptureSink sink;
    try {
      write(sink, c.layout, {c.item, c.item});
      ADD_FAILURE() << c.layout;
    } catch (const FatalError& f) {
      if (c.message) {
        EXPECT_EQ(f.message, c.message) << c.layout;
      }
      EXPECT_FALSE(f.message.empty());
      EXPECT_EQ(f.statement, "WRITE");
      EXPECT_EQ(f.unit, "13");
    }
  }
}

TEST(TransferWrite, InternalRecordAndListWrite) {
  Field<10> rec("old text!!");
  InternalSink sink(rec.data(), rec.size());
  const std::int32_t v = 12;
  write(sink, "(i4)", {v});
  EXPECT_EQ(rec.view(), "  12      ");

  CaptureSink out;
  write_list(out, "Warning");
  ASSERT_EQ(out.out.size(), 1u);
  EXPECT_EQ(out.out[0], (Written{" Warning", true}));
}

TEST(TransferRoundTrip, TucsonDataLine) {
  const Field<8> id("ABC01A");
  const std::int32_t year = 1990;
  const std::int32_t vals[10] = {123, 45, 6, 7890, 0, 1, 22, 333, 4444, 55555};
  Field<88> line;
  InternalSink sink(line.data(), line.size());
  write(sink, "(a8,i4,10i6)",
        {id, year, vals[0], vals[1], vals[2], vals[3], vals[4], vals[5], vals[6], vals[7], vals[8], vals[9]});
  Field<8> id2;
  std::int32_t year2 = 0;
  std::int32_t v[10] = {};
  InternalSource src(line.view());
  ASSERT_EQ(read(src, "(a8,i4,10i6)", {id2, year2, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9]}),
            Outcome::done);
  EXPECT_EQ(id2, id);
  EXPECT_EQ(year2, year);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(v[i], vals[i]);
}

}  // namespace
}  // namespace ringave
