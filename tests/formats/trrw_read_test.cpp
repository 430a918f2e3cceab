// Tucson reader (trrw "mr") and datar on small in-memory files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "formats/trrw_test_util.h"
#include "records/outcome.h"

namespace ringave {
namespace {

using testing::CapturedConsole;
using testing::data_line;
using testing::put_at;
using testing::TrrwVars;

// Values a hundredths series holds: each integer x 0.01 in single precision.
std::vector<float> hundredths(std::initializer_list<int> ints) {
  std::vector<float> v;
  for (int n : ints) v.push_back(static_cast<float>(n) * 0.01f);
  return v;
}

// A thousandths series: x 0.01, then x 0.1 as a second rounding step.
std::vector<float> thousandths_read(std::initializer_list<int> ints) {
  std::vector<float> v = hundredths(ints);
  for (float& x : v) x *= 0.1f;
  return v;
}

std::string lines(std::initializer_list<std::string> ls) {
  std::string s;
  for (const std::string& l : ls) s += l + "\n";
  return s;
}

std::string text_lines(int n) {
  std::string s;
  for (int i = 1; i <= n; ++i) s += "header line " + std::to_string(i) + "\n";
  return s;
}

struct FirstSeriesCase {
  const char* name;
  std::string file;
  const char* id;
  std::int32_t first_year;
  std::vector<float> values;
  std::int32_t max_count = 3001;
};

TEST(TucsonRead, FirstSeriesOfEachLayoutAndDecade) {
  const FirstSeriesCase cases[] = {
      {"8-4, hundredths, 1901 takes nine", data_line("ABC010111901", {123, 45, 999}), "ABC01011", 1901,
       hundredths({123, 45})},
      {"8-4, thousandths", data_line("ABC010111901", {123, 45, -9999}), "ABC01011", 1901,
       thousandths_read({123, 45})},
      {"1900 takes ten",
       lines({data_line("ABC010111900", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}), data_line("ABC010111910", {11, 999})}),
       "ABC01011", 1900, hundredths({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11})},
      {"1905 takes five",
       lines({data_line("ABC010111905", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}), data_line("ABC010111910", {11, 999})}),
       "ABC01011", 1905, hundredths({1, 2, 3, 4, 5, 11})},
      {"marker past the decade's end is not seen",
       lines({data_line("ABC010111905", {1, 2, 3, 4, 5, 999, -9999, 8, 9, 10}), data_line("ABC010111910", {6, 999})}),
       "ABC01011", 1905, hundredths({1, 2, 3, 4, 5, 6})},
      {"-5 takes five",
       lines({data_line("ABC01011  -5", {1, 2, 3, 4, 5, 77, 77, 77, 77, 77}), data_line("ABC01011   0", {6, 999})}),
       "ABC01011", -5, hundredths({1, 2, 3, 4, 5, 6})},
      {"-20 takes ten",
       lines({data_line("ABC01011 -20", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}), data_line("ABC01011 -10", {999})}),
       "ABC01011", -20, hundredths({1, 2, 3, 4, 5, 6, 7, 8, 9, 10})},
      {"7-5, -1234 takes four",
       lines({data_line("ABCDEFG-1234", {1, 2, 3, 4, 77, 77, 77, 77, 77, 77}), data_line("ABCDEFG-1230", {-9999})}),
       "ABCDEFG ", -1234, thousandths_read({1, 2, 3, 4})},
      {"6-6: '-' in column 7 only",
       lines({data_line("ABCDEF-11950", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}), data_line("ABCDEF-11940", {999})}),
       "ABCDEF  ", -11950, hundredths({1, 2, 3, 4, 5, 6, 7, 8, 9, 10})},
      {"blank field, zero and negative values are values",
       data_line("ABC010111901", {123}) + "      " + data_line("", {-5, 0, 999}), "ABC01011", 1901,
       hundredths({123, 0, -5, 0})},
      {"records with blank columns 9-12 are passed over",
       lines({data_line("ABC010111900", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}), "", "            ", "ABC01011",
              "ABC01011    " + std::string(60, '9'), data_line("ABC010111910", {999})}),
       "ABC01011", 1900, hundredths({1, 2, 3, 4, 5, 6, 7, 8, 9, 10})},
      {"marker in field 1: count 0", data_line("ABC010111901", {999}), "ABC01011", 1901, {}},
      {"a ring of 999 ends a thousandths series", data_line("ABC010111901", {1500, 999, 2000, -9999}), "ABC01011",
       1901, hundredths({1500})},
      {"ID and year of later lines are not used",
       lines({data_line("ABC010111901", {1, 2, 3, 4, 5, 6, 7, 8, 9}), data_line("ZZZ999995555", {10, 999})}),
       "ABC01011", 1901, hundredths({1, 2, 3, 4, 5, 6, 7, 8, 9, 10})},
      {"a letter in a value field makes a text line",
       lines({"ABC010111901   12a    45   999", data_line("ABC020111901", {3, 999})}), "ABC02011", 1901,
       hundredths({3})},
      {"columns past 88 are ignored", put_at(data_line("ABC010111901", {7, 999}), 89, "123456ZZZZ"), "ABC01011",
       1901, hundredths({7})},
      {"'#' in column 80 after values is a data line",
       lines({data_line("ABC010111900", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}),
              put_at(data_line("ABC010111910", {11, 999}), 80, "#")}),
       "ABC01011", 1900, hundredths({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11})},
      {"CR LF line ends", data_line("ABC010111909", {5}) + "\r\n" + data_line("ABC010111910", {6, -9999}) + "\r\n",
       "ABC01011", 1909, thousandths_read({5, 6})},
      {"25 text lines are accepted", text_lines(25) + data_line("ABC010111901", {1, 999}), "ABC01011", 1901,
       hundredths({1})},
      {"exactly as many values as the capacity", data_line("ABC010111900", {1, 2, 3, 4, 5, -9999}), "ABC01011", 1900,
       thousandths_read({1, 2, 3, 4, 5}), 5},
  };
  for (const FirstSeriesCase& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryUnit unit(c.file);
    CapturedConsole cc;
    TrrwVars v;
    v.max_count = c.max_count;
    v.values.assign(static_cast<std::size_t>(c.max_count), 0.0f);  // ASan sees any store past it
    v.read(unit, cc.con());
    EXPECT_EQ(v.id.str(), c.id);
    EXPECT_EQ(v.first_year, c.first_year);
    EXPECT_EQ(v.counter, 1);
    EXPECT_EQ(v.got(), c.values);  // exact single-precision values
    EXPECT_EQ(cc.err(), "");
  }
}

