// Reading of Tucson and Compact series: the first series of a file in all its
// shapes and endings, the warnings about later lines and negative values
// (scenario cli_auto_realdata reads the real Compact files to the trees of
// their Tucson twins).
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <vector>

#include "formats/compact.h"
#include "formats/format_test_util.h"
#include "formats/registry.h"
#include "formats/tucson.h"
#include "records/outcome.h"

namespace ringave {
namespace {

using testing::data_line;
using testing::OwnedSeries;
using testing::Recorder;

std::string text_lines(int n) { return n > 0 ? "text line\n" + text_lines(n - 1) : ""; }
const std::string kBlock = "XYZ00101 block" + std::string(65, ' ') + "#\n";  // '#' in column 80: a block title

// Runs `f`: "" when it returns, "status message" for a stop, "fatal message" for a fatal report.
template <class F> std::string ending(F f) {
  try {
    f();
  } catch (const Error& e) {
    return (e.fatal() ? "fatal" : std::to_string(e.status)) + " " + e.message;
  }
  return "";
}

// A Compact series header of series X in its fixed columns; `exponent` is the text of columns 69-71.
std::string header(int count, int year, const char* exponent, const char* fmt) {
  char buf[96];
  std::snprintf(buf, sizeof buf, " %7d=N%8d=I %-8s%39s%3s%-8s~\n", count, year, "X", "", exponent, fmt);
  return buf;
}

std::string pad(std::string s) { return s.append(80 - s.size(), ' '); }

// The first series of `file` read by the Tucson ('t') or Compact ('c') reader into storage for `capacity`
// values; `said` gets the findings and how the read ended ("" for a series, "end" at end of file).
// The reader's title (the first text line) goes to `title` when given.
OwnedSeries read_first(const std::string& file, std::string& said, std::size_t capacity = 3001, char reader = 't',
                       Field<85>* title = nullptr) {
  MemoryUnit unit(file);
  Recorder rec;
  OwnedSeries v(capacity);
  SeriesRead got = SeriesRead::series;
  const auto read = make_reader(reader == 't' ? Format::tucson : Format::compact, unit, rec);
  const std::string end = ending([&] { got = read->next(v.s); });
  said = rec.said + end + (got == SeriesRead::end_of_file ? "end" : "");
  if (title) *title = read->title();
  return v;
}

// (Too many text lines, no stop marker at the end, a block's bad data and a Compact
// count over the limit stop or warn in scenarios stop_at_26_text_lines_old_output,
// compact_answered_as_tucson, block_read_error_rest_missing and
// bad_compact_count_over_limit.)
TEST(FirstSeries, TucsonAndCompact) {
  std::string over = header(25, 1800, "", "(10F8.0)");  // a Compact series over records, then the next
  for (int j = 0; j < 25; ++j) over += "      " + std::to_string(10 + j) + (j % 10 == 9 ? "\n" : "");
  std::vector<float> tens;
  for (int j = 0; j < 25; ++j) tens.push_back(10.0f + static_cast<float>(j));
  const std::string data = "       1      2x", fourth = "      12  year?", given_up = "\nfile error";
  struct Case {  // unit 100: values read as x 0.01; 1000: then x 0.1; 1: as they stand
    char reader;
    std::string file, id;
    std::int32_t first_year;
    std::vector<float> values;
    int unit;
    std::string said = "";
  } cases[] = {
      {'t', data_line("ABC010111901", {123, 45, 999}), "ABC01011", 1901, {123, 45}, 100},
      {'t', data_line("ABCDEFG-1234", {5, 9, 13, 4, 77}) + data_line("ABCDEFG-1230", {-9999}), "ABCDEFG ", -1234, {5, 9, 13, 4}, 1000},
      {'t', data_line("ABCDEF-11953", {1, 2, 3, 77}) + data_line("ABCDEF-11950", {999}), "ABCDEF  ", -11953, {1, 2, 3}, 100},
      {'t', data_line("ABC010111905", {1, 2, 3, 4, 5, 999, -9999}) + data_line("ABC010111910", {6, 999}), "ABC01011", 1905,
       {1, 2, 3, 4, 5, 6}, 100},
      {'t', data_line("ABC01011  -5", {1, 2, 3, 4, 5, 77}) + data_line("ABC01011   0", {6, 999}), "ABC01011", -5, {1, 2, 3, 4, 5, 6}, 100},
      {'t', data_line("ABC010111901   123      ", {-5, 0, 999}), "ABC01011", 1901, {123, 0, -5, 0}, 100,
       "warning: series ABC01011: negative value in 1903 (and perhaps later), averaged as a ring width\n"},
      {'t', data_line("ABC010111909", {5}) + data_line("ABC01011    ", {-9999}) + data_line("ABC010111910", {9, -9999}), "ABC01011",
       1909, {5, 9}, 1000},
      {'t', text_lines(25) + data_line("ABC010111901", {999}), "ABC01011", 1901, {}, 100},
      {'t', data_line("ABC010111900", {1, 2, 3, 4, 5, 6, 7, 999}), "", 0, {}, 1, "1 sbr trrw:  series ABC01011 has more than 6 values"},
      {'t', kBlock + "n        3      1650  (3f4.1)\n 1.0 3.0-4.0\n", "XYZ00101", 1650, {1, 3, -4}, 1},
      // The last text line before the block header names it, blanks in columns 2-3 or not (only "n  " does not).
      {'t', kBlock + "X  00102 note\nn        2      1650  (2f4.1)\n 1.0 3.0\n", "X  00102", 1650, {1, 3}, 1},
      // The '#' on the block header itself: the header is read again as the block's.
      {'t', "n        3      1650  (3f4.1)" + std::string(50, ' ') + "#\n 1.0 3.0-4.0\n", "n       ", 1650, {1, 3, -4}, 1},
      {'c', "Site\n" + header(2, -20, "-2", "(10F8.0)") + "     123       5\n", "X       ", -20, {123, 5}, 100,
       "\n title of data:\n " + pad("Site") + "\n"},
      {'c', header(2, 1900, "", "(10F4.2)") + "1234 1.5\n", "X       ", 1900, {12.34f, 1.5f}, 1},
      // Blank lines before a header are passed over; one inside the data is read as data.
      {'c', "\n\n" + header(5, 1900, "-2", "(4F3.0)") + "100200300400\n\n", "X       ", 1900, {100, 200, 300, 400, 0}, 100},
      {'c', over + " junk\n" + header(1, 1900, "", "(F8.0)") + "       7\n", "X       ", 1800, tens, 1},
      {'c', "Title\nTitle\nTitle\n" + fourth + "\n", "", 0, {}, 1, "\n title of data:\n " + pad("Title") + "\n " +
       pad("Title") + "\n " + pad("Title") + "\n\n *** header line read error in sbr cdf: \n               0    12          \n " +
       pad(fourth) + given_up},
      {'c', header(30, 1900, "", "(30F2.0)") + std::string(60, '7') + "\n", "X       ", 1900, std::vector<float>(30, 77), 1},
      {'c', header(2, 1700, "", "(10F8.0)") + data + "\n", "", 0, {}, 1,
       "\n *** error reading data in sbr cdf: \n X          1700     2  (10F8.0)\n " + pad(data) + given_up},
      {'c', header(12, 1800, "", "(10F8.0)") + "       1\n", "", 0, {}, 1, std::string("fatal ") + kReadPastEnd},
  };
  for (const Case& c : cases) {
    std::string said;
    Field<85> title;
    const OwnedSeries r = read_first(c.file, said, c.reader == 't' ? 6 : 30, c.reader, &title);
    const Series& v = r.s;
    EXPECT_EQ(said, c.said) << c.file;
    std::vector<float> want;
    for (const float n : c.values) want.push_back(c.unit == 1 ? n : c.unit == 100 ? n * 0.01f : n * 0.01f * 0.1f);
    if (c.id.empty()) continue;
    EXPECT_EQ(v.id.str() + " " + std::to_string(v.first_year), c.id + " " + std::to_string(c.first_year));
    EXPECT_EQ(r.got(), want) << c.file;
    if (c.reader == 'c') { EXPECT_EQ(title, Field<85>(c.said.empty() ? "" : "Site")) << c.file; }
  }
  MemoryUnit unit(over + " junk\n" + header(1, 1900, "", "(F8.0)") + "       7\n");
  Recorder rec;
  OwnedSeries v;
  CompactReader read(unit, rec);
  read.next(v.s), read.next(v.s);
  EXPECT_EQ(std::to_string(v.s.first_year) + " " + std::to_string(v.s.values[0]), "1900 7.000000");
}

TEST(TucsonRead, TextLinesAndTag) {
  MemoryUnit unit("Title of data\nsecond line\nthird line\n" +
                  data_line("644011  1690", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, "          TAG1") +
                  data_line("644011  1700", {999}, std::string(64, ' ') + "X"));
  Recorder rec;
  OwnedSeries v;
  TucsonReader read(unit, rec);
  ASSERT_EQ(read.next(v.s), SeriesRead::series);
  EXPECT_EQ(read.title(), Field<85>("Title of data"));
  EXPECT_EQ(read.headers()[2], Field<88>("third line"));
  EXPECT_EQ(read.tag(), Field<6>("TAG1"));  // the blank column 84 of the last line leaves it
}

// Every series of a Tucson file as "ID first: v v v" (a missing value as "-"), and the findings.
std::string read_all(const std::string& file, std::string& said) {
  MemoryUnit unit(file);
  Recorder rec;
  OwnedSeries v;
  std::string out;
  TucsonReader read(unit, rec);
  for (int guard = 0; guard < 100 && read.next(v.s) == SeriesRead::series; ++guard) {
    out += std::string(v.s.id.trimmed()) + " " + std::to_string(v.s.first_year) + ":";
    for (float x : v.got()) out += std::isnan(x) ? " -" : " " + std::to_string(std::lround(x * 1000));
    out += "\n";
  }
  said = rec.said;
  return out;
}

// A later line must carry the series' ID and the year that follows the values
// taken so far; the values are taken as they stand either way, and the series
// gets one warning at most; so do negative values (-999 is a missing value).
// (A missing decade line, the 7-5 to 8-4 splits and -999 in both units are
// scenarios of their own.)
TEST(TucsonRead, LinesThatDoNotContinueTheirSeriesAndNegativeValues) {
  const std::string warn = "warning: series AB01A: the data line ", taken = "; its values are taken for the years that follow\n";
  const struct { std::string file, said, series = ""; } cases[] = {
      {data_line("AB01A   1908", {1, 2}) + data_line("AB01B   1910", {3}) + data_line("AB01C   1920", {4, 999}),
       warn + "AB01B 1910 does not continue it (year 1910 expected)" + taken, "AB01A 1908: 10 20 30 0 0 0 0 0 0 0 0 0 40\n"},
      {data_line("AB01A   1908", {1, 2}) + "AB01A   1910   x\n" + data_line("AB01A   1920", {3, 999}),  // a text line
       warn + "AB01A 1920 does not continue it (year 1910 expected)" + taken},
      {data_line("AB01A   1908", {1, 2}) + data_line("AB01A   1910", {3}) + data_line("AB02A   1901", {4, 999}),
       warn + "AB02A 1901 does not continue it (year 1920 expected)" + taken},
      {data_line("AB01A   1908", {1, 2}) + "\n" + data_line("AB01A   1910", {3, 999}), "", "AB01A 1908: 10 20 30\n"},  // a blank line
      // 6-6 below -9999; a jump from 7-5 straight to 8-4.
      {data_line("AB01A -10005", {1, 2, 3, 4, 5}) + data_line("AB01A -10000", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}) +
           data_line("AB01A  -9990", {1, 999}), ""},
      {data_line("ABCDEFG-1002", {1, 2}) + data_line("ABCDEFGH-990", {1, 999}),
       "warning: series ABCDEFG: the data line ABCDEFGH -990 does not continue it (year -1000 expected)" + taken},
      {data_line("AB01A   1901", {120, -5, -998, -1000, 999}) + data_line("AB02A   1901", {-7, 999}),
       "warning: series AB01A: negative value in 1902 (and perhaps later), averaged as a ring width\n"
       "warning: series AB02A: negative value in 1901 (and perhaps later), averaged as a ring width\n",
       "AB01A 1901: 1200 -50 -9980 -10000\nAB02A 1901: -70\n"},
  };
  for (const auto& c : cases) {
    std::string said;
    const std::string series = read_all(c.file, said);
    EXPECT_EQ(said, c.said) << c.file;
    if (!c.series.empty()) {
      EXPECT_EQ(series, c.series) << c.file;
    }
  }
}

}  // namespace
}  // namespace ringave
