// Tucson writer (trrw "mw"): lines byte for byte, rounding, asterisks, and
// the round trip through the reader on synthetic and real files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "formats/trrw_test_util.h"

namespace ringave {
namespace {

using testing::CapturedConsole;
using testing::data_line;
using testing::TrrwVars;

// Values whose thousandths are exact: 125, 250, 375, ...
std::vector<float> eighths(int n) {
  std::vector<float> v;
  for (int i = 1; i <= n; ++i) v.push_back(0.125f * static_cast<float>(i));
  return v;
}

constexpr std::int32_t kAllValues = INT32_MIN;

std::string write_series(const char* id, std::int32_t first_year, const std::vector<float>& values,
                         std::int32_t count = kAllValues) {
  MemoryUnit out("", 13);
  CapturedConsole cc;
  TrrwVars v;
  v.id = Field<8>(id);
  v.first_year = first_year;
  v.count = count == kAllValues ? static_cast<std::int32_t>(values.size()) : count;
  v.values = values;
  v.tag = Field<6>("AVE");
  v.title = Field<85>("not blank");
  v.write(out, cc.con());
  EXPECT_TRUE(v.title.is_blank());
  // The values are left unchanged, bit for bit (NaN included).
  EXPECT_TRUE(v.values.size() == values.size() &&
              (values.empty() || std::memcmp(v.values.data(), values.data(), values.size() * sizeof(float)) == 0));
  return out.written();
}

std::string full(std::string line) { return line + "  AVE   "; }

TEST(TucsonWrite, LinesByteForByte) {
  struct Case {
    const char* name;
    const char* id;
    std::int32_t first_year;
    std::vector<float> values;
    std::string expect;
  };
  const Case cases[] = {
      {"one value 1.5 mm in 1901", "XXX", 1901, {1.5f}, "XXX     1901  1500 -9999\n"},
      {"nine values 1901-1909: the marker goes alone on a 1910 line", "XXX", 1901, eighths(9),
       data_line("XXX     1901", {125, 250, 375, 500, 625, 750, 875, 1000, 1125}) + "\nXXX     1910 -9999\n"},
      {"ten values from 1900", "XXX", 1900, eighths(10),
       full(data_line("XXX     1900", {125, 250, 375, 500, 625, 750, 875, 1000, 1125, 1250})) +
           "\nXXX     1910 -9999\n"},
      {"twelve values from 1895", "XXX", 1895, eighths(12),
       data_line("XXX     1895", {125, 250, 375, 500, 625}) + "\n" +
           data_line("XXX     1900", {750, 875, 1000, 1125, 1250, 1375, 1500, -9999}) + "\n"},
      {"nine values from 1900: marker fills the line", "XXX", 1900, eighths(9),
       full(data_line("XXX     1900", {125, 250, 375, 500, 625, 750, 875, 1000, 1125, -9999})) + "\n"},
      {"first year -5", "XXX", -5, eighths(7),
       data_line("XXX       -5", {125, 250, 375, 500, 625}) + "\n" + data_line("XXX        0", {750, 875, -9999}) +
           "\n"},
      {"first year -1005: 7-5, then -1000 in 6-6, then 8-4", "ABCDEFGH", -1005, eighths(16),
       data_line("ABCDEFG-1005", {125, 250, 375, 500, 625}) + "\n" +
           full(data_line("ABCDEF -1000", {750, 875, 1000, 1125, 1250, 1375, 1500, 1625, 1750, 1875})) + "\n" +
           data_line("ABCDEFGH-990", {2000, -9999}) + "\n"},
      {"first year -10005 in 6-6", "ABCDEFGH", -10005, eighths(1),
       data_line("ABCDEF-10005", {125, -9999}) + "\n"},
      {"value count 0 writes nothing", "XXX", 1900, {}, ""},
      {"years past I4 are asterisks", "XXX", 9999, eighths(2), "XXX     9999   125\nXXX     ****   250 -9999\n"},
      {"years past 32 bits do not wrap", "XXX", INT32_MAX - 2, eighths(6),
       "XXX     ****   125   250   375   500   625\nXXX     ****   750 -9999\n"},
      {"smallest year", "XXX", INT32_MIN, eighths(1), "XXX   ******   125 -9999\n"},
      {"-100000 is past I6", "XXX", -100000, eighths(1), "XXX   ******   125 -9999\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(write_series(c.id, c.first_year, c.values), c.expect);
  }
  EXPECT_EQ(write_series("XXX", 1900, eighths(3), -4), "");
}

TEST(TucsonWrite, RoundingToThousandths) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    float value;
    const char* field;
  };
  const Case cases[] = {
      {0.999f, "  1000"},      {0.998f, "   998"},   {-0.999f, "  -999"}, {0.0005f, "     1"},
      {-0.0005f, "    -1"},    {0.0004f, "     0"},  {0.0f, "     0"},    {-0.0f, "     0"},
      {-1.5f, " -1500"},       {-99.999f, "-99999"}, {999.999f, "999999"}, {1234.5678f, "******"},
      {-100.0f, "******"},     {nan, "******"},      {inf, "******"},      {-inf, "******"},
      {3.0e9f, "******"},      {-3.0e6f, "******"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(write_series("XXX", 1900, {c.value}), std::string("XXX     1900") + c.field + " -9999\n");
  }
}

struct Series {
  Field<8> id;
  std::int32_t first_year;
  std::vector<float> values;
};

std::vector<Series> read_all(const std::string& text) {
  MemoryUnit unit(text);
  CapturedConsole cc;
  TrrwVars v;
  std::vector<Series> all;
  for (;;) {
    v.read(unit, cc.con());
    if (v.counter == -999) break;
    all.push_back({v.id, v.first_year, v.got()});
  }
  EXPECT_EQ(cc.err(), "");
  return all;
}

std::string write_all(const std::vector<Series>& all) {
  MemoryUnit out("", 13);
  CapturedConsole cc;
  TrrwVars v;
  v.tag = Field<6>("AVE");
  for (const Series& s : all) {
    v.id = s.id;
    v.first_year = s.first_year;
    v.count = static_cast<std::int32_t>(s.values.size());
    std::copy(s.values.begin(), s.values.end(), v.values.begin());
    v.write(out, cc.con());
  }
  return out.written();
}

void expect_same_within_rounding(const std::vector<Series>& a, const std::vector<Series>& b, bool same_ids) {
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    SCOPED_TRACE(a[i].id.str());
    if (same_ids) {
      EXPECT_EQ(a[i].id, b[i].id);
    }
    EXPECT_EQ(a[i].first_year, b[i].first_year);
    ASSERT_EQ(a[i].values.size(), b[i].values.size());
    for (std::size_t j = 0; j < a[i].values.size(); ++j)
      ASSERT_NEAR(a[i].values[j], b[i].values[j], 0.0005f + 1e-6f * std::fabs(a[i].values[j])) << "value " << j;
  }
}

TEST(TucsonWrite, RoundTripThroughTheReader) {
  struct Case {
    const char* id;
    std::int32_t first_year;
    int count;
  };
  const Case cases[] = {{"ABC01011", 1901, 9},     {"ABC01011", 1900, 10},   {"ABC01011", 1895, 12},
                        {"ABC01011", -5, 30},      {"ABCDEFGH", -1005, 40},  {"ABCDEFGH", -10012, 25},
                        {"ABC01011", 0, 1},        {"ABC01011", 1950, 3001}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.first_year);
    Series s{Field<8>(c.id), c.first_year, {}};
    for (int i = 0; i < c.count; ++i) s.values.push_back(0.0137f * static_cast<float>((i * 7919) % 600) - 0.5f);
    const std::vector<Series> back = read_all(write_all({s}));
    ASSERT_EQ(back.size(), 1u);
    expect_same_within_rounding({s}, back, false);
  }
}

TEST(TucsonWrite, RoundTripRealFiles) {
  const std::string dir = RINGAVE_TEST_DATA;
  struct Case {
    const char* hundredths;
    const char* thousandths;
    std::size_t series;
  };
  const Case cases[] = {{"nm046.rwl", "nm046_p001.rwl", 8}, {"wa082.rwl", "wa082_p001.rwl", 23}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.hundredths);
    const std::vector<Series> h = read_all(testing::read_file(dir + "/" + c.hundredths));
    const std::vector<Series> t = read_all(testing::read_file(dir + "/" + c.thousandths));
    ASSERT_EQ(h.size(), c.series);
    expect_same_within_rounding(h, t, true);

    // Both units write the same thousandths, and what is written reads back
    // to what was read and writes again to the same bytes.
    const std::string written = write_all(h);
    EXPECT_EQ(write_all(t), written);
    const std::vector<Series> back = read_all(written);
    expect_same_within_rounding(h, back, true);
    EXPECT_EQ(write_all(back), written);
  }
}

}  // namespace
}  // namespace ringave
