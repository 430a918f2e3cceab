// Tree files of the real ring-width collections in tests/data, checked
// independently of the program: the golden tree files (which the scenarios
// realdata_list and realdata_single_compact require the program to write for
// every input form) are read back with the Tucson reader and compared with
// tree means computed here in double precision from the Tucson data lines of
// each Tucson input form.
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

namespace {

std::string slurp(const std::string& name) {
  std::ifstream f(std::string(RINGAVE_TEST_DATA) + "/" + name, std::ios::binary);
  EXPECT_TRUE(f.good()) << name;
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

struct Series {
  std::string id;
  int first = 0;
  std::vector<double> mm;
};

// Three header lines, then data lines: ID in columns 1-8, year in 9-12, values
// in 6-column fields from column 13, each series closed by its stop marker,
// which also gives the unit (999: hundredths, -9999: thousandths).
std::vector<Series> parse_tucson(const std::string& text) {
  std::vector<Series> out;
  std::vector<long> raw;
  bool open = false;
  std::istringstream in(text);
  std::string line;
  for (int n = 1; std::getline(in, line); ++n) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (n <= 3 || line.find_first_not_of(' ') == std::string::npos) continue;
    if (!open) out.push_back({line.substr(0, 8), std::stoi(line.substr(8, 4)), {}}), raw.clear(), open = true;
    for (std::size_t col = 12; open && col + 6 <= line.size(); col += 6) {
      const long v = std::stol(line.substr(col, 6));
      if (v != 999 && v != -9999) raw.push_back(v);
      if (v != 999 && v != -9999) continue;
      for (long r : raw) out.back().mm.push_back(static_cast<double>(r) * (v == 999 ? 0.01 : 0.001));
      open = false;
    }
  }
  EXPECT_FALSE(open) << "last series has no stop marker";
  return out;
}

// Trees in order of first appearance of their number (positions key_first..key_last),
// ID = site code of the first core + zero-padded number; each year the mean of
// the cores with a value there, 0 inside the tree's span where no core has one.
std::vector<Series> tree_means(const std::vector<Series>& cores, int key_first, int key_last) {
  const auto key = [&](const Series& s) { return std::stoi(s.id.substr(key_first - 1, key_last - key_first + 1)); };
  std::vector<int> keys;
  for (const Series& c : cores)
    if (std::find(keys.begin(), keys.end(), key(c)) == keys.end()) keys.push_back(key(c));
  std::vector<Series> trees;
  for (int k : keys) {
    int first = 1 << 30, last = -(1 << 30);
    for (const Series& c : cores)
      if (key(c) == k) first = std::min(first, c.first), last = std::max(last, c.first + int(c.mm.size()) - 1);
    std::vector<double> sum(last - first + 1, 0.0), count(last - first + 1, 0.0);
    for (const Series& c : cores)
      for (std::size_t j = 0; key(c) == k && j < c.mm.size(); ++j) sum[c.first - first + j] += c.mm[j], count[c.first - first + j] += 1;
    char num[16];
    std::snprintf(num, sizeof num, "%0*d", key_last - key_first + 1, k);
    Series t{cores[0].id.substr(0, key_first - 1) + num, first, {}};
    t.id.resize(8, ' ');
    for (std::size_t j = 0; j < sum.size(); ++j) t.mm.push_back(count[j] > 0 ? sum[j] / count[j] : 0.0);
    trees.push_back(std::move(t));
  }
  return trees;
}

std::vector<Series> read_back(const std::string& text) {
  ringave::testing::Recorder rec;
  ringave::MemoryUnit unit(text, 12);
  ringave::testing::OwnedSeries v;
  std::vector<Series> out;
  for (int guard = 0; guard < 10000; ++guard) {
    if (ringave::read_tucson_series(unit, v.s, rec) != ringave::SeriesRead::series) break;
    Series s{v.s.id.str(), v.s.first_year, {}};
    for (float x : v.got()) s.mm.push_back(x);
    out.push_back(std::move(s));
  }
  EXPECT_EQ(rec.said, "");
  return out;
}

// gp and ca533 hold missing rings (0) in every core of a tree in some years:
// those years stay in place, written as 0.
TEST(RealDataE2E, GoldenTreeFilesHoldTheTreeMeans) {
  struct Site {
    const char* name;
    int key_first, key_last;
    bool thousandths;  // a <name>_p001.rwl form is kept too
  };
  for (const Site& site : {Site{"nm046", 4, 5, true}, Site{"wa082", 4, 5, true}, Site{"anos1", 6, 7, true},
                           Site{"gp", 1, 2, true}, Site{"ca533", 4, 5, false}}) {
    const std::vector<Series> got = read_back(slurp(std::string("golden/") + site.name + "_AVE.raw"));
    for (const std::string form : {".rwl", "_p001.rwl"}) {
      if (form != ".rwl" && !site.thousandths) continue;
      SCOPED_TRACE(site.name + form);
      const std::vector<Series> want = tree_means(parse_tucson(slurp(site.name + form)), site.key_first, site.key_last);
      ASSERT_EQ(got.size(), want.size());
      for (std::size_t t = 0; t < want.size(); ++t) {
        EXPECT_EQ(got[t].id, want[t].id);
        EXPECT_EQ(got[t].first, want[t].first);
        ASSERT_EQ(got[t].mm.size(), want[t].mm.size()) << want[t].id;
        // Within the half-thousandth of rounding; a mean that rounds to 999
        // thousandths is written as 1000, clear of the stop marker.
        for (std::size_t j = 0, bad = 0; j < want[t].mm.size() && bad < 5; ++j) {
          const double w = want[t].mm[j], g = got[t].mm[j], tol = 0.0005 + 1e-6;
          const bool ok = std::abs(g - w) <= tol || (std::abs(w - 0.999) <= tol && std::abs(g - 1.0) <= 1e-6);
          if (!ok) ++bad, ADD_FAILURE() << want[t].id << " " << want[t].first + int(j) << ": " << g << " vs " << w;
        }
      }
    }
  }
}

}  // namespace
