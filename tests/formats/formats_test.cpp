// Tucson reader and writer, the in-place Tucson line parse and format that must
// agree with the layout engine on every line, and the Compact reader.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <fstream>
#include <random>
#include <tuple>
#include <vector>

#include "formats/compact.h"
#include "formats/format_test_util.h"
#include "formats/tucson.h"
#include "formats/tucson_line.h"
#include "records/file_unit.h"
#include "records/outcome.h"
#include "test_files.h"

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
OwnedSeries read_first(const std::string& file, std::string& said, std::size_t capacity = 3001, char reader = 't') {
  MemoryUnit unit(file);
  Recorder rec;
  OwnedSeries v(capacity);
  SeriesRead got = SeriesRead::series;
  const std::string end = ending([&] {
    got = reader == 't' ? read_tucson_series(unit, v.s, rec) : read_compact_series(unit, v.s, rec);
  });
  said = rec.said + end + (got == SeriesRead::end_of_file ? "end" : "");
  // Once a file has ended or been given up, the series says so.
  if (got != SeriesRead::series) {
    EXPECT_EQ(std::tuple(v.s.count, v.s.counter), std::tuple(kEndMarker, kEndMarker)) << file;
  }
  return v;
}

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
      {'t', text_lines(26) + data_line("ABC010111901", {999}), "", 0, {}, 1, "1 sbr trrw:  over 25 text lines"},
      {'t', data_line("ABC020111909", {1}), "", 0, {}, 1,
       "warning: sbr trrw:  series ABC02011 ends without a stop marker at the end of the file; not read\nend"},
      {'t', kBlock + "n        3      1650  (3f4.1)\n 1.0 3.0-4.0\n", "XYZ00101", 1650, {1, 3, -4}, 1},
      {'t', kBlock + "n        5      1700  (10f8.3)\n   1.000   2.0x0\n", "", 0, {}, 1, ">> sbr datar:  error reading data\n"},
      // The last text line before the block header names it, blanks in columns 2-3 or not (only "n  " does not).
      {'t', kBlock + "X  00102 note\nn        2      1650  (2f4.1)\n 1.0 3.0\n", "X  00102", 1650, {1, 3}, 1},
      // The '#' on the block header itself: the header is read again as the block's.
      {'t', "n        3      1650  (3f4.1)" + std::string(50, ' ') + "#\n 1.0 3.0-4.0\n", "n       ", 1650, {1, 3, -4}, 1},
      {'c', "Site\n" + header(2, -20, "-2", "(10F8.0)") + "     123       5\n", "X       ", -20, {123, 5}, 100,
       "\n title of data:\n " + pad("Site") + "\n"},
      {'c', header(2, 1900, "", "(10F4.2)") + "1234 1.5\n", "X       ", 1900, {12.34f, 1.5f}, 1},
      {'c', over + " junk\n" + header(1, 1900, "", "(F8.0)") + "       7\n", "X       ", 1800, tens, 1},
      {'c', "Title\nTitle\nTitle\n" + fourth + "\n", "", 0, {}, 1, "\n title of data:\n " + pad("Title") + "\n " +
       pad("Title") + "\n " + pad("Title") + "\n\n *** header line read error in sbr cdf: \n               0    12          \n " +
       pad(fourth) + given_up},
      {'c', header(30, 1900, "", "(30F2.0)") + std::string(60, '7') + "\n", "X       ", 1900, std::vector<float>(30, 77), 1},
      {'c', header(31, 1900, "", "(10F8.0)"), "", 0, {}, 1,
       "\n *** series length exceeds maximum allowable length: X           31 >   30" + given_up},
      {'c', header(2, 1700, "", "(10F8.0)") + data + "\n", "", 0, {}, 1,
       "\n *** error reading data in sbr cdf: \n X          1700     2  (10F8.0)\n " + pad(data) + given_up},
      {'c', header(12, 1800, "", "(10F8.0)") + "       1\n", "", 0, {}, 1, std::string("fatal ") + kReadPastEnd},
  };
  for (const Case& c : cases) {
    std::string said;
    const OwnedSeries r = read_first(c.file, said, c.reader == 't' ? 6 : 30, c.reader);
    const Series& v = r.s;
    EXPECT_EQ(said, c.said) << c.file;
    std::vector<float> want;
    for (const float n : c.values) want.push_back(c.unit == 1 ? n : c.unit == 100 ? n * 0.01f : n * 0.01f * 0.1f);
    if (c.id.empty()) continue;
    EXPECT_EQ(v.id.str() + " " + std::to_string(v.first_year), c.id + " " + std::to_string(c.first_year));
    EXPECT_EQ(r.got(), want) << c.file;
    if (c.reader == 'c') { EXPECT_EQ(v.title, Field<85>(c.said.empty() ? "" : "Site")) << c.file; }
  }
  MemoryUnit unit(over + " junk\n" + header(1, 1900, "", "(F8.0)") + "       7\n");
  Recorder rec;
  OwnedSeries v;
  read_compact_series(unit, v.s, rec), read_compact_series(unit, v.s, rec);
  EXPECT_EQ(std::to_string(v.s.first_year) + " " + std::to_string(v.s.values[0]) + " " + std::to_string(v.s.counter),
            "1900 7.000000 2");
}

