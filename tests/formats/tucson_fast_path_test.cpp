// The Tucson reader parses plain data lines in place and leaves every other
// line to the layout engine. Both must agree on every line: data line or
// text line, and every field of a data line.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "formats/tucson_line.h"

namespace ringave {
namespace {

// A record as the reader's line buffer holds it: columns 1-88, the rest blank.
std::string line_buffer(const std::string& record) {
  std::string line(kTucsonLineLength, ' ');
  std::memcpy(line.data(), record.data(), std::min(record.size(), kTucsonLineLength - 1));
  return line;
}

// Compares the reader's parse with the engine's; returns whether the
// in-place parse took the line.
bool expect_same(const std::string& record) {
  const std::string line = line_buffer(record);
  TucsonFields fast, general;
  const bool fast_ok = parse_tucson_line(line.data(), fast);
  const bool general_ok = parse_tucson_line_general(line.data(), general);
  EXPECT_EQ(fast_ok, general_ok) << "[" << record << "]";
  if (fast_ok && general_ok) {
    EXPECT_EQ(fast.id.view(), general.id.view()) << "[" << record << "]";
    EXPECT_EQ(fast.year, general.year) << "[" << record << "]";
    for (int k = 0; k < 10; ++k) EXPECT_EQ(fast.f[k], general.f[k]) << "field " << k << " [" << record << "]";
    EXPECT_EQ(fast.tagged, general.tagged) << "[" << record << "]";
    if (fast.tagged) EXPECT_EQ(fast.tag.view(), general.tag.view()) << "[" << record << "]";
  }
  TucsonFields plain;
  const bool plain_ok = parse_tucson_line_plain(line.data(), plain);
  // The in-place parse never takes a line the engine rejects.
  if (plain_ok) EXPECT_TRUE(general_ok) << "[" << record << "]";
  return plain_ok;
}

TEST(TucsonFastPath, HandMadeLinesAgreeWithTheEngine) {
  struct Case {
    const char* record;
    bool plain;  // taken by the in-place parse
  };
  const Case cases[] = {
      {"ABC01011190100123    45   999", true},
      {"ABC010111900     1     2     3     4     5     6     7     8     9    10", true},
      {"ABCDEFG-1234     1     2     3     4 -9999", true},                 // 7-5
      {"ABCDEF-11950     1     2     3     4     5     6     7     8     9    10", true},  // 6-6
      {"ABCDEF--1234     1", true},                                          // '-' in 7 and 8: 7-5
      {"ABC01011  -5     1     2", true},
      {"ABC0101A1901     1", true},                                         // any ID characters
      {"A,C.01#\t1901     1", true},                                    // negative year, 8-4
      {"ABC01011 1901     1  1 2  +  3   - 4     -     +", true},            // embedded blanks, signs alone
      {"ABC01011190100123", true},                                         // short: missing fields are 0
      {"ABC01011 190", true},
      {"ABC01011190199999999999999", true},
      {"ABC010111901   123", true},
      {"ABC01011190112345612345612345612345612345612345612345612345612345612345699999999999", true},
      // Column 84 not blank: the tag is columns 83-88; longer records are cut at 88.
      {"ABC010111900     1     2     3     4     5     6     7     8     9    10  TAG   xxxxxxxxx Txyz12345", true},
      {"ABC010111900     1     2     3     4     5     6     7     8     9    10           T", true},
      {"ABC010111900     1     2     3     4     5     6     7     8     9    10          T ", true},  // col 83 only
      {"ABC010111900     1     2     3     4     5     6     7     8     9    10  anything after column 72", true},
      // Not plain: the engine decides.
      {"ABC010111901   1,2     3", false},      // comma ends a field early
      {"ABC010111901,123", false},
      {"ABC01011190,    1", false},
      {"ABC010111901    1-    2", false},       // sign after digits
      {"ABC010111901   --1", false},            // two signs
      {"ABC010111901  +-1", false},
      {"ABC010111901   1.5", false},
      {"ABC010111901   12E", false},
      {"Site name and species        1901", false},
      {"ABC01011A901     1", false},            // letter in the year columns
      {"ABC01011190A     1", false},
      {"ABC01011 19O1     1", false},
      {"1234567890123456789012345678901234567890123456789012345678901234567890X", false},
      {"ABC01011\x01901     1", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.record);
    EXPECT_EQ(expect_same(c.record), c.plain);
  }
  // Characters the c_str() cases cannot carry: NUL and tab in a field.
  EXPECT_FALSE(expect_same(std::string("ABC010111901  \0 12", 18)));
  EXPECT_FALSE(expect_same(std::string("ABC010111901  \t 12", 18)));
}

// Random lines: data-like fields with blanks, signs and digits where the
// reader meets them, sprinkled with the characters that make a line not
// plain, at every length up to past column 88.
TEST(TucsonFastPath, RandomLinesAgreeWithTheEngine) {
  std::mt19937 rng(20240611);
  const std::string digits = "0123456789";
  const std::string odd = ",.+-Ee\tA#*";
  auto pick = [&](const std::string& from) { return from[rng() % from.size()]; };
  int plain = 0;
  const int kLines = 100000;
  for (int i = 0; i < kLines; ++i) {
    std::string rec;
    const int len = static_cast<int>(rng() % 100);
    const int style = static_cast<int>(rng() % 4);
    for (int c = 0; c < len; ++c) {
      const unsigned r = rng() % 100;
      char ch;
      if (c < 6) {
        ch = r < 80 ? static_cast<char>('A' + rng() % 26) : r < 90 ? pick(digits) : ' ';
      } else if (c < 8 && r < 15) {
        ch = '-';  // picks the 6-6 or 7-5 split
      } else if (style == 0 && r < 3) {
        ch = pick(odd);
      } else if (r < 45) {
        ch = ' ';
      } else if (r < 49) {
        ch = rng() % 4 == 0 ? '+' : '-';
      } else if (style == 1 && r < 52) {
        ch = pick(odd);
      } else {
        ch = pick(digits);
      }
      rec.push_back(ch);
    }
    if (expect_same(rec)) ++plain;
    if (::testing::Test::HasFailure()) break;  // one line's report is enough
  }
  // Both the in-place parse and the engine's fallback were exercised.
  EXPECT_GT(plain, kLines / 10);
  EXPECT_LT(plain, kLines * 9 / 10);
}

}  // namespace
}  // namespace ringave