TEST(TucsonRead, HeaderLinesTitleAndCounterAcrossCallsAndFiles) {
  const std::string h1 = "NM046    Los Alamos                                          PSME";
  const std::string h2 = "NM046    New Mexico   Douglas fir                                   1681 1969";
  const std::string h3 = put_at("NM046    O'Brien, D.", 85, "XXXX");  // columns past 80 are not kept
  MemoryUnit unit(lines({h1, h2, h3, data_line("644011  1681", {91, 118, 999}),
                         data_line("644021  1690", {1, 2, 999})}));
  CapturedConsole cc;
  TrrwVars v;
  v.read(unit, cc.con());
  EXPECT_EQ(v.counter, 1);
  EXPECT_EQ(v.id.str(), "644011  ");
  EXPECT_EQ(v.title.str(), Field<85>(h1).str());
  EXPECT_EQ(v.headers[0].str(), Field<88>(h1).str());
  EXPECT_EQ(v.headers[1].str(), Field<88>(h2).str());
  EXPECT_EQ(v.headers[2].str(), Field<88>(h3.substr(0, 80)).str());

  v.read(unit, cc.con());
  EXPECT_EQ(v.counter, 2);
  EXPECT_EQ(v.id.str(), "644021  ");
  EXPECT_TRUE(v.title.is_blank());
  EXPECT_EQ(v.headers[0].str(), Field<88>(h1).str());  // kept from call 1

  v.read(unit, cc.con());
  EXPECT_EQ(v.count, -999);
  EXPECT_EQ(v.counter, -999);

  // The next file starts from -999: header lines blanked, counter 1; an
  // empty file gives the end markers at once.
  MemoryUnit next(data_line("XYZ000011950", {5, 999}));
  v.read(next, cc.con());
  EXPECT_EQ(v.counter, 1);
  for (const auto& h : v.headers) EXPECT_TRUE(h.is_blank());
  MemoryUnit empty("");
  v.title = Field<85>("old");
  v.read(empty, cc.con());
  EXPECT_EQ(v.count, -999);
  EXPECT_EQ(v.counter, -999);
  EXPECT_TRUE(v.title.is_blank());
}

