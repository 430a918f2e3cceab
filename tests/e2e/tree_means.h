// Tree means computed independently of the program, for checking the tree
// files it writes: a plain reading of Tucson data lines and of simple Compact
// files, the means in double precision, and a comparison with a tree file
// read back with the program's Tucson reader.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "formats/format_test_util.h"
#include "formats/tucson.h"
#include "records/memory_unit.h"

namespace ringave::testing {

inline std::string slurp_data(const std::string& name) {
  std::ifstream f(std::string(RINGAVE_TEST_DATA) + "/" + name, std::ios::binary);
  EXPECT_TRUE(f.good()) << name;
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

// A series in millimetres; a missing value (-999) is not a number.
struct PlainSeries {
  std::string id;
  int first = 0;
  std::vector<double> mm;
};

// `header_lines` lines first, then data lines: the ID and year split 8-4,
// 7-5 (a minus sign in column 8) or 6-6 (in column 7), values in 6-column
// fields from column 13, each series closed by its stop marker, which also
// gives the unit (999: hundredths, -9999: thousandths). Blank lines are
// passed over.
inline std::vector<PlainSeries> parse_tucson(const std::string& text, int header_lines = 3) {
  std::vector<PlainSeries> out;
  std::vector<long> raw;
  bool open = false;
  std::istringstream in(text);
  std::string line;
  for (int n = 1; std::getline(in, line); ++n) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (n <= header_lines || line.find_first_not_of(' ') == std::string::npos) continue;
    const std::size_t id_cols = line[7] == '-' ? 7 : line[6] == '-' ? 6 : 8;
    if (!open) {
      std::string id = line.substr(0, id_cols);
      id.resize(8, ' ');
      out.push_back({id, std::stoi(line.substr(id_cols, 12 - id_cols)), {}}), raw.clear(), open = true;
    }
    for (std::size_t col = 12; open && col + 6 <= line.size(); col += 6) {
      const long v = std::stol(line.substr(col, 6));
      if (v != 999 && v != -9999) raw.push_back(v);
      if (v != 999 && v != -9999) continue;
      for (long r : raw) out.back().mm.push_back(r == -999 ? NAN : static_cast<double>(r) * (v == 999 ? 0.01 : 0.001));
      open = false;
    }
  }
  EXPECT_FALSE(open) << "last series has no stop marker";
  return out;
}

// Compact series whose data layout is "(<n>F<w>.0)": header lines with the
// count in columns 2-8, the first year in 11-18, the ID in 22-29 and the
// exponent in 69-71; blank lines passed over.
inline std::vector<PlainSeries> parse_compact(const std::string& text) {
  std::vector<PlainSeries> out;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(' ') == std::string::npos) continue;
    const int count = std::stoi(line.substr(1, 7));
    PlainSeries s{line.substr(21, 8), std::stoi(line.substr(10, 8)), {}};
    const double scale = std::pow(10.0, std::stoi(line.substr(68, 3)));
    const std::string layout = line.substr(71, 8);
    const std::size_t f = layout.find_first_of("Ff");
    const int per_line = std::stoi(layout.substr(1, f - 1)), width = std::stoi(layout.substr(f + 1));
    while (static_cast<int>(s.mm.size()) < count && std::getline(in, line))
      for (int k = 0; k < per_line && static_cast<int>(s.mm.size()) < count; ++k)
        s.mm.push_back(std::stod(line.substr(static_cast<std::size_t>(k * width), static_cast<std::size_t>(width))) * scale);
    out.push_back(std::move(s));
  }
  return out;
}

// Trees in order of first appearance of their number (positions key_first..key_last),
// ID = site code of the first core + zero-padded number; each year the mean of
// the cores with a value there (missing values left out), not a number inside
// the tree's span where no core has one. A tree without any value is left out.
inline std::vector<PlainSeries> tree_means(const std::vector<PlainSeries>& cores, int key_first, int key_last) {
  const auto key = [&](const PlainSeries& s) { return std::stoi(s.id.substr(key_first - 1, key_last - key_first + 1)); };
  std::vector<int> keys;
  for (const PlainSeries& c : cores)
    if (std::find(keys.begin(), keys.end(), key(c)) == keys.end()) keys.push_back(key(c));
  std::vector<PlainSeries> trees;
  for (int k : keys) {
    int first = 1 << 30, last = -(1 << 30);
    for (const PlainSeries& c : cores)
      if (key(c) == k && !c.mm.empty()) first = std::min(first, c.first), last = std::max(last, c.first + int(c.mm.size()) - 1);
    if (last < first) continue;
    std::vector<double> sum(last - first + 1, 0.0), count(last - first + 1, 0.0);
    for (const PlainSeries& c : cores)
      for (std::size_t j = 0; key(c) == k && j < c.mm.size(); ++j)
        if (!std::isnan(c.mm[j])) sum[c.first - first + j] += c.mm[j], count[c.first - first + j] += 1;
    if (std::count(count.begin(), count.end(), 0.0) == static_cast<long>(count.size())) continue;
    char num[16];
    std::snprintf(num, sizeof num, "%0*d", key_last - key_first + 1, k);
    PlainSeries t{cores[0].id.substr(0, key_first - 1) + num, first, {}};
    t.id.resize(8, ' ');
    for (std::size_t j = 0; j < sum.size(); ++j) t.mm.push_back(count[j] > 0 ? sum[j] / count[j] : NAN);
    trees.push_back(std::move(t));
  }
  return trees;
}

// The series of a tree file, read with the program's Tucson reader, which
// must say nothing about it.
inline std::vector<PlainSeries> read_back(const std::string& text) {
  Recorder rec;
  MemoryUnit unit(text, 12);
  OwnedSeries v;
  std::vector<PlainSeries> out;
  TucsonReader reader(unit, rec);
  for (int guard = 0; guard < 10000; ++guard) {
    if (reader.next(v.s) != SeriesRead::series) break;
    PlainSeries s{v.s.id.str(), v.s.first_year, {}};
    for (float x : v.got()) s.mm.push_back(x);
    out.push_back(std::move(s));
  }
  EXPECT_EQ(rec.said, "");
  return out;
}

// The tree file holds the trees of `want`, each value within the
// half-thousandth of rounding, a year without a value read back as missing;
// a mean that rounds to 999, -999 or -9999 thousandths is written one
// thousandth further from zero, clear of the stop markers and the
// missing-value code.
inline void expect_trees(const std::vector<PlainSeries>& got, const std::vector<PlainSeries>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t t = 0; t < want.size(); ++t) {
    EXPECT_EQ(got[t].id, want[t].id);
    EXPECT_EQ(got[t].first, want[t].first);
    ASSERT_EQ(got[t].mm.size(), want[t].mm.size()) << want[t].id;
    for (std::size_t j = 0, bad = 0; j < want[t].mm.size() && bad < 5; ++j) {
      const double w = want[t].mm[j], g = got[t].mm[j], tol = 0.0005 + 1e-6;
      const double away = std::abs(std::abs(w) - 0.999) <= tol || std::abs(w + 9.999) <= tol ? std::copysign(0.001, w) : 0.0;
      const bool ok = std::isnan(w) ? std::isnan(g) : std::abs(g - w) <= tol || std::abs(g - (w + away)) <= tol;
      if (!ok) ++bad, ADD_FAILURE() << want[t].id << " " << want[t].first + int(j) << ": " << g << " vs " << w;
    }
  }
}

}  // namespace ringave::testing
