// CSV tables: a cell's value against the Tucson reader's arithmetic, the
// header shapes that tell a table for -f auto, and what a series carries
// besides its values (the whole ID, the metadata cells). The layouts,
// separators and failures run end to end in the cli_csv_* scenarios.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "formats/csv_cells.h"
#include "formats/csv_table.h"
#include "records/memory_unit.h"
#include "test_files.h"

namespace ringave {
namespace {

std::uint32_t bits(float v) {
  std::uint32_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

// The Tucson reader's millimetres: hundredths x 0.01f, thousandths once more x 0.1f.
float hundredths(int v) { return static_cast<float>(v) * 0.01f; }
float thousandths(int v) { return hundredths(v) * 0.1f; }

TEST(CsvValue, TheTucsonReadersFloats) {
  const struct { const char* cell; char decimal; int unit; float want; } cases[] = {
      {"1.04", '.', 0, hundredths(104)},     {" 0,95 ", ',', 0, hundredths(95)},
      {"1,04", 0, 0, hundredths(104)},       {"1.04", 0, 0, hundredths(104)},
      {"3.280", '.', 0, thousandths(3280)},  {"0.001", '.', 0, thousandths(1)},
      {"104", '.', 2, hundredths(104)},      {"3280", '.', 3, thousandths(3280)},
      {"-0.25", '.', 0, hundredths(-25)},    {"12", '.', 0, 12.0f},
      {"0.1", '.', 0, 1.0f * 0.1f},          {"+7.", '.', 0, 7.0f},
      {"1.23456", '.', 0, 1.23456f},         {"1e-3", '.', 0, 0.001f},
      {"2.5E1", '.', 0, 25.0f},              {"12345678901234567890.5", '.', 0, 12345678901234567890.5f},
  };
  for (const auto& c : cases) {
    const std::optional<float> got = table_value(c.cell, c.decimal, c.unit);
    ASSERT_TRUE(got) << c.cell;
    EXPECT_EQ(bits(*got), bits(c.want)) << c.cell << " gives " << *got << ", want " << c.want;
  }
  for (const char* none : {"", "  ", "NA", "na", "NaN", "nan", "-999", "-999.00", "-999,0"})
    EXPECT_TRUE(std::isnan(table_value(none, 0, 0).value_or(0))) << none;
  for (const char* bad : {"O.9", "1.2.3", "1,2", "-", ".", "1e", "1e+", "12abc", "1e999", "N/A", "0x10", "\"1\""})
    EXPECT_FALSE(table_value(bad, '.', 0)) << bad;
}

TEST(CsvSniff, HeaderShapes) {
  const struct { const char* record; bool header; } cases[] = {
      {"year,A01,A02", true},
      {"\"\",\"A01\",\"A02\"", true},               // R's write.csv
      {"Year;01;02", true},                         // year first: year per row, whatever follows
      {"tag,coreID,sp,1777,1778,1779", true},
      {"series;1901;1902", true},
      {"year     A01     A02", true},               // tabs expanded
      {"\"\"      \"A01\"   \"A02\"", true},
      {"id      1901    1902    1903", true},
      {"year,", false},                             // no series named
      {"id,1901,1903", false},                      // years not consecutive
      {"id,1901", false},                           // one year only
      {"year A01", false},                          // split at blanks: too few
      {"id 1901 1902", false},
      {"CA533    Campito Mountain                                    PILO", false},
      {"NM046    New Mexico   Douglas fir                                   1681 1969", false},
      {"NM046    O'Brien, D.", false},
      {"CAM011  1530   104    89   103    70    69   115   101   109    77   136", false},
      {"     289=N    1681=I 644011                                          -2(26F3.0)~", false},
  };
  for (const auto& c : cases) EXPECT_EQ(looks_like_csv_header(c.record), c.header) << c.record;
}

// The quick read of a row's cells against table_value, cell by cell, over
// random rows and the rows of a real table.
void expect_quick_as_general(const std::string& row, char separator, char decimal, int unit) {
  std::vector<float> out(row.size() + 1);
  const char* p = row.data();
  const char* const end = p + row.size();
  CellShape shape;
  for (std::size_t k = 0;; ++k) {
    const char* cell = p;
    if (!quick_value(p, end, separator, decimal, unit, out[k], &shape)) {
      p = std::find(p, end, separator);
      out[k] = table_value(std::string_view(cell, static_cast<std::size_t>(p - cell)), decimal, unit).value_or(-1);
    }
    if (p == end) break;
    ++p;
  }
  std::size_t k = 0;
  for (std::size_t at = 0; at <= row.size(); ++k) {
    const std::size_t next = std::min(row.find(separator, at), row.size());
    const float want = table_value(std::string_view(row).substr(at, next - at), decimal, unit).value_or(-1);
    EXPECT_TRUE(bits(out[k]) == bits(want) || (std::isnan(out[k]) && std::isnan(want)))
        << "cell " << k << " of " << row.substr(0, 200);
    at = next + 1;
  }
}

TEST(CsvValue, QuickReadsAsTheGeneralOne) {
  std::mt19937 random(24);
  const std::string alphabet = "0123456789012345678901234567890123456789..,,;-+ eNA";
  for (int n = 0; n < 2000; ++n) {
    std::string row;
    for (int k = std::uniform_int_distribution<int>(0, 80)(random); k > 0; --k)
      row += alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(random)];
    expect_quick_as_general(row, n % 2 ? ';' : ',', n % 2 ? 0 : '.', n % 3 == 0 ? 3 : 0);
  }
  const std::string real = testing::test_data("scbi_cores.csv");
  for (std::size_t at = real.find('\n') + 1; at < real.size(); at = real.find('\n', at) + 1) {
    std::string row = real.substr(at, real.find('\n', at) - at);
    for (int metadata = 0; metadata < 4; ++metadata) row.erase(0, row.find(',') + 1);
    expect_quick_as_general(row, ',', '.', 0);
  }
}

struct Quiet final : Reporter {
  void note(const Finding&) override {}
  void warning(const Finding&) override {}
  void file_error(const Finding& f) override { error = std::string(f.plain_words()); }
  std::string error;
};

// Every series of a table as "id|name|first|count|key=value,...".
std::vector<std::string> series_of(const std::string& text, const ReadOptions& options = {}) {
  MemoryUnit unit(text);
  Quiet quiet;
  std::vector<float> values(5);
  Series s;
  s.values = values;
  CsvReader reader(unit, quiet, options);
  std::vector<std::string> out;
  while (reader.next(s) == SeriesRead::series) {
    std::string fields;
    for (const SeriesField& f : s.fields) fields += f.key + "=" + f.value + ",";
    out.push_back(s.id.str() + "|" + s.name + "|" + std::to_string(s.first_year) + "|" + std::to_string(s.count) +
                  "|" + fields);
  }
  if (!quiet.error.empty()) out.push_back(quiet.error);
  return out;
}

TEST(CsvRead, IdsNamesAndFields) {
  using V = std::vector<std::string>;
  EXPECT_EQ(series_of("plot,Sample,1901,1902\nP1,\"FS-001-01-a\",1,\nP1,K1_091,,2\n"),
            (V{"FS-001-0|FS-001-01-a|1901|1|plot=P1,Sample=FS-001-01-a,", "K1_091  ||1902|1|plot=P1,Sample=K1_091,"}));
  EXPECT_EQ(series_of("a,b,1901\nx,\"two\nlines\",1\n", {false, "B"}), (V{"two\nline|two\nlines|1901|1|a=x,b=two\nlines,"}));
  // A doubled quotation mark in a quoted cell is one.
  EXPECT_EQ(series_of("a,b,1901\nx,\"Oak \"\"N\"\"\",1\n", {false, "b"}), (V{"Oak \"N\" ||1901|1|a=x,b=Oak \"N\","}));
  EXPECT_EQ(series_of("year,Eichenx\xc3\xa4t\n1901,1\n"), (V{"Eichenx |Eichenx\xc3\xa4t|1901|1|"}));  // no half character
  EXPECT_EQ(series_of("year,A,B,C\n1901,,1,\n1902,,NA,\n1903,,2,\n"),
            (V{"A       ||1903|0|", "B       ||1901|3|", "C       ||1903|0|"}));
  EXPECT_EQ(series_of("year,A,B,C\n1901,1,1,1\n", {false, "", 0, 1}), (V{"A       ||1901|1|", "B       ||1901|1|"}));
  EXPECT_EQ(series_of("year,A\n1901,1\n1902,\n1903,\n1904,\n1905,\n1906,2\n"),
            (V{"line 7: column 2 (A): series A has values from 1901 to 1906, 6 years: ringave reads at most 5 values "
               "per series"}));
}

// A year-per-row table gives the same series as the same values one series
// per row: wide and narrow tables, whole and partial blocks of rows, gaps.
TEST(CsvRead, YearPerRowAsSeriesPerRow) {
  struct Shape {
    int series, years;
  };
  for (const Shape shape : {Shape{3, 5}, Shape{40, 100}, Shape{2100, 70}}) {
    std::mt19937 random(static_cast<unsigned>(shape.series));
    std::vector<std::string> cell(static_cast<std::size_t>(shape.series * shape.years));
    for (std::string& c : cell)
      if (random() % 4 != 0) c = std::to_string(random() % 3000) + "." + std::to_string(random() % 10);
    std::string by_year = "year", by_series = "id";
    for (int y = 0; y < shape.years; ++y) by_series += "," + std::to_string(1900 + y);
    for (int k = 0; k < shape.series; ++k) by_year += ",S" + std::to_string(k);
    for (int y = 0; y < shape.years; ++y) {
      by_year += "\n" + std::to_string(1900 + y);
      for (int k = 0; k < shape.series; ++k) by_year += "," + cell[static_cast<std::size_t>(y * shape.series + k)];
    }
    for (int k = 0; k < shape.series; ++k) {
      by_series += "\nS" + std::to_string(k);
      for (int y = 0; y < shape.years; ++y) by_series += "," + cell[static_cast<std::size_t>(y * shape.series + k)];
    }
    const auto read = [&](const std::string& text) {
      MemoryUnit unit(text + "\n");
      Quiet quiet;
      std::vector<float> values(static_cast<std::size_t>(shape.years));
      Series s;
      s.values = values;
      CsvReader reader(unit, quiet, ReadOptions{});
      std::vector<std::string> out;
      while (reader.next(s) == SeriesRead::series) {
        std::string line = s.id.str() + " " + (s.count > 0 ? std::to_string(s.first_year) : "none") + ":";
        for (int i = 0; i < s.count; ++i) line += " " + std::to_string(bits(values[static_cast<std::size_t>(i)]));
        out.push_back(line);
      }
      EXPECT_EQ(quiet.error, "");
      return out;
    };
    EXPECT_EQ(read(by_year), read(by_series)) << shape.series << " series";
  }
}

}  // namespace
}  // namespace ringave