TEST(TucsonRead, SeriesTagFromColumns83To88) {
  MemoryUnit unit(lines({put_at(data_line("ABC010111900", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}), 83, "TAGONE"),
                         put_at(data_line("ABC010111910", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}), 83, "TAGTWO"),
                         put_at(data_line("ABC010111920", {999}), 83, "X"),  // column 84 blank: not read
                         put_at(data_line("ABC020111900", {1, 999}), 83, " ZZ"),
                         put_at(data_line("ABCDEFG-1234", {1, 999}), 84, "75TAG"),
                         put_at(data_line("ABCDEF-11230", {1, 999}), 84, "66TAG")}));
  CapturedConsole cc;
  TrrwVars v;
  v.tag = Field<6>("old");
  v.read(unit, cc.con());
  EXPECT_EQ(v.tag.str(), "TAGTWO");
  v.read(unit, cc.con());
  EXPECT_EQ(v.tag.str(), " ZZ   ");
  v.read(unit, cc.con());
  EXPECT_EQ(v.id.str(), "ABCDEFG ");
  EXPECT_EQ(v.tag.str(), " 75TAG");
  v.read(unit, cc.con());
  EXPECT_EQ(v.first_year, -11230);
  EXPECT_EQ(v.tag.str(), " 66TAG");
}

TEST(TucsonRead, EchoToListing) {
  const std::string t1 = "SITE title";
  const std::string t2 = "SITE second";
  MemoryUnit unit(lines({t1, t2, data_line("ABC010111901", {1, 999})}));
  MemoryUnit listing("", 6);
  CapturedConsole cc;
  TrrwVars v;
  v.listing = &listing;
  v.read(unit, cc.con());
  const std::string b1 = put_at(t1, 90, "");
  const std::string b2 = put_at(t2, 90, "");
  EXPECT_EQ(listing.written(), "\n            Title of data:\n " + b1 + "\n " + b2 + "\n");
  EXPECT_EQ(cc.out(), "");  // nothing on the console without a listing
}

TEST(TucsonRead, SeriesCutShortByEndOfFileWarnsAndIsNotDelivered) {
  MemoryUnit unit(lines({data_line("ABC010111901", {1, 999}), data_line("ABC020111900", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}),
                         data_line("ABC020111910", {11})}));
  CapturedConsole cc;
  TrrwVars v;
  v.read(unit, cc.con());
  EXPECT_EQ(v.count, 1);
  EXPECT_EQ(cc.err(), "");
  v.read(unit, cc.con());
  EXPECT_EQ(v.count, -999);
  EXPECT_EQ(v.counter, -999);
  EXPECT_EQ(cc.err(), "sbr trrw:  series ABC02011 ends without a stop marker at the end of the file; not read\n");

  // Text lines alone before the end of the file are no series.
  MemoryUnit text(text_lines(3));
  CapturedConsole cc2;
  v.read(text, cc2.con());
  EXPECT_EQ(v.count, -999);
  EXPECT_EQ(cc2.err(), "");
}

// The self-formatted block: a "#" title record, a block header and data
// records in the layout the header names.
std::string block_header(int count, int year, std::string_view layout_text, std::string_view lead = "n ") {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%-2.2s%8d  %8d  %-8.8s", std::string(lead).c_str(), count, year,
                std::string(layout_text).c_str());
  return buf;
}

std::string block_data(int count, std::vector<float>* expect) {
  std::string s;
  char field[16];
  for (int i = 0; i < count; ++i) {
    std::snprintf(field, sizeof field, "%8.3f", static_cast<double>((i * 377) % 4000) / 1000.0 + 0.001);
    s += field;
    if (expect) expect->push_back(std::strtof(field, nullptr));
    if (i % 10 == 9 || i == count - 1) s += "\n";
  }
  return s;
}

const std::string kBlockTitle = put_at("XYZ00101 block of values", 80, "#");

TEST(TucsonRead, SelfFormattedBlock) {
  std::vector<float> expect;
  MemoryUnit unit(kBlockTitle + "\n" + block_header(350, 1650, "(10f8.3)") + "\n" + block_data(350, &expect) +
                  data_line("NEXT00011901", {7, 999}) + "\n");
  MemoryUnit listing("", 6);
  CapturedConsole cc;
  TrrwVars v;
  v.listing = &listing;
  v.read(unit, cc.con());
  EXPECT_EQ(v.id.str(), "XYZ00101");
  EXPECT_EQ(v.first_year, 1650);
  EXPECT_EQ(v.count, 350);
  EXPECT_EQ(v.counter, 1);
  EXPECT_EQ(v.got(), expect);
  EXPECT_EQ(cc.out(), "");
  EXPECT_EQ(listing.written(), "\n" + std::string(9, ' ') + "title of data:  " + put_at(kBlockTitle, 90, "") + "\n\n");

  // The file stands after the block's last data record.
  v.read(unit, cc.con());
  EXPECT_EQ(v.id.str(), "NEXT0001");
  EXPECT_EQ(v.counter, 2);
  v.read(unit, cc.con());
  EXPECT_EQ(v.counter, -999);
}

