// The real collections' golden tree files, checked apart from the program's
// averaging: tree means computed here in double precision (-999 left out)
// from the inputs' series, against the golden tree files, both read with the
// program's readers (a guard against re-recording a wrong golden file).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "formats/format_test_util.h"
#include "formats/registry.h"
#include "formats/tucson.h"
#include "records/memory_unit.h"
#include "test_files.h"

namespace ringave::testing {
namespace {

// A series in millimetres; a missing value (-999) is not a number.
struct PlainSeries {
  std::string id;
  int first = 0;
  std::vector<double> mm;
};

// Trees in order of first appearance of their number (positions kf..kl), ID =
// site code of the first core + zero-padded number; each year the mean of the
// cores with a value there, 0 inside the tree's span where none has one. A
// tree without any value is left out.
std::vector<PlainSeries> tree_means(const std::vector<PlainSeries>& cores, int kf, int kl) {
  const auto key = [&](const PlainSeries& s) { return std::stoi(s.id.substr(kf - 1, kl - kf + 1)); };
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
    std::snprintf(num, sizeof num, "%0*d", kl - kf + 1, k);
    PlainSeries t{cores[0].id.substr(0, kf - 1) + num, first, {}};
    t.id.resize(8, ' ');
    for (std::size_t j = 0; j < sum.size(); ++j) t.mm.push_back(count[j] > 0 ? sum[j] / count[j] : NAN);
    trees.push_back(std::move(t));
  }
  return trees;
}

// The series of a Tucson file as the program's reader takes them (-999 is
// not a number); a tree file (`tree_file`) must draw no finding.
std::vector<PlainSeries> read_series(const std::string& text, bool tree_file = true) {
  Recorder rec;
  MemoryUnit unit(text, 12);
  OwnedSeries v;
  std::vector<PlainSeries> out;
  const auto reader = make_reader(Format::tucson, unit, rec);
  while (out.size() < 10000 && reader->next(v.s) == SeriesRead::series) {
    out.push_back({v.s.id.str(), v.s.first_year, {}});
    for (float x : v.got()) out.back().mm.push_back(x);
  }
  EXPECT_TRUE(!tree_file || rec.said.empty()) << rec.said;
  return out;
}

// The tree file holds the trees of `want`, each value within the half-thousandth
// of rounding, a year without a value read back as missing; a mean that rounds
// to 999, -999 or -9999 thousandths is written one thousandth further from
// zero, clear of the stop markers and the missing-value code.
void expect_trees(const std::string& tree_file, const std::vector<PlainSeries>& want) {
  ASSERT_FALSE(want.empty());
  const std::vector<PlainSeries> got = read_series(tree_file);
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t t = 0; t < want.size(); ++t) {
    EXPECT_EQ(got[t].id + " " + std::to_string(got[t].first), want[t].id + " " + std::to_string(want[t].first));
    ASSERT_EQ(got[t].mm.size(), want[t].mm.size()) << want[t].id;
    for (std::size_t j = 0, bad = 0; j < want[t].mm.size() && bad < 5; ++j) {
      const double w = want[t].mm[j], g = got[t].mm[j], tol = 0.0005 + 1e-6;
      const double away = std::abs(std::abs(w) - 0.999) <= tol || std::abs(w + 9.999) <= tol ? std::copysign(0.001, w) : 0.0;
      const bool ok = std::isnan(w) ? std::isnan(g) : std::abs(g - w) <= tol || std::abs(g - (w + away)) <= tol;
      if (!ok) ++bad, ADD_FAILURE() << want[t].id << " " << want[t].first + int(j) << ": " << g << " vs " << w;
    }
  }
}

// The real collections: the golden tree files of the dialogue's list run
// (scenario realdata_list) and every tree file of the command line's run
// over all forms (cli_auto_realdata), each against the means of the site's
// Tucson file. gp and ca533 hold missing rings (0) in every core of a tree in
// some years: those years stay, written as 0.
TEST(TreeFilesE2E, RealDataTreeFilesHoldTheTreeMeans) {
  const struct { const char* site; int kf, kl; } sites[] = {{"nm046", 4, 5}, {"wa082", 4, 5}, {"anos1", 6, 7}, {"gp", 1, 2}, {"ca533", 4, 5}};
  for (const auto& s : sites) {
    SCOPED_TRACE(s.site);
    const std::string site = s.site;
    const std::vector<PlainSeries> want = tree_means(read_series(test_data(site + ".rwl"), false), s.kf, s.kl);
    expect_trees(test_data("golden/" + site + "_AVE.raw"), want);
    for (const std::string form : {"", "_p001", "_cmp"}) expect_trees(test_data("e2e/cli_auto_realdata/expect/" + site + form + "_AVE.raw"), want);
  }
}

}  // namespace
}  // namespace ringave::testing