TEST(TucsonRead, TextLinesAndTag) {
  std::string said;
  const OwnedSeries r = read_first("Title of data\nsecond line\nthird line\n" +
                                data_line("644011  1690", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, "          TAG1") +
                                data_line("644011  1700", {999}, std::string(64, ' ') + "X"), said);
  EXPECT_EQ(r.s.title, Field<85>("Title of data"));
  EXPECT_EQ(r.s.headers[2], Field<88>("third line"));
  EXPECT_EQ(r.s.tag, Field<6>("TAG1"));  // the blank column 84 of the last line leaves it
}

std::string write_series(std::int32_t first_year, std::vector<float> values, const char* id = "XXX") {
  MemoryUnit out("", 13);
  Series s;
  s.id = Field<8>(id);
  s.tag = Field<6>("AVE");
  s.first_year = first_year;
  s.count = static_cast<std::int32_t>(values.size());
  s.values = values;
  write_tucson_series(out, s);
  return out.written();
}

std::vector<float> eighths(int n) {  // 0.125, 0.25, ...: exact in thousandths
  std::vector<float> v;
  while (static_cast<int>(v.size()) < n) v.push_back(0.125f * static_cast<float>(v.size() + 1));
  return v;
}

TEST(TucsonWrite, LinesByteForByte) {
  const std::string ave = "  AVE   ";
  EXPECT_EQ(write_series(1901, eighths(9)),
            data_line("XXX     1901", {125, 250, 375, 500, 625, 750, 875, 1000, 1125}) + "XXX     1910 -9999\n");
  EXPECT_EQ(write_series(1900, eighths(10)),
            data_line("XXX     1900", {125, 250, 375, 500, 625, 750, 875, 1000, 1125, 1250}, ave) + "XXX     1910 -9999\n");
  EXPECT_EQ(write_series(1895, eighths(6)), data_line("XXX     1895", {125, 250, 375, 500, 625}) + "XXX     1900   750 -9999\n");
  EXPECT_EQ(write_series(-5, eighths(6)), data_line("XXX       -5", {125, 250, 375, 500, 625}) + "XXX        0   750 -9999\n");
  EXPECT_EQ(write_series(-1005, eighths(16), "ABCDEFGH"),
            data_line("ABCDEFG-1005", {125, 250, 375, 500, 625}) +
                data_line("ABCDEF -1000", {750, 875, 1000, 1125, 1250, 1375, 1500, 1625, 1750, 1875}, ave) +
                "ABCDEFGH-990  2000 -9999\n");
  EXPECT_EQ(write_series(1900, {0.999f, 0.998f, 0.0005f, -0.999f, -1.5f, 1234.5678f, -9.999f, -0.998f}),
            "XXX     1900  1000   998     1 -1000 -1500******-10000  -998 -9999\n");
  EXPECT_EQ(write_series(9999, eighths(2)), "XXX     9999   125\nXXX     ****   250 -9999\n");
  EXPECT_EQ(write_series(1900, {NAN, 0.5f, NAN}), "XXX     1900  -999   500  -999 -9999\n");  // no value: -999
  // A full line, converted four at a time up to the year without a value.
  EXPECT_EQ(write_series(1900, {0.999f, -0.999f, -9.999f, 0.0f, -0.0004f, 1.0f, 2.0f, 3.0f, -0.9985f, NAN}),
            data_line("XXX     1900", {1000, -1000, -10000, 0, 0, 1000, 2000, 3000, -1000, -999}, ave) +
                "XXX     1910 -9999\n");
  EXPECT_EQ(write_series(1900, {}), "");
}

