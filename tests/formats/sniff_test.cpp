// Telling the format of a file from its first records: the shapes of single
// records, made-up files, and the second look after a read in the wrong format.
// (Every real file is told right in scenario cli_auto_realdata.)
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "formats/compact.h"
#include "formats/sniff.h"
#include "formats/tucson.h"
#include "records/memory_unit.h"

namespace ringave {
namespace {

TEST(SniffTest, RecordShapes) {
  const std::string header = "     289=N    1681=I 644011                                          -2(26F3.0)~";
  EXPECT_TRUE(looks_like_compact_header(header));
  EXPECT_TRUE(looks_like_compact_header(header.substr(0, 79)));               // no "~"
  EXPECT_FALSE(looks_like_compact_header(header.substr(0, 78)));              // layout cut short
  EXPECT_FALSE(looks_like_compact_header("    2 89=N" + header.substr(10)));  // blank inside the count
  const struct { const char* line; bool data; } lines[] = {
      {"CAM011  1530   104    89   103    70    69   115   101   109    77   136", true},
      {"CAM011  1530   104", true},
      {"ANOS111K1955   328   363   321   276   286", true},          // the ID fills columns 1-8
      {"AKK00010-384   200   130    70    75", true},                // a year below 0
      {"SS004B -2649    12    14", true},                             // the 7-5 split
      {"CAM011  1983   999", true},                                  // a stop marker alone
      {"CAM011  1980    96  -999    88 -9999", true},
      {"CAM011  1530   104    89   103    70    69   115   101   109    77   136  AVE", true},  // a tag
      {"CA533    Campito Mountain                                    PILO", false},
      {"CA533    California   Bristlecone pine              626 1983", false},
      {"538    2 Finland   Scots pine, Scotch pine 320  6700-2707 1670 1978 -", false},
      {"SeriesA  1   10 30 50 70 999", false},                       // values not in 6-column fields
      {"CAM011  15 0   104", false},
      {"CAM011  1530   104     X", false},                          // a letter in a field's last column
      {"CAM011  1530", false},                                       // no value
      {"nm046.rwl 1 4 5", false},
      {" 91118128107  9153175172241137 78172142 78 99 48109109150105189107169 45 53151", false},
  };
  for (const auto& l : lines) EXPECT_EQ(looks_like_tucson_data(l.line), l.data) << l.line;
}

std::optional<Format> guess(const std::string& text) {
  MemoryUnit unit(text, 12);
  return guess_format(unit);
}

TEST(SniffTest, MadeUpFiles) {
  const std::string header = "      10=N    1990=I AB011                                           -2(10F3.0)~\n";
  const std::string data = "AB011   1990   100   200 -9999\n";
  const struct { std::string text; std::optional<Format> want; } cases[] = {
      {"\n\n" + header + "100200300400500600700800900100\n", Format::compact},    // blank lines first
      {"Title one\nTitle two\nTitle three\n" + header, Format::compact},           // three title lines
      {"1\n2\n3\n4\n" + header, std::nullopt},                                  // a fifth line is too late
      {"Site\nState\nPeople\n" + data + data, Format::tucson},                      // header lines
      {data + header, Format::tucson},                                                // a data line before the header
      {std::string(30, '\n') + data, Format::tucson},                              // blank lines count for nothing
      {"x\n" "x\n" "x\n" "x\n" "x\n" "x\n" "x\n" "x\n" "x\n" "x\n" "x\n" "x\n" "x\n" "x\n" "x\n" "x\n" "x\n" "x\n"
       "x\n" "x\n" "x\n" "x\n" "x\n" "x\n" "x\n" "x\n" + data, std::nullopt},     // 27th line: too late
      {data + "a\nb\nc\n", std::nullopt},                                      // mostly not data
      {"nm046.rwl 1 4 5\nca533.rwl 1 4 5\n", std::nullopt},                    // a list file
      {"SeriesA  1   10 30 50 70 999\nSeriesB  1   200 400 600 800 -9999\n", std::nullopt},
      {"", std::nullopt},
      {"\nyear,A01\n1901,1.04\n", Format::csv},                                   // a table's header first
      {"Oak, Campito; 1530, 1983\n" + data + data, Format::tucson},               // a title with separators
      {"x\nyear,A01\n1901,1.04\n", std::nullopt},                                 // the header must lead
  };
  for (const auto& c : cases) EXPECT_EQ(guess(c.text), c.want) << c.text.substr(0, 200);
}

// The second look that tells a file read in the wrong format for what it is
// (scenarios compact_answered_as_tucson and tucson_answered_as_compact show
// the hints); nothing else is taken for either.
TEST(SniffTest, FilesThatLookLikeTheOtherFormat) {
  const std::string compact_header = "     176=N    1277=I TWYN01                                          -2(26F3.0)~\n";
  const struct { std::string file; bool compact, tucson; } cases[] = {
      {"\n\n" + compact_header + "142338334409362308360264325318134151219268290222278258173198294202\n", true, false},
      {"SITE  1 title\nAB01A   1908     1     2\nAB01A   1910     3   999\n", false, true},
      {"AB01A   1908     1     2\nAB02A   1910     3   999\n", false, false},  // not one series
      {"142338334409362308360264325318134151219268290222278258173198294202170176172121\n"
       " 87130114108170135131126 87100 86104103127112 94 96120168149119124 79 67 88 90\n", false, false},
      {"x.rwl 1 4 5\ny.rwl 1 4 5\n", false, false},  // a list file
      {"", false, false},
      {std::string(99, '\n') + compact_header, true, false},  // the first 100 records are looked at
      {std::string(100, '\n') + compact_header, false, false},
  };
  for (const auto& c : cases) {
    MemoryUnit a(c.file), b(c.file);
    EXPECT_EQ(looks_like(a, Format::compact), c.compact) << c.file;
    EXPECT_EQ(looks_like(b, Format::tucson), c.tucson) << c.file;
  }
}

}  // namespace
}  // namespace ringave
