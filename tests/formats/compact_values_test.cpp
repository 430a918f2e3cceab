// The Compact data read against the general layout engine: for every input
// the two must store the same values (bit for bit, a value left untouched
// included), take the same records, give the same outcome and the same fatal
// report, whether the layout has the real-fields-and-skips shape or not.
#include <gtest/gtest.h>

#include <cstdint>
#include <bit>
#include <fstream>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "formats/compact_values.h"
#include "records/layout.h"
#include "records/memory_unit.h"
#include "records/outcome.h"
#include "records/transfer.h"

namespace ringave {
namespace {

constexpr float kUntouched = -7777.25f;

// What a read did, as text: its outcome or fatal report (message | statement
// | unit), every value's bits (a value left untouched included), the records
// a next read takes, and those after a step back.
template <typename Read>
std::string run(const std::string& text, std::size_t count, Handles handles, Read read) {
  std::string res;
  for (int pass = 0; pass < 2; ++pass) {
    MemoryUnit unit(text);
    std::vector<float> values(count, kUntouched);
    try {
      res += "outcome " + std::to_string(static_cast<int>(read(unit, std::span<float>(values), handles)));
    } catch (const Error& f) {
      res += "fatal " + f.message + "|" + f.statement + "|" + f.unit;
    }
    for (std::size_t k = 0; pass == 0 && k < count; ++k) res += " " + std::to_string(std::bit_cast<std::uint32_t>(values[k]));
    if (pass == 1) unit.step_back();
    res += pass == 0 ? "\nnext:" : "\nafter a step back:";
    std::string_view r;
    for (int n = 0; n < 1000 && unit.next(r); ++n) res += "[" + std::string(r) + "]";
    res += "\n";
  }
  return res;
}

// The fast read against the engine on one input.
void agree(const std::string& layout_text, const std::string& text, std::size_t count, Handles handles) {
  const Layout& l = layout(layout_text);
  EXPECT_EQ(run(text, count, handles, [&](MemoryUnit& u, std::span<float> v, Handles h) { return read_compact_values(u, l, v, h); }),
            run(text, count, handles, [&](MemoryUnit& u, std::span<float> v, Handles h) { return read_formatted(u, l, {v}, h); }))
      << layout_text << " count " << count << " handles " << static_cast<int>(handles) << " on [" << text << "]";
}

constexpr Handles kAllHandles[] = {Handles::none, Handles::end_of_file, Handles::error, Handles::both};

// Layouts of real files and of the benchmark, variants of the fast shape, and
// layouts that must take the general path (groups, other fields, faults).
const char* const kLayouts[] = {
    "(10F8.0)", "(26F3.0)", "(20F4.0)", "(8F10.3)", "(2X,6F12.0)", "(F5.1,3X,F4.0,2F6.2)", "(5F8.0,1X)",
    "(10f8.0)", "(3F4.2)",  "(F8.12)",  "(2F0.0)",  "(1X,F1.0,1X)", "(8X,2F0.0,F8.0)", "(F9.0,F7.0)",
    // general path
    "(2(5F8.0))", "(I8,9F8.0)", "(10F8.0/)", "(A8,F8.0)", "(10F8.0", "(5X)", "(300F1.0)", "(3F4.0,2(F2.0))",
    "(T5,3F4.0)",
};

// Fields a data record is made of: plain numbers, blanks, signs and points
// where the fast path converts, and everything it must leave to the engine.
const char* const kTokens[] = {
    "     351", "    -351", "  +12.5 ", "   .25  ", "        ", "0", "-0", "  1 2 3 ", "16777215", "16777216",
    "999999999", "1234567890", "4294967301", "0.00000000001", "1.5E2", "15-3", "1e", "12,", ",", "abc", "\t7", "  -  ", "+-1",
    "1..2", ". -1", "-.", "   12:4 ", "      ?9", "  /12", "3.4e38", "9e99", "  0.000", "12345678", "7", "  99", "\t", " - 12",
};

std::string random_record(std::mt19937_64& rng) {
  std::string rec;
  const int pieces = static_cast<int>(rng() % 14);
  for (int i = 0; i < pieces; ++i) {
    if (rng() % 3 == 0) {
      // A plain number in a random width, the common case.
      std::string n = std::to_string(static_cast<int>(rng() % 100000) - 20000);
      if (rng() % 4 == 0) n.insert(n.size() - rng() % (n.size() + 1), ".");
      rec += std::string(rng() % 5, ' ') + n;
    } else {
      rec += kTokens[rng() % std::size(kTokens)];
    }
  }
  if (rng() % 5 == 0 && !rec.empty()) rec.resize(rng() % rec.size());  // a short record
  return rec;
}

TEST(CompactValues, RandomRecordsAgreeWithTheEngine) {
  std::mt19937_64 rng(16);
  for (int i = 0; i < 20000 && !HasFailure(); ++i) {
    std::string text;
    const int records = static_cast<int>(rng() % 6);
    for (int r = 0; r < records; ++r) text += random_record(rng) + "\n";
    if (rng() % 4 == 0) text += random_record(rng);  // last line without line feed
    const std::size_t count = rng() % 4 == 0 ? rng() % 3 : rng() % 60;
    agree(kLayouts[rng() % std::size(kLayouts)], text, count, kAllHandles[rng() % 4]);
  }
}

// Records of eight-column fields, as "(10F8.0)" files hold them: right-
// justified numbers of up to eight digits, blank fields, and now and then a
// field that is not blanks then digits (a sign, a point, a blank after a
// digit, a tab, 2^24 and more), in layouts that read them two at a time and
// in ones that do not (an odd count, decimals beyond ten, a shifted start).
TEST(CompactValues, EightColumnFieldsAgreeWithTheEngine) {
  const char* const layouts[] = {"(10F8.0)", "(10F8.3)", "(6F8.1)", "(4F8.10)", "(3F8.0)", "(2F8.-1)", "(10F8.11)",
                                 "(1X,9F8.0)", "(5F8.0,F8.1)", "(F8.0)"};
  const char* const odd[] = {"    -351", "   35.1 ", "  3 51  ", "     \t12", "16777216", "99999999", "16777215",
                             " 1E3    ", "   +0   ", "        "};
  std::mt19937_64 rng(8);
  for (int i = 0; i < 20000 && !HasFailure(); ++i) {
    std::string text;
    for (int r = static_cast<int>(rng() % 4); r >= 0; --r) {
      for (int f = 0; f < 10; ++f) {
        if (rng() % 12 == 0) {
          text += odd[rng() % std::size(odd)];
          continue;
        }
        const std::string n = std::to_string(rng() % (rng() % 2 ? 100000 : 100000000));
        text += std::string(8 - n.size(), ' ') + n;
      }
      if (rng() % 6 == 0) text.resize(text.size() - rng() % 20);  // a record cut short
      text += "\n";
    }
    const std::size_t count = rng() % 3 == 0 ? 1 + rng() % 9 : 10 + rng() % 40;
    agree(layouts[rng() % std::size(layouts)], text, count, kAllHandles[rng() % 4]);
  }
}

// Hand-picked inputs at the edges: no items (one record is still taken), the
// last item on the last field of a record, end of file before and at the
// first record, a fault on the first and on a later record, a field cut
// short by the end of its record, commas shifting the fields.
TEST(CompactValues, EdgesAgreeWithTheEngine) {
  struct Case { const char *layout, *text; std::size_t count; };
  const Case cases[] = {
      {"(10F8.0)", "", 0}, {"(10F8.0)", "", 1}, {"(10F8.0)", "     351\n", 0}, {"(3F4.0)", "   1   2   3\n   4\n", 3},
      {"(3F4.0)", "   1   2   3\n   4\n", 4}, {"(3F4.0)", "   1   2   3\n   4\n", 7}, {"(3F4.0)", "   1   2   3", 3},
      {"(3F4.0)", "   1   2   3", 4}, {"(3F4.0)", "   1 x 2   3\n   4\n", 5}, {"(3F4.0)", "   1   2   3\n   4   y\n   5\n", 9},
      {"(3F4.0)", "   1   2   3\n   4   5   y\n", 5}, {"(3F4.0)", "1,2,3,4\n5\n", 4}, {"(3F4.0)", "  1.5E1 2\n", 3},
      {"(2F4.1)", "  -5 123\n", 2}, {"(2F4.1)", "  -0   0\n", 2}, {"(2F10.0)", "42949673014294967296\n", 2},
      {"(2X,2F3.0)", "xx 12 34\n", 2}, {"(2X,2F3.0)", "x\n", 2}, {"(8X,2F0.0,F8.0)", "     351     352\n", 3},
      {"(26F3.0)", " 41 38 51 52 29 40 42 49 36 41 43 46 47 33 36 56 29 51 36 37 43 44 34 42 42 37\n999\n", 27},
  };
  for (const Case& c : cases)
    for (Handles h : kAllHandles) agree(c.layout, c.text, c.count, h);
}

// The records the fast path converts itself: plain fields of the fast
// layouts, short records among them; any other field, and every layout of
// the general path, goes to the engine.
TEST(CompactValues, FastPathTakesThePlainRecords) {
  const std::tuple<const char*, const char*, std::size_t, bool> cases[] = {
      {"(10F8.0)", "     351    -352  +12.5      .25       0\n", 5, true},  {"(10F8.0)", "     351\n", 1, true},
      {"(26F3.0)", " 41 38 51\n", 3, true},    {"(2X,6F12.0)", "xx         1.5          -2\n", 2, true},
      {"(F5.1,3X,F4.0,2F6.2)", "  1.5xxx  12  1.25 -2.50\n", 4, true}, {"(5F8.0,1X)", "       1       2\n", 2, true},
      {"(F12.0)", "0.0000000001\n", 1, true},
      {"(10F8.0)", "   1.5E2\n", 1, false}, {"(10F8.0)", "     351       x\n", 2, false},
      {"(2(5F8.0))", "       1\n", 1, false}, {"(I8,9F8.0)", "       1\n", 1, false}, {"(T5,3F4.0)", "       1\n", 1, false},
      {"(300F1.0)", "1\n", 1, false},
  };
  for (const auto& [layout_text, text, count, fast] : cases) {
    MemoryUnit unit(text);
    std::vector<float> values(count);
    bool all_fast = !fast;
    read_compact_values(unit, layout(layout_text), values, Handles::both, &all_fast);
    EXPECT_EQ(all_fast, fast) << layout_text << " [" << text << "]";
  }
}

// Real Compact files: a read started at every record of the file (headers
// included, which are faults for the data layout) with counts below, at and
// beyond a record's worth of values.
TEST(CompactValues, RealFilesAgreeWithTheEngine) {
  for (const char* name : {"anos1_cmp.cmp", "gp_cmp.cmp", "nm046_cmp.cmp", "wa082_cmp.cmp"}) {
    std::ifstream in(std::string(RINGAVE_TEST_DATA) + "/" + name, std::ios::binary);
    ASSERT_TRUE(in) << name;
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line + "\n");
    ASSERT_GT(lines.size(), 10u) << name;
    for (std::size_t start = 0; start < lines.size() && !HasFailure(); ++start) {
      std::string text;
      for (std::size_t k = start; k < lines.size() && k < start + 12; ++k) text += lines[k];
      for (std::size_t count : {std::size_t{1}, std::size_t{26}, std::size_t{27}, std::size_t{100}, std::size_t{400}})
        for (const char* l : {"(26F3.0)", "(20F4.0)", "(10F8.0)"}) agree(l, text, count, Handles::both);
    }
  }
}

}  // namespace
}  // namespace ringave