TEST(TucsonWrite, RoundTripThroughTheReader) {
  std::vector<float> values;
  for (int i = 0; i < 40; ++i) values.push_back(0.0137f * static_cast<float>((i * 7919) % 600) - 0.5f);
  for (std::int32_t first : {1901, 1895, -5, -1005, -10012}) {
    std::string said;
    const OwnedSeries r = read_first(write_series(first, values, "ABCDEFGH"), said);
    EXPECT_EQ(r.s.first_year + r.s.count * 10000, first + 400000);
    for (int i = 0; i < r.s.count; ++i) EXPECT_NEAR(r.s.values[i], values[i], 0.00051f) << first << " value " << i;
  }
}

std::string parsed(bool data_line, const TucsonFields& t) {
  std::string s = data_line ? t.id.str() + "|" + std::to_string(t.year) : "text line";
  for (int k = 0; k < 10 && data_line; ++k) s += "|" + std::to_string(t.f[k]);
  return t.tagged && data_line ? s + "|" + t.tag.str() : s;
}

// Which parse takes a line first: the wide parse, the in-place one, or the engine.
enum Taker { kEngine, kPlain, kWide };
// The wide parse needs SSE2; elsewhere the in-place parse takes its lines.
#if defined(__SSE2__)
constexpr Taker kWideOrPlain = kWide;
#else
constexpr Taker kWideOrPlain = kPlain;
#endif

// The in-place and the wide parse against the engine; returns the one that took the line.
Taker expect_same_parse(const std::string& record) {
  std::string line = record.substr(0, kTucsonLineLength - 1);
  line.resize(kTucsonLineLength, ' ');
  TucsonFields fast, general, plain, wide;
  const bool general_ok = parse_tucson_line_general(line.data(), general);
  const bool plain_ok = parse_tucson_line_plain(line.data(), plain);
  const bool wide_ok = parse_tucson_line_wide(line.data(), wide);
  const std::string want = parsed(general_ok, general);
  EXPECT_EQ(parsed(parse_tucson_line(line.data(), fast), fast), want) << "[" << record << "]";
  if (plain_ok) {
    EXPECT_EQ(parsed(true, plain), want) << "in place [" << record << "]";
  }
  if (wide_ok) {
    EXPECT_EQ(parsed(true, wide), want) << "wide [" << record << "]";
  }
  // Never a line the engine rejects; the wide parse only lines the in-place one takes too.
  EXPECT_TRUE((general_ok || !plain_ok) && (plain_ok || !wide_ok)) << "[" << record << "]";
  return wide_ok ? kWide : plain_ok ? kPlain : kEngine;
}

// The reader's quick path for later lines against the engine: a line it
// takes is a data line without a tag that carries the expected ID (on the
// columns of the mask) and year, no value negative or 999, its values
// stored as hundredths; every implementation the processor runs agrees. The ID
// and year expected are the line's own, now and then changed.
const std::vector<QuickPath> kPaths = quick_paths();

