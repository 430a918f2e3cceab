// What real files bring to the readers: the missing-value code -999, lines
// that do not continue their series, negative values, blank lines in Compact
// files, and the second look that tells a file of the other format.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "formats/compact.h"
#include "formats/registry.h"
#include "formats/format_test_util.h"
#include "formats/tucson.h"
#include "records/memory_unit.h"

namespace ringave {
namespace {

using testing::data_line;
using testing::OwnedSeries;
using testing::Recorder;

// Every series of `file` as "ID first: v v v" (a missing value as "-"), and the findings.
std::string read_all(const std::string& file, std::string& said, char reader = 't') {
  MemoryUnit unit(file);
  Recorder rec;
  OwnedSeries v;
  std::string out;
  const auto series = make_reader(reader == 't' ? Format::tucson : Format::compact, unit, rec);
  for (int guard = 0; guard < 100; ++guard) {
    const SeriesRead got = series->next(v.s);
    if (got != SeriesRead::series) break;
    out += std::string(v.s.id.trimmed()) + " " + std::to_string(v.s.first_year) + ":";
    for (float x : v.got()) out += std::isnan(x) ? " -" : " " + std::to_string(std::lround(x * 1000));
    out += "\n";
  }
  said = rec.said;
  return out;
}

// -999 keeps its year in both units; only other negative values are named, once per series.
TEST(RealFiles, MissingValuesAndNegativeValues) {
  const struct { std::string file, series, said; } cases[] = {
      {data_line("AB01A   1901", {120, -999, 130, 999}), "AB01A 1901: 1200 - 1300\n", ""},
      {data_line("AB01A   1908", {-999, 1300}) + data_line("AB01A   1910", {-999, -9999}), "AB01A 1908: - 1300 -\n", ""},
      {data_line("AB01A   1901", {-999, -999, 999}), "AB01A 1901: - -\n", ""},
      {data_line("AB01A   1901", {120, -5, -998, -1000, 999}) + data_line("AB02A   1901", {-7, 999}),
       "AB01A 1901: 1200 -50 -9980 -10000\nAB02A 1901: -70\n",
       "warning: series AB01A: negative value in 1902 (and perhaps later), averaged as a ring width\n"
       "warning: series AB02A: negative value in 1901 (and perhaps later), averaged as a ring width\n"},
  };
  for (const auto& c : cases) {
    std::string said;
    EXPECT_EQ(read_all(c.file, said), c.series) << c.file;
    EXPECT_EQ(said, c.said) << c.file;
  }
}

// A later line must carry the series' ID and the year that follows the values taken so far; the values are
// taken as they stand either way, and the series gets one warning at most.
TEST(RealFiles, LinesThatDoNotContinueTheirSeries) {
  const std::string warn = "warning: series AB01A: the data line ";
  const struct { std::string file, said; } cases[] = {
      {data_line("AB01A   1908", {1, 2}) + data_line("AB01A   1910", {3, 999}), ""},
      {data_line("AB01A   1908", {1, 2}) + data_line("AB01A   1920", {3, 999}),  // a decade line missing
       warn + "AB01A 1920 does not continue it (year 1910 expected); its values are taken for the years that follow\n"},
      {data_line("AB01A   1908", {1, 2}) + data_line("AB01B   1910", {3}) + data_line("AB01C   1920", {4, 999}),
       warn + "AB01B 1910 does not continue it (year 1910 expected); its values are taken for the years that follow\n"},
      {data_line("AB01A   1908", {1, 2}) + "AB01A   1910   x\n" + data_line("AB01A   1920", {3, 999}),  // a text line
       warn + "AB01A 1920 does not continue it (year 1910 expected); its values are taken for the years that follow\n"},
      {data_line("AB01A   1908", {1, 2}) + data_line("AB01A   1910", {3}) + data_line("AB02A   1901", {4, 999}),
       warn + "AB02A 1901 does not continue it (year 1920 expected); its values are taken for the years that follow\n"},
      {data_line("AB01A   1908", {1, 2}) + "\n" + data_line("AB01A   1910", {3, 999}), ""},  // a blank line
      // 7-5, then 6-6 at -1000 (read as 7-5 with a blank in the ID), then 8-4; and 6-6 below -9999.
      {data_line("AB01A  -1005", {1, 2, 3, 4, 5}) + data_line("AB01A -1000", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}) +
           data_line("AB01A   -990", {1, 999}),
       ""},
      {data_line("AB01A -10005", {1, 2, 3, 4, 5}) + data_line("AB01A -10000", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}) +
           data_line("AB01A  -9990", {1, 999}),
       ""},
      {data_line("ABCDEFG-1002", {1, 2}) + data_line("ABCDEF -1000", {1, 2}) + data_line("ABCDEFGH-990", {1, 999}), ""},
      {data_line("ABCDEFG-1002", {1, 2}) + data_line("ABCDEFGH-990", {1, 999}),
       "warning: series ABCDEFG: the data line ABCDEFGH -990 does not continue it (year -1000 expected); its values are "
       "taken for the years that follow\n"},
  };
  for (const auto& c : cases) {
    std::string said;
    read_all(c.file, said);
    EXPECT_EQ(said, c.said) << c.file;
  }
}

