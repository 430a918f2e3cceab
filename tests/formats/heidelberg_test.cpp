// The Heidelberg reader's rules that scenarios cannot show: values in every
// unit with the very bits the Tucson reader gives, IDs cut to the ID field
// without cutting a character, the header's keys, and how the format is told
// (the scenarios cli_heidelberg_* show the messages and the outputs).
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "formats/format_test_util.h"
#include "formats/heidelberg.h"
#include "formats/heidelberg_values.h"
#include "formats/registry.h"
#include "formats/sniff.h"
#include "records/memory_unit.h"

namespace ringave {
namespace {

using testing::data_line;
using testing::OwnedSeries;
using testing::Recorder;

OwnedSeries read_one(Format format, const std::string& file, bool chronologies = false) {
  MemoryUnit unit(file);
  Recorder rec;
  OwnedSeries v;
  ReadOptions options;
  options.chronologies = chronologies;
  const auto reader = make_reader(format, unit, rec, options);
  EXPECT_EQ(reader->next(v.s), SeriesRead::series) << rec.said;
  return v;
}

std::vector<std::uint32_t> bits(const OwnedSeries& v) {
  std::vector<std::uint32_t> out;
  for (const float f : v.got()) out.push_back(std::bit_cast<std::uint32_t>(f));
  return out;
}

TEST(HeidelbergRead, ValuesHaveTheTucsonBitsInEveryUnit) {
  const std::vector<int> values = {0, 1, 7, 29, 123, 998, 1001, 4567, 9876, -5};
  const struct {
    const char* unit;  // the header's Unit line
    int scale;         // the same widths in the Tucson file's unit
    int stop;          // its stop marker
  } cases[] = {{"", 1, 999},           {"Unit=1/100 mm\n", 1, 999}, {"Unit=1/1000 mm\n", 1, -9999},
               {"Unit=0.001 mm\n", 1, -9999}, {"Unit=1/10 mm\n", 10, 999}, {"Unit=mm\n", 100, 999}};
  for (const auto& c : cases) {
    std::string fh = "HEADER:\nKeyCode=AB01\nDateBegin=1900\n" + std::string(c.unit) + "DATA:Tree\n";
    std::string rwl = "AB01    1900";  // the ten values on one decade line
    for (const int v : values) {
      fh += " " + std::to_string(v);
      const std::string field = std::to_string(v * c.scale);
      rwl += std::string(6 - field.size(), ' ') + field;
    }
    rwl += "\n" + data_line("AB01    1910", {c.stop});
    fh += " 3\n";  // a last value that is not 0, so the series keeps its zeros
    OwnedSeries h = read_one(Format::heidelberg, fh);
    h.s.count -= 1;
    EXPECT_EQ(bits(h), bits(read_one(Format::tucson, rwl))) << c.unit;
  }
}

TEST(HeidelbergRead, IdsAndFields) {
  const struct {
    std::string keys;  // Latin-1
    std::string id, name;
  } cases[] = {
      {"KeyCode=AB01\n", "AB01    ", ""},
      {"KeyNo=NO1\nKeyCode=\n", "NO1     ", ""},  // an empty KeyCode is none
      {"KeyCode=K1_091-long\n", "K1_091-l", "K1_091-long"},
      {"KeyCode=ABCDEFG\xe4\n", "ABCDEFG ", "ABCDEFG\xc3\xa4"},  // 9 bytes in UTF-8: the last character stays whole
      {"KeyCode=ABCDEF\xe4\n", "ABCDEF\xc3\xa4", ""},
      {"keycode=old\nKEYCODE=new\n", "new     ", ""},
  };
  for (const auto& c : cases) {
    const OwnedSeries v = read_one(Format::heidelberg, "HEADER:\n" + c.keys + "DateBegin=1\nDATA:Tree\n5\n");
    EXPECT_EQ(v.s.id.str(), c.id) << c.keys;
    EXPECT_EQ(v.s.name, c.name) << c.keys;
  }
  const OwnedSeries v = read_one(Format::heidelberg,
                                 "HEADER:\nSiteCode=S\xfc\nKeyCode=A\n  treeno = 7 \nDateBegin=1\nTreeNo=8\nDATA:Tree\n5\n");
  std::string fields;
  for (const SeriesField& f : v.s.fields) fields += f.key + "=" + f.value + ";";
  EXPECT_EQ(fields, "SiteCode=S\xc3\xbc;KeyCode=A;treeno=8;DateBegin=1;");
}

TEST(HeidelbergRead, ChronologyCountsAndPadding) {
  const OwnedSeries quad = read_one(Format::heidelberg,
                                    "HEADER:\nKeyCode=M\nDataFormat=Chrono\nDateBegin=10\nDATA:Quadro\n"
                                    "100 2 1 1  0 0 0 0  300 1 1 0  0 0 0 0\n",
                                    true);
  const std::vector<float> got = quad.got();
  ASSERT_EQ(got.size(), 3u);  // the last year is padding
  EXPECT_EQ(got[0], 1.0f);
  EXPECT_TRUE(std::isnan(got[1]));  // count 0: no value
  EXPECT_EQ(got[2], 3.0f);
}

// The quick read of a line of ten 6-column fields against the general read,
// over lines near the common shape: every line it takes reads as the same
// ten numbers by whitespace.
TEST(HeidelbergRead, QuickLineAnswersAsTheGeneralRead) {
  std::mt19937 random(24);
  const std::string odd = "  0123456789-+x\t";
  int taken = 0;
  for (int n = 0; n < 20000; ++n) {
    std::string line;
    for (int f = 0; f < 10; ++f) {
      const std::string number = std::to_string(random() % (random() % 64 ? 100000 : 1000000));
      line += std::string(number.size() < 6 ? 6 - number.size() : 0, ' ') + number;
    }
    if (random() % 2) line[random() % 60] = odd[random() % odd.size()];  // one column changed
    line += random() % 16 == 0 ? " 5\n" : "\n12";                        // what follows the tenth field
    std::int32_t quick[10];
    if (!heidelberg::ten_fields(line.data(), quick)) continue;
    ++taken;
    const char* p = line.data();
    std::int32_t v = 0;
    for (const std::int32_t q : quick) {
      ASSERT_EQ(heidelberg::next_number(p, line.data() + 60, v), heidelberg::Token::number) << line;
      EXPECT_EQ(v, q) << line;
    }
    EXPECT_EQ(heidelberg::next_number(p, line.data() + 60, v), heidelberg::Token::end) << line;
  }
  EXPECT_GT(taken, 2000);
}

TEST(HeidelbergSniff, HeaderLinesAndFiles) {
  for (const char* yes : {"HEADER:", "header:", "  HEADER:  ", "\xEF\xBB\xBFHEADER:"})
    EXPECT_TRUE(is_heidelberg_header_line(yes)) << yes;
  for (const char* no : {"HEADER:x", "HEADERS:", "HEADER", "DATA:Tree", ""})
    EXPECT_FALSE(is_heidelberg_header_line(no)) << no;
  const struct { std::string text; std::optional<Format> want; bool second_look; } cases[] = {
      {"\nHEADER:\nKeyCode=A\nDATA:Tree\n 1\n", Format::heidelberg, true},
      {"Title\nHEADER:\nKeyCode=A\n", std::nullopt, true},   // told only by its first line
      {"HEADER:\nAB011   1990   100   200 -9999\nAB011   1990   100   200 -9999\n", Format::heidelberg, false},
      {"AB011   1990   100 -9999\nAB012   1990   100 -9999\nHEADER:\nKeyCode=A\n", Format::tucson, true},
  };
  for (const auto& c : cases) {
    MemoryUnit a(c.text), b(c.text);
    EXPECT_EQ(guess_format(a), c.want) << c.text;
    EXPECT_EQ(looks_like(b, Format::heidelberg), c.second_look) << c.text;
  }
}

}  // namespace
}  // namespace ringave