bool expect_sound_quick_take(const std::string& record, std::mt19937& rng) {
  std::string line = record.substr(0, kTucsonLineLength - 1);
  line.resize(kTucsonLineLength, ' ');
  TucsonFields general;
  const bool data = parse_tucson_line_general(line.data(), general);
  LineExpectation expect;
  std::memcpy(&expect.id, line.data(), 8);
  if (rng() % 8 == 0) expect.id ^= std::uint64_t{1} << (8 * (rng() % 8));
  const unsigned columns = 6 + rng() % 3;
  expect.id_mask = columns == 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * columns)) - 1;
  expect.year = data ? general.year + (rng() % 8 == 0 ? 10 : 0) : static_cast<std::int64_t>(rng() % 3000);
  float quick[10];
  std::fill(quick, quick + 10, -1.0f);
  const bool took = take_plain_line(record, expect, quick);
  for (const QuickPath& path : kPaths) {
    float other[10];
    std::fill(other, other + 10, -1.0f);
    EXPECT_EQ(path.line(record, expect, other), took) << path.name << " [" << record << "]";
    EXPECT_TRUE(std::memcmp(other, quick, sizeof quick) == 0) << path.name << " [" << record << "]";
  }
  if (!took) return false;
  std::uint64_t id;
  std::memcpy(&id, line.data(), 8);
  EXPECT_TRUE(data && !general.tagged && general.year == expect.year && ((id ^ expect.id) & expect.id_mask) == 0)
      << "[" << record << "]";
  for (int k = 0; k < 10; ++k) {
    EXPECT_TRUE(general.f[k] >= 0 && general.f[k] != 999) << "[" << record << "] field " << k;
    const float want = static_cast<float>(general.f[k]) * 0.01f;
    EXPECT_EQ(std::bit_cast<std::uint32_t>(quick[k]), std::bit_cast<std::uint32_t>(want)) << "[" << record << "]";
  }
  return true;
}

TEST(TucsonFastPath, ParseAgreesWithTheEngine) {
  EXPECT_EQ(expect_same_parse("ABCDEF--1234     1  1 2  +  3   - 4     -     +"), kPlain);
  EXPECT_EQ(expect_same_parse("ABC010111901   1,2    1-\x01" "9"), kEngine);
  EXPECT_EQ(expect_same_parse("ABC01011-999     1    -2    +3 -9999"), kWideOrPlain);
  std::mt19937 rng(20240611);
  auto pick = [&](const char* from) { return from[rng() % std::strlen(from)]; };
  int plain = 0;
  for (int i = 0; i < 100000 && !HasFailure(); ++i) {  // data-like lines, half of them with what is not plain
    std::string rec(rng() % 100, ' ');
    const unsigned odd = rng() % 2 * 3;
    for (std::size_t c = 0, r = rng() % 100; c < rec.size(); ++c, r = rng() % 100)  // ID, '-' for 6-6 or 7-5, fields
      rec[c] = c < 6 ? pick("ABCDEFGHIJKLMNOPQRSTUVWXYZ01 ") : c < 8 && r < 15 ? '-' : r < odd ? pick(",.+-Ee\tA#*")
               : r < 45 ? ' ' : r < 49 ? pick("+--") : pick("0123456789");
    plain += expect_same_parse(rec) != kEngine;
  }
  EXPECT_TRUE(plain > 10000 && plain < 90000) << plain;  // both the in-place parse and the engine's fallback ran
}

// Lines as files hold them: right-justified fields (a sign, digits, blanks
// before them), a tag or not, cut anywhere, and now and then a column
// changed to what the wide parse must refuse or read differently.
TEST(TucsonFastPath, WideParseAgreesWithTheEngine) {
  std::mt19937 rng(16);
  auto pick = [&](const char* from) { return from[rng() % std::strlen(from)]; };
  auto field = [&](std::size_t w) {
    std::string text = rng() % 4 == 0 ? std::string(1, pick("-+-")) : "";
    for (std::size_t n = rng() % (w + 1 - text.size()); n > 0; --n) text += pick("0123456789");
    return std::string(w - text.size(), ' ') + text;
  };
  int taken[3] = {}, quick = 0;
  for (int i = 0; i < 100000 && !HasFailure(); ++i) {
    std::string rec;
    for (int c = 0; c < 8; ++c) rec += c >= 6 && rng() % 20 == 0 ? '-' : pick("ABC01 ");
    rec += field(4);
    for (int k = 0; k < 10; ++k) rec += field(6);
    if (rng() % 2) rec += pick(" A") + std::string(9, ' ') + pick(" AVE") + "VE   ";  // columns 73-88, a tag or not
    if (rng() % 4 == 0) rec.resize(rng() % rec.size());
    for (int n = rng() % 3 == 0 ? 1 + static_cast<int>(rng() % 2) : 0; n > 0 && !rec.empty(); --n)
      rec[rng() % rec.size()] = pick(" +-09.,Ee\tA#*\x80");
    ++taken[expect_same_parse(rec)];
    quick += expect_sound_quick_take(rec, rng);
  }
  EXPECT_TRUE(taken[kWideOrPlain] > 30000 && taken[kPlain] > 5000 && taken[kEngine] > 2000)
      << taken[kWide] << " " << taken[kPlain] << " " << taken[kEngine];
  EXPECT_GT(quick, 500);  // a sign in any value field sends a line the full way
}