// Blank lines before the first header, between series and after the last are passed over; a blank line inside
// the data is read as data, as before.
TEST(RealFiles, BlankLinesInCompactFiles) {
  const auto header = [](int count, int year, const char* id) {
    char buf[96];
    std::snprintf(buf, sizeof buf, " %7d=N%8d=I %-8s%39s%3s%-8s~\n", count, year, id, "", "-2", "(4F3.0)");
    return std::string(buf);
  };
  const struct { std::string file, series, said; } cases[] = {
      {"\n\n" + header(2, 1900, "A") + "100200\n\n  \n" + header(1, 1901, "B") + "300\n\n", "A 1900: 1000 2000\nB 1901: 3000\n", ""},
      {header(5, 1900, "A") + "100200300400\n\n" + header(1, 1901, "B") + "300\n",
       "A 1900: 1000 2000 3000 4000 0\nB 1901: 3000\n", ""},  // the blank line holds the fifth value
      {header(2, 1900, "A") + "100-20\n", "A 1900: 1000 -200\n",
       "warning: series A: negative value in 1901 (and perhaps later), averaged as a ring width\n"},
  };
  for (const auto& c : cases) {
    std::string said;
    EXPECT_EQ(read_all(c.file, said, 'c'), c.series) << c.file;
    EXPECT_EQ(said, c.said) << c.file;
  }
}

TEST(RealFiles, FilesThatLookLikeTheOtherFormat) {
  const std::string compact_header = "     176=N    1277=I TWYN01                                          -2(26F3.0)~\n";
  const std::string tucson = "SITE  1 title\n" + data_line("AB01A   1908", {1, 2}) + data_line("AB01A   1910", {3, 999});
  const struct { std::string file; bool compact, tucson; } cases[] = {
      {"\n\n" + compact_header + "142338334409362308360264325318134151219268290222278258173198294202\n", true, false},
      {tucson, false, true},
      {data_line("AB01A   1908", {1, 2}) + data_line("AB02A   1910", {3, 999}), false, false},  // not one series
      {"142338334409362308360264325318134151219268290222278258173198294202170176172121\n"
       " 87130114108170135131126 87100 86104103127112 94 96120168149119124 79 67 88 90\n",
       false, false},
      {"x.rwl 1 4 5\ny.rwl 1 4 5\n", false, false},  // a list file
      {"", false, false},
  };
  for (const auto& c : cases) {
    MemoryUnit a(c.file), b(c.file);
    EXPECT_EQ(looks_like(a, Format::compact), c.compact) << c.file;
    EXPECT_EQ(looks_like(b, Format::tucson), c.tucson) << c.file;
  }
}

}  // namespace
}  // namespace ringave
