// Formatted reading and writing: field rules at their edges, positions,
// reversion, outcomes.
#include "records/transfer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

#include "records/field.h"
#include "records/memory_unit.h"

namespace ringave {
namespace {

// A read fills only variables; a write takes values, constants and text.
template <class T> constexpr bool kReads = std::is_constructible_v<ReadItem, T>;
template <class T> constexpr bool kWrites = std::is_constructible_v<WriteItem, T>;
static_assert(kReads<std::int32_t&> && kReads<Field<8>&> && kReads<float&> && kReads<bool&>);
static_assert(!kReads<const std::int32_t&> && !kReads<std::int32_t> && !kReads<const float&> && !kReads<const bool&> &&
              !kReads<const Field<8>&> && !kReads<std::string_view> && !kReads<std::span<const float>> &&
              !kReads<decltype(Item::chars(static_cast<const char*>(nullptr), 0))>);
static_assert(kWrites<const std::int32_t&> && kWrites<std::int32_t> && kWrites<const Field<8>&> &&
              kWrites<std::string_view> && kWrites<const char*> && kWrites<std::span<const float>>);

// Reads one item from an internal record: "" when done, the outcome the
// statement returned, or the fatal report's message.
template <typename T>
std::string read_one(const char* layout_text, std::string_view record, T& item, Handles handles = Handles::none) {
  InternalSource src(record);
  try {
    const Outcome o = read_formatted(src, layout_text, {item}, handles);
    return o == Outcome::done ? "" : o == Outcome::error ? "error" : "end of file";
  } catch (const Error& f) {
    return f.unit == "INTERNAL" ? f.message : "unit " + f.unit;
  }
}

// One numeric field: an I layout reads into an integer, an F layout into a
// real; -1 (the old value) stays when the read fails.
TEST(TransferReadField, Numbers) {
  const struct { const char* layout; const char* record; double want; const char* fault = ""; } cases[] = {
      {"(i4)", "1 2 ", 12}, {"(i4)", "    ", 0}, {"(i4)", "", 0}, {"(i4)", " +  ", 0}, {"(i4)", "12345", 1234},
      {"(i6)", "12,34", 12}, {"(t9,i2)", "12", 0}, {"(i11)", "-2147483648", INT32_MIN}, {"(f4.1)", "12,", 1.2f},
      {"(i4)", "12a4", -1, kIllegalCharacter}, {"(i4)", "1-2 ", -1, kIllegalCharacter}, {"(f8.0)", "  -  ", 0},
      {"(i10)", "2147483648", -1, kNumericOverflow}, {"(i30)", "99999999999999999999999", -1, kNumericOverflow},
      {"(f4.2)", "1234", 12.34f}, {"(f4.2)", "1.5", 1.5f}, {"(f8.3)", "      12", 0.012f}, {"(f8.1)", "12E1", 12},
      {"(f8.0)", "1.5-2", 0.015f}, {"(f8.0)", "1.5D+1", 15}, {"(f8.2)", "-325", -3.25f}, {"(f8.0)", "E5", -1, kIllegalCharacter},
      {"(f8.0)", "1.2.3", -1, kIllegalCharacter}, {"(f8.0)", "1.5E", -1, kIllegalCharacter}, {"(f8.0)", "1E39", -1, kNumericOverflow},
  };
  for (const auto& c : cases) {
    std::int32_t n = -1;
    float r = -1.0f;
    const bool real = c.layout[1] == 'f';
    EXPECT_EQ(real ? read_one(c.layout, c.record, r) : read_one(c.layout, c.record, n), c.fault) << c.layout;
    EXPECT_EQ(real ? static_cast<double>(r) : n, c.want) << c.layout << " [" << c.record << "]";
    EXPECT_NE(read_one("(a4)", "1234", n), "");  // an item that does not suit its element is an error
  }
}

// A fields into a 4-character item, in both directions, and positions; "!"
// for a numeric element, which does not suit the item.
TEST(TransferReadField, CharactersAndPositions) {
  const struct { const char* layout; const char* record; const char* want; } cases[] = {
      {"(a8)", "12345678", "5678"}, {"(a8)", "123456", "56  "},  {"(a2)", "abc", "ab  "},     {"(a)", "ab", "ab  "},
      {"(t3,a)", "abcdef", "cdef"}, {"(3x,2x,a)", "ab", "    "}, {"(t4,t2,a)", "abcdef", "bcde"},
      {"($,t2,a,$)", "abcdef", "bcde"},  // $ only shapes output
      {"(i4)", "1234", "!"},        {"(f4.0)", "1234", "!"},
  };
  for (const auto& c : cases) {
    Field<4> item("old");
    EXPECT_EQ(read_one(c.layout, c.record, item).empty() ? item.str() : "!", c.want) << c.layout << c.record;
  }
}

// Whole statements over several records into a run of reals (-1 where an
// item keeps its old value); `next` is what the unit gives afterwards.
TEST(TransferRead, CourseOverRecordsAndOutcomes) {
  const struct { const char* layout; const char* records; std::vector<float> want; Outcome outcome; const char* next; }
  cases[] = {
      {"(i2)", "12 34\n56", {12}, Outcome::done, "56"},  // the rest of the record is skipped
      {"(i1/i1)", "7/8\n9\nz", {7, 9}, Outcome::done, "z"}, {"(3i6)", "1,22,333 \nz", {1, 22, 333}, Outcome::done, "z"},
      {"(2i1)", "12\n34\nz", {1, 2, 3}, Outcome::done, "z"},        // reversion to the start
      {"(i2,2(i1,i1))", "101234\n5678\nz", {10, 1, 2, 3, 4, 5, 6, 7, 8}, Outcome::done, "z"},
      {"(2i3)", "  1  2", {1, 2, -1}, Outcome::end_of_file, "EOF"}, {"(i1/i1)", "1", {1, -1}, Outcome::end_of_file, "EOF"},
      {"(i2,2(1x))", "12\n34", {12, -1}, Outcome::error, "34"},  // no data to resume at
      {"(1x)", "12", {-1}, Outcome::error, "12"},                // no data at all: no record taken
      {"i4)", "12", {-1}, Outcome::error, "12"},                 // layout fault: no record taken
      {"(i1,'ab')", "12", {1, -1}, Outcome::error, "EOF"},
      {"(2000000000(2000000000(1x)),i2)", "12", {-1}, Outcome::error, "EOF"},  // loops without data
  };
  for (const auto& c : cases) {
    MemoryUnit src(c.records);
    std::vector<float> got(c.want.size(), -1.0f);
    EXPECT_EQ(read_formatted(src, c.layout, {std::span<float>(got)}, Handles::both), c.outcome) << c.layout;
    EXPECT_EQ(got, c.want) << c.layout;
    std::string_view rec;
    EXPECT_EQ(src.next(rec) ? std::string(rec) : "EOF", c.next) << c.layout;
  }
  // An unhandled outcome is the fatal report; end of file with only the error branch is an error.
  std::int32_t v = 0;
  EXPECT_EQ(read_one("(/i1)", "1", v, Handles::end_of_file) + "|" + read_one("(/i1)", "1", v, Handles::error) + "|" +
                read_one("(/i1)", "1", v) + "|" + read_one("(i1)", "x", v, Handles::error) + "|" +
                read_one("(i1)", "x", v, Handles::end_of_file),
            std::string("end of file|error|") + kReadPastEnd + "|error|" + kIllegalCharacter);
}

// The records a write leaves, each with "\n" when it has a line end; "!" and
// the fatal report for a fault ("!" alone: a message of the engine's own).
TEST(TransferWrite, RecordsOfALayout) {
  const std::int32_t big = 12345, neg = -5, ten = 10, hundred = 100;
  const float real = 1.5f;
  const struct { const char* layout; std::vector<WriteItem> items; std::string want; } cases[] = {
      {"(i4,i1)", {big, neg}, "*****\n"}, {"(i4)", {neg}, "  -5\n"}, {"(2/)", {}, "\n\n\n"}, {"(a4)", {ten}, "!"},
      {"(1x,'Max = ',i8,/)", {hundred}, " Max =      100\n\n"},  // "/" after the last item acts
      {"(1x,5(a3,4x))", {"ab", "cde"}, "  ab    cde\n"}, {"(a8,a2)", {"abc", "cdef"}, "     abccd\n"},  // X: no pad
      {"(t5,'x',t2,'yy')", {}, " yy x\n"}, {"('a',i2,'b',3x,i2,'c')", {ten}, "a10b\n"},  // to the next data
      {"(/1x,'Enter input file name :  ',$)", {}, "\n Enter input file name :  "},
      {"(2i3)", {ten, big, neg}, " 10***\n -5\n"}, {"('x',2(i2))", {ten, ten, ten}, "x1010\n10\n"},
      {"(i4", {ten}, std::string("!") + kUnmatchedParens + " WRITE/13"}, {"(f8.2)", {real}, "!"}, {"(i4)", {"ab"}, "!"},
      {"(1x)", {ten}, std::string("!") + kNoDataOnReversion + " WRITE/13"},
      {"(i2,2(1x))", {ten, ten}, std::string("!") + kNoDataOnReversion + " WRITE/13"},
  };
  for (const auto& c : cases) {
    MemoryUnit sink("", 13);
    try {
      switch (c.items.size()) {  // Items is an initializer_list: spell the cases out
        case 0: write_formatted(sink, c.layout); break;
        case 1: write_formatted(sink, c.layout, {c.items[0]}); break;
        case 2: write_formatted(sink, c.layout, {c.items[0], c.items[1]}); break;
        default: write_formatted(sink, c.layout, {c.items[0], c.items[1], c.items[2]}); break;
      }
    } catch (const Error& f) {
      EXPECT_EQ(sink.written(), "") << c.layout;
      EXPECT_EQ("!" + (c.want == "!" ? "" : f.message + " " + f.statement + "/" + f.unit), c.want) << f.message;
      continue;
    }
    EXPECT_EQ(sink.written(), c.want) << c.layout;
  }
  // The field is filled to its end and not a column further.
  Field<10> rec("old text!!");
  InternalSink internal(rec.data(), rec.size() - 1);
  write_formatted(internal, "(i4)", {ten});
  EXPECT_EQ(rec.view(), "  10     !");
}

}  // namespace
}  // namespace ringave