// Every line of the real Tucson files, as it is and with one column changed.
TEST(TucsonFastPath, RealLinesAgreeWithTheEngine) {
  std::mt19937 rng(533);
  int taken[3] = {}, quick = 0;
  for (const char* name : {"anos1.rwl", "anos1_p001.rwl", "ca533.rwl", "gp.rwl", "gp_p001.rwl", "nm046.rwl",
                           "nm046_p001.rwl", "wa082.rwl", "wa082_p001.rwl"}) {
    std::ifstream in(std::string(RINGAVE_TEST_DATA) + "/" + name, std::ios::binary);
    ASSERT_TRUE(in) << name;
    for (std::string line; std::getline(in, line) && !HasFailure();) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      ++taken[expect_same_parse(line)];
      quick += expect_sound_quick_take(line, rng);
      if (line.empty()) continue;
      line[rng() % line.size()] = "- +0A."[rng() % 6];
      ++taken[expect_same_parse(line)];
      quick += expect_sound_quick_take(line, rng);
    }
  }
  EXPECT_TRUE(taken[kWideOrPlain] > 8000 && taken[kEngine] > 1000) << taken[kWide] << " " << taken[kEngine];
  EXPECT_GT(quick, 5000);
}

// The lines taken at once are the longest run that the one-line quick path
// takes line by line (lines of exactly 72 columns, none beyond the most
// asked for), with the same values; a line feed in an ID column the mask
// leaves out ends the run.
TEST(TucsonFastPath, LinesTakenAtOnceAsOneByOne) {
  std::mt19937 rng(72);
  std::size_t runs = 0, taken_lines = 0;
  for (const char* name : {"ca533.rwl", "gp_p001.rwl", "nm046.rwl", "wa082_p001.rwl"}) {
    std::string text = testing::test_data(name);
    std::erase(text, '\r');
    for (std::size_t start = 0; start < text.size() && !HasFailure(); start = text.find('\n', start) + 1) {
      if (rng() % 3 == 0) text[start + rng() % 80 % (text.size() - start)] = " 0-A\n"[rng() % 5];
      LineExpectation expect;
      std::memcpy(&expect.id, text.data() + start, 8);
      const unsigned columns = 6 + rng() % 3;
      expect.id_mask = columns == 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * columns)) - 1;
      TucsonFields first;
      std::string line = text.substr(start, kTucsonLineLength - 1);
      line = line.substr(0, line.find('\n'));
      line.resize(kTucsonLineLength, ' ');
      expect.year = parse_tucson_line_general(line.data(), first) ? first.year : 0;
      const std::size_t most = rng() % 4 == 0 ? rng() % 5 : 1000;
      std::vector<float> at_once(10 * 1000 + 10, -1.0f), one_by_one(10 * 1000 + 10, -1.0f);
      LineExpectation moved = expect;
      const std::size_t n = take_plain_lines(std::string_view(text).substr(start), moved, at_once.data(), most);
      for (const QuickPath& path : kPaths) {
        std::vector<float> other(at_once.size(), -1.0f);
        LineExpectation other_moved = expect;
        EXPECT_EQ(path.lines(std::string_view(text).substr(start), other_moved, other.data(), most), n) << path.name;
        EXPECT_TRUE(other == at_once && other_moved.year == moved.year) << path.name << " " << name << " at " << start;
      }
      std::size_t k = 0;
      for (std::size_t at = start; k < most; ++k, at += 73, expect.year += 10) {
        const std::size_t lf = text.find('\n', at);
        if (lf != at + 72 || !take_plain_line(std::string_view(text).substr(at, 72), expect, &one_by_one[10 * k])) break;
      }
      ASSERT_EQ(n, k) << name << " at byte " << start;
      EXPECT_EQ(moved.year, expect.year);
      EXPECT_TRUE(std::memcmp(at_once.data(), one_by_one.data(), 40 * n) == 0) << name << " at byte " << start;
      runs += n > 0;
      taken_lines += n;
    }
  }
  EXPECT_GT(runs, 300u);
  EXPECT_GT(taken_lines, 3000u);
  // "ABCDEF" then a line feed in column 7: two records, not one data line.
  const std::string text = "ABCDEF\nG1001" + std::string(60, '1') + "\n";
  LineExpectation expect{0, (std::uint64_t{1} << 48) - 1, 1001};
  std::memcpy(&expect.id, "ABCDEFGH", 8);
  float values[10];
  for (const QuickPath& path : kPaths) {
    LineExpectation e = expect;
    EXPECT_EQ(path.lines(text, e, values, 10), 0u) << path.name;
    e.id_mask = ~std::uint64_t{0};
    EXPECT_EQ(path.lines("ABCDEFGH1001" + std::string(60, '1') + "\n", e, values, 10), 1u) << path.name;
  }
}

