// Compact reader: small in-memory Compact files and the real Compact files
// checked against their Tucson hundredths twins.

#include "formats/cdf.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "formats/trrw.h"
#include "records/memory_unit.h"
#include "records/outcome.h"
#include "records/transfer.h"

namespace ringave {
namespace {

std::string pad(std::string s, std::size_t n) { return s.append(n > s.size() ? n - s.size() : 0, ' '); }

// A series header in its fixed columns; `exponent` is the text of columns 69-71.
std::string header(int count, int year, const char* id, const char* exponent, const char* fmt) {
  char buf[96];
  std::snprintf(buf, sizeof buf, " %7d=N%8d=I %-8s%39s%3s%-8s~", count, year, id, "", exponent, fmt);
  return buf;
}

// A console over temporary files: answers for the pauses in, everything written out.
struct Session {
  std::FILE* in = std::tmpfile();
  std::FILE* out = std::tmpfile();
  std::optional<Console> console_;
  Console& con;
  Session() : console_(std::in_place, fileno(in), fileno(out), fileno(out)), con(*console_) {
    std::fputs("\n\n", in);
    std::fflush(in);
    std::rewind(in);
  }
  ~Session() {
    console_.reset();
    std::fclose(in);
    std::fclose(out);
  }
  std::string output() {
    con.flush();
    std::string s(4096, '\0');
    s.resize(static_cast<std::size_t>(::pread(fileno(out), s.data(), s.size(), 0)));
    return s;
  }
};

struct Series {
  Field<8> id;
  std::array<float, 40> values{};
  std::int32_t first = 0, count = 0, counter = 0;
  Field<85> title{"stale"};
  void read(Unit& unit, Session& s, std::int32_t max = 40) {
    cdf(id, values, first, count, counter, unit, max, title, s.con);
  }
};

// Runs one call that must stop with status 1; returns the console text.
std::string stopped(const std::string& text, std::int32_t max, std::size_t size = 40, int first_calls = 0) {
  Session s;
  MemoryUnit unit(text);
  Series r;
  for (int i = 0; i < first_calls; ++i) r.read(unit, s);
  try {
    cdf(r.id, std::span<float>(r.values).first(size), r.first, r.count, r.counter, unit, max, r.title, s.con);
    ADD_FAILURE() << "no stop";
  } catch (const Stop& stop) {
    EXPECT_EQ(stop.status, 1);
    EXPECT_EQ(stop.message, " ");
  }
  return s.output();
}

TEST(CdfTest, TitleLinesAreEchoedAndTheFirstIsTheTitle) {
  Session s;
  const std::string data = "       1.0\n";
  MemoryUnit unit("Site A\n" + header(1, 1900, "A1", "", "(10F8.0)") + "\n" + data + "Second site\nby me\nyear 2\n" +
                  header(1, 1901, "B1", "", "(10F8.0)") + "\n" + data);
  Series r;
  r.read(unit, s);
  EXPECT_EQ(r.title, Field<85>("Site A"));
  EXPECT_EQ(r.id, Field<8>("A1"));
  EXPECT_EQ(s.output(), "\n title of data:\n " + pad("Site A", 80) + "\n");
  r.read(unit, s);
  EXPECT_EQ(r.title, Field<85>("Second site"));
  EXPECT_EQ(r.first, 1901);
  EXPECT_EQ(r.counter, 2);
  EXPECT_EQ(s.output(), "\n title of data:\n " + pad("Site A", 80) + "\n\n title of data:\n " + pad("Second site", 80) +
                            "\n " + pad("by me", 80) + "\n " + pad("year 2", 80) + "\n");
  r.read(unit, s);
  EXPECT_EQ(r.count, -999);
  EXPECT_EQ(r.counter, -999);
  EXPECT_TRUE(r.title.is_blank());
  MemoryUnit empty("");
  Series e;
  e.read(empty, s);
  EXPECT_EQ(e.count, -999);
  EXPECT_EQ(e.counter, -999);
  EXPECT_TRUE(e.title.is_blank());
}

TEST(CdfTest, FourthNonHeaderLineStops) {
  // The fourth line parses its value count (12) and fails on the first year:
  // the message shows what the failed parse left.
  const std::string fourth = "      12  year?";
  EXPECT_EQ(stopped("Title 1\nTitle 2\nTitle 3\n" + fourth + "\n", 40),
            "\n title of data:\n " + pad("Title 1", 80) + "\n " + pad("Title 2", 80) + "\n " + pad("Title 3", 80) +
                "\n\n *** header line read error in sbr cdf: \n" + std::string(15, ' ') + "0    12" +
                std::string(10, ' ') + "\n " + pad(fourth, 80) + "\n  \n");
}

TEST(CdfTest, ExponentAndLayoutScaleTheValues) {
  const float inf = INFINITY;
  struct Case {
    const char* exponent;
    const char* fmt;
    std::string data;
    std::vector<float> want;
  } cases[] = {
      {"", "(10F8.0)", "     123       5", {123.0f, 5.0f}},
      {" -2", "(10F8.0)", "     123       5", {123.0f * 0.01f, 5.0f * 0.01f}},
      {"-2", "(26F3.0)", "123  5", {123.0f * (1.0f / 100.0f), 5.0f * (1.0f / 100.0f)}},
      {"  1", "(10F8.0)", "     123      -5", {1230.0f, -50.0f}},
      {"+3", "(10F8.0)", "     123       5", {123000.0f, 5000.0f}},
      {" 10", "(10F8.0)", "       1       2", {1e10f, 2e10f}},
      {"", "(10F4.2)", "1234 1.5", {12.34f, 1.5f}},
      // Beyond the range of a float: infinite scale, or its reciprocal 0.
      {"999", "(10F8.0)", "       2      -1", {inf, -inf}},
      {"-99", "(10F8.0)", "       2      -1", {0.0f, -0.0f}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.exponent) + c.fmt + c.data);
    Session s;
    MemoryUnit unit(header(2, -20, "X", c.exponent, c.fmt) + "\n" + c.data + "\n");
    Series r;
    r.read(unit, s);
    ASSERT_EQ(r.count, 2);
    EXPECT_EQ(r.first, -20);
    EXPECT_EQ(r.counter, 1);
    for (int j = 0; j < 2; ++j) EXPECT_EQ(r.values[j], c.want[j]) << j;
  }
}

TEST(CdfTest, SeriesRunsOverRecordsAndSkipsTheRestOfTheLast) {
  Session s;
  std::string text = header(25, 1800, "LONG", "", "(10F8.0)") + "\n";
  for (int rec = 0; rec < 3; ++rec) {
    for (int k = 0; k < (rec < 2 ? 10 : 5); ++k) text += pad("", 6) + std::to_string(10 + rec * 10 + k);
    if (rec == 2) text += "  junk that is never read";
    text += "\n";
  }
  MemoryUnit unit(text + header(1, 1900, "NEXT", "", "(F8.0)") + "\n       7\n");
  Series r;
  r.read(unit, s);
  ASSERT_EQ(r.count, 25);
  for (int j = 0; j < 25; ++j) EXPECT_EQ(r.values[j], 10.0f + j) << j;
  r.read(unit, s);
  EXPECT_EQ(r.id, Field<8>("NEXT"));
  EXPECT_EQ(r.values[0], 7.0f);
  EXPECT_EQ(r.counter, 2);
}

TEST(CdfTest, NegativeCountReadsNoValues) {
  Session s;
  MemoryUnit unit(header(-3, 1900, "NEG", "-2", "(10F8.0)") + "\n       1\n" + header(1, 1, "B", "", "(F8.0)") + "\n 4\n");
  Series r;
  r.values.fill(9.0f);
  r.read(unit, s);
  EXPECT_EQ(r.count, -3);
  EXPECT_EQ(r.counter, 1);
  EXPECT_EQ(r.values[0], 9.0f);
  r.read(unit, s);  // the read statement took the record after the header
  EXPECT_EQ(r.id, Field<8>("B"));
  EXPECT_EQ(r.values[0], 4.0f);
}

TEST(CdfTest, CountAboveMaximumStopsWithLengthMessage) {
  Session s;
  MemoryUnit unit(header(3, 1900, "FULL", "", "(10F8.0)") + "\n       1       2       3\n");
  Series r;
  cdf(r.id, std::span<float>(r.values).first(3), r.first, r.count, r.counter, unit, 3, r.title, s.con);
  EXPECT_EQ(r.count, 3);
  const std::string line = "\n *** series length exceeds maximum allowable length: ";
  EXPECT_EQ(stopped(header(4, 1900, "OVER", "", "(10F8.0)") + "\n", 3), line + "OVER         4 >    3\n  \n");
  EXPECT_EQ(stopped(header(9999999, 1, "HUGE", "", "(F8.0)") + "\n", 3001), line + "HUGE      **** > 3001\n  \n");
  // An array shorter than the maximum count is guarded too.
  EXPECT_EQ(stopped(header(4, 1900, "ARR", "", "(10F8.0)") + "\n", 40, 3), line + "ARR          4 >   40\n  \n");
}

TEST(CdfTest, UnreadableDataStopsWithDataMessage) {
  const std::string head = "\n *** error reading data in sbr cdf: \n ";
  const std::string ok = header(1, 1900, "OK", "", "(F8.0)") + "\n       1\n";
  const std::string letter = "       1      2x       3";
  const std::string bad_layout = header(2, 1900, "BADF", "", "10F8.0)");
  EXPECT_EQ(stopped(header(15, 1700, "LETTER", "", "(10F8.0)") + "\n" + std::string(10, '1') + "\n" + letter + "\n", 40),
            head + "LETTER     1700    15  (10F8.0)\n " + pad(letter, 80) + "\n  \n");
  EXPECT_EQ(stopped(bad_layout + "\n       1       2\n", 40),
            head + "BADF       1900     2  10F8.0) \n " + pad(bad_layout, 80) + "\n  \n");
  // A blank line where a header is expected: count 0 and no usable layout.
  EXPECT_EQ(stopped(ok + "\n", 40, 40, 1), head + pad("", 8) + "      0     0" + pad("", 10) + "\n " + pad("", 80) + "\n  \n");
}

TEST(CdfTest, FatalReports) {
  struct Case {
    std::string text, message, unit;
  } cases[] = {
      {header(25, 1800, "SHORT", "", "(10F8.0)") + "\n       1\n       2\n", kReadPastEnd, "12"},
      {header(1, 1800, "EXP", "x1", "(F8.0)") + "\n       1\n", kIllegalCharacter, "INTERNAL"},
  };
  for (const Case& c : cases) {
    Session s;
    MemoryUnit unit(c.text);
    Series r;
    try {
      r.read(unit, s);
      ADD_FAILURE() << "no fatal report";
    } catch (const FatalError& e) {
      EXPECT_EQ(e.message, c.message);
      EXPECT_EQ(e.statement, "READ");
      EXPECT_EQ(e.unit, c.unit);
    }
    EXPECT_EQ(s.output(), "");  // no message, no pause
  }
}

std::string slurp(const std::string& name) {
  std::ifstream f(std::string(RINGAVE_TEST_DATA) + "/" + name, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

// The real Compact files hold the hundredths of their Tucson twins: the
// Tucson reader gives integer * 0.01f, the Compact reader integer * (1/100
// as a float), the same float, so the values must be bit-identical.
TEST(CdfTest, RealFilesMatchTucsonTwins) {
  for (const std::string site : {"nm046", "wa082", "anos1"}) {
    SCOPED_TRACE(site);
    Session s;
    MemoryUnit tucson(slurp(site + ".rwl")), compact(slurp(site + "_cmp.cmp"));
    Series t, c;
    std::vector<float> tv(3001), cv(3001);
    std::int32_t depths = 0;
    Field<6> tag;
    std::array<Field<88>, 3> headers;
    int series = 0;
    for (;;) {
      trrw(t.id, t.first, t.count, tv, depths, t.counter, tucson, nullptr, "mr", t.title, tag, 3001, headers, s.con);
      cdf(c.id, cv, c.first, c.count, c.counter, compact, 3001, c.title, s.con);
      ASSERT_EQ(c.counter, t.counter);
      if (c.counter == -999) break;
      EXPECT_EQ(c.id, t.id);
      EXPECT_EQ(c.first, t.first);
      ASSERT_EQ(c.count, t.count);
      for (int j = 0; j < c.count; ++j) EXPECT_EQ(cv[j], tv[j]) << t.id.str() << " value " << j;
      ++series;
    }
    EXPECT_GT(series, 5);
  }
}

}  // namespace
}  // namespace ringave