TEST(TucsonRead, BlockTextIsTheLastRecordNotStartingWithN) {
  struct Case {
    const char* name;
    std::string file;
    const char* id;
  };
  const Case cases[] = {
      {"passed-over record between title and header",
       kBlockTitle + "\nOTHER001 text\n" + block_header(3, 10, "(3f4.1)") + "\n 1.0 2.0 3.0\n", "OTHER001"},
      {"header not starting with 'n  '", kBlockTitle + "\n" + block_header(3, 10, "(3f4.1)", "HD") + "\n 1.0 2.0 3.0\n",
       "HD      "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryUnit unit(c.file);
    CapturedConsole cc;
    TrrwVars v;
    v.read(unit, cc.con());
    EXPECT_EQ(v.id.str(), c.id);
    EXPECT_EQ(v.count, 3);
    EXPECT_EQ(v.got(), (std::vector<float>{1.0f, 2.0f, 3.0f}));
  }
}

TEST(TucsonRead, BlockFailures) {
  struct Case {
    const char* name;
    std::string after_title;
    const char* message;  // on the console
    std::int32_t count;
    std::int32_t counter;
    float value1;  // what the first value slot holds afterwards
  };
  const std::string header = block_header(20, 1700, "(10f8.3)") + "\n";
  const Case cases[] = {
      {"bad character", header + "   1.000   2.0x0\n", ">> sbr datar:  error reading data\n", 20, 1, 1.0f},
      {"layout that cannot be used", block_header(20, 1700, "(10k8.3)") + "\n   1.000\n",
       ">> sbr datar:  error reading data\n", 20, 1, -1.0f},
      {"end of file inside the data", header + "   1.000   2.000\n", ">> sbr datar:  unexpected end reading data\n",
       20, 1, 1.0f},
      {"end of file before a block header", "no header here\n", "", -999, -999, -1.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryUnit unit(kBlockTitle + "\n" + c.after_title);
    CapturedConsole cc;
    TrrwVars v;
    v.values[0] = -1.0f;
    v.read(unit, cc.con());
    EXPECT_EQ(cc.out(), c.message);
    EXPECT_EQ(v.count, c.count);  // the header's count stands
    EXPECT_EQ(v.counter, c.counter);
    EXPECT_EQ(v.values[0], c.value1);
    if (c.count == 20) {
      EXPECT_EQ(v.first_year, 1700);
      EXPECT_EQ(v.id.str(), "XYZ00101");
    }
  }
}

TEST(TucsonRead, StopsWithStatusOne) {
  struct Case {
    std::string file;
    std::int32_t max_count;
    const char* message;
  };
  const Case cases[] = {
      {text_lines(26) + data_line("ABC010111901", {1, 999}), 3001, "sbr trrw:  over 25 text lines"},
      {data_line("ABC010111900", {1, 2, 3, 4, 5, 6, 999}), 5, "sbr trrw:  series ABC01011 has more than 5 values"},
      {kBlockTitle + "\n" + block_header(11, 1700, "(10f8.3)") + "\n" + block_data(11, nullptr), 10,
       "sbr datar:  block XYZ00101 has more than 10 values"},
      {kBlockTitle + "\n" + block_header(-3, 1700, "(10f8.3)") + "\n", 10,
       "sbr datar:  block XYZ00101 has a negative value count"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    MemoryUnit unit(c.file);
    CapturedConsole cc;
    TrrwVars v;
    v.values.assign(static_cast<std::size_t>(c.max_count), 0.0f);  // ASan sees any store past it
    v.max_count = c.max_count;
    try {
      v.read(unit, cc.con());
      ADD_FAILURE() << "no stop";
    } catch (const Stop& s) {
      EXPECT_EQ(s.status, 1);
      EXPECT_EQ(s.message, c.message);
    }
  }
}

}  // namespace
}  // namespace ringave