// The conversion of several values at once against the one of a single
// value: halves, 999, -999, -9999, -0, the edges of exact fractions and of 32 bits, not
// a number, infinities, any bit pattern, and ordinary ring widths.
TEST(TucsonFastPath, ThousandthsSeveralAtOnceAgreeOneByOne) {
  const float special[] = {0.999f, 0.9995f, 0.9985f, -0.999f, -0.9985f, -9.999f, -9.9985f, -0.0f, 0.0005f, -0.0005f, 0.0015f, 8388.607f,
                           8388.608f, -8388.608f, 2147483.5f, 2147483.75f, -2147483.75f, 1e30f, NAN, INFINITY,
                           -INFINITY, 123.4565f, 0.12345f};
  std::mt19937 rng(1000);
  for (int i = 0; i < 50000 && !HasFailure(); ++i) {
    float v[10];
    for (float& x : v) {
      const unsigned bits = static_cast<unsigned>(rng());
      const unsigned r = rng() % 4;
      x = r == 0 ? special[rng() % std::size(special)] : r == 1 ? std::bit_cast<float>(bits)
                                                                 : static_cast<float>(rng() % 30000) * 0.001f;
    }
    const int n = 1 + static_cast<int>(rng() % 10);
    std::int32_t got[10];
    thousandths(v, n, got);
    for (int k = 0; k < n; ++k) EXPECT_EQ(got[k], thousandths(v[k])) << v[k] << " of " << n;
  }
}

// One line of the writer (from its table where every field is 0 to 9999)
// against the engine.
TEST(TucsonFastPath, FormatAgreesWithTheEngine) {
  std::mt19937_64 rng(8);
  bool widths = false;  // a line of ring widths, 0 to 9999 thousandths
  auto number = [&] {  // mostly widths the fields hold, sometimes wider, sometimes any 32-bit number
    const std::int64_t span[] = {200, 20000, 2000000, std::int64_t{1} << 32}, s = span[rng() % 4];
    if (widths) return static_cast<std::int64_t>(rng() % (rng() % 2 ? 10000 : 1200));
    return static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(s)) - s / 2;
  };
  for (int i = 0; i < 50000 && !HasFailure(); ++i) {
    widths = rng() % 2 == 0;
    Field<8> id;
    Field<6> tag;
    for (char& c : id.c) c = static_cast<char>(32 + rng() % 95);
    for (char& c : tag.c) c = static_cast<char>(32 + rng() % 95);
    const std::int64_t year = rng() % 8 == 0 ? static_cast<std::int64_t>(rng() >> 30) - (std::int64_t{1} << 33) : number();
    std::int32_t f[10];
    for (std::int32_t& v : f) v = static_cast<std::int32_t>(number());
    const int n = 1 + static_cast<int>(rng() % 10);
    MemoryUnit fast("", 13), general("", 13);
    write_tucson_line(fast, id, year, f, n, tag);
    write_tucson_line_general(general, id, year, f, n, tag);
    EXPECT_EQ(fast.written(), general.written()) << "year " << year << ", " << n << " fields";
  }
}

// A series as the engine writes it, line by line, from the thousandths of
// its values one by one: what write_tucson_series must write.
std::string engine_series(const Series& s) {
  MemoryUnit out("", 13);
  std::int64_t year = s.first_year, pos = 0;
  for (int fields = decade_fields(year);; fields = 10) {
    const int n = static_cast<int>(std::min<std::int64_t>(fields, s.count - pos));
    std::int32_t f[10];
    for (int k = 0; k < n; ++k) f[k] = thousandths(s.values[static_cast<std::size_t>(pos + k)]);
    if (n < fields) f[n] = -9999;
    write_tucson_line_general(out, s.id, year, f, n < fields ? n + 1 : n, s.tag);
    if (n < fields) return out.written();
    pos += n;
    year += n;
  }
}

// A sink that takes records through put() only, as the console does.
struct PutOnly final : RecordSink {
  MemoryUnit to{"", 13};
  void put(std::string_view record, bool line_end) override { to.put(record, line_end); }
  std::string unit_label() const override { return "13"; }
};

// Whole series, formatted in the sink's room (lines of ring widths ten at a
// time, the rest one by one) and through put(), against the engine: ring
// widths in millimetres with now and then a value that leaves the table
// (not a number, negative, 10 mm or more, 0.999, beyond 32 bits), first
// years around the ID splits and the end of 32 bits, series longer than
// one room.
TEST(TucsonFastPath, SeriesAgreesWithTheEngine) {
  std::mt19937 rng(17);
  const float odd[] = {NAN, -0.0f, -0.0004f, -0.0005f, -1.25f, 0.999f, 0.9985f, 9.9994f, 9.9995f, 10.0f,
                       8388.608f, 3e6f, INFINITY, -INFINITY};
  const std::int64_t firsts[] = {1901, 1900, -1005, -999, -10, 9990, 2147483600};
  std::vector<float> values(1500);
  int in_room = 0;
  for (int i = 0; i < 3000 && !HasFailure(); ++i) {
    Series s;
    s.id = Field<8>(i % 2 ? "ABC0101" : "ABCDEFGH");
    s.tag = Field<6>(i % 3 ? "AVE" : "T*g 6c");
    s.first_year = static_cast<std::int32_t>(firsts[rng() % std::size(firsts)] + rng() % 25);
    s.count = static_cast<std::int32_t>(rng() % (i % 10 ? 130 : values.size()));
    const unsigned rare = rng() % 3 == 0 ? 0 : 1 + rng() % 400;  // one value in `rare` leaves the table
    for (float& v : values)
      v = rare != 0 && rng() % rare == 0 ? odd[rng() % std::size(odd)]
                                         : static_cast<float>(rng() % 10000) * (rng() % 2 ? 0.001f : 0.0010003f);
    s.values = std::span<float>(values.data(), static_cast<std::size_t>(s.count) + rng() % 3);
    const std::string want = s.count > 0 ? engine_series(s) : "";
    MemoryUnit room("", 13);
    PutOnly put;
    write_tucson_series(room, s);
    write_tucson_series(put, s);
    EXPECT_TRUE(room.written() == want && put.to.written() == want) << "series " << i << ", first year "
                                                                     << s.first_year << ", " << s.count << " values";
    in_room += s.count > 500;
  }
  EXPECT_GT(in_room, 100);
}

// The real Compact file holds the hundredths of its Tucson twin: the same floats.
TEST(CdfRead, RealFileMatchesItsTucsonTwin) {
  FileUnit tucson(12), compact(12);
  tucson.open_read(RINGAVE_TEST_DATA "/nm046.rwl");
  compact.open_read(RINGAVE_TEST_DATA "/nm046_cmp.cmp");
  Recorder rec;
  OwnedSeries t, c;
  int series = 0;
  while (read_tucson_series(tucson, t.s, rec) == SeriesRead::series) {
    EXPECT_EQ(read_compact_series(compact, c.s, rec), SeriesRead::series);
    EXPECT_EQ(c.s.id.str() + " " + std::to_string(c.s.first_year), t.s.id.str() + " " + std::to_string(t.s.first_year));
    EXPECT_EQ(c.got(), t.got());
    ++series;
  }
  EXPECT_EQ(read_compact_series(compact, c.s, rec), SeriesRead::end_of_file);
  EXPECT_EQ(rec.said, "");
  EXPECT_EQ(series, 8);
}

}  // namespace
}  // namespace ringave
