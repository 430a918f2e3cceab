// Tree files the scenarios require, checked apart from the program's
// averaging: tree means computed here in double precision (-999 left out)
// from the inputs' series, against the golden tree files, both read with the
// program's readers; and the CSV the program writes beside its tree files,
// cell by cell against them.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "formats/compact.h"
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

// The series of a Tucson ('t') or Compact ('c') file as the program's reader
// takes them (-999 is not a number); a tree file (`tree_file`) must draw no finding.
std::vector<PlainSeries> read_series(const std::string& text, char format = 't', bool tree_file = true) {
  Recorder rec;
  MemoryUnit unit(text, 12);
  OwnedSeries v;
  std::vector<PlainSeries> out;
  const auto reader = make_reader(format == 't' ? Format::tucson : Format::compact, unit, rec);
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
    const std::vector<PlainSeries> want = tree_means(read_series(test_data(site + ".rwl"), 't', false), s.kf, s.kl);
    expect_trees(test_data("golden/" + site + "_AVE.raw"), want);
    for (const std::string form : {"", "_p001", "_cmp"}) expect_trees(test_data("e2e/cli_auto_realdata/expect/" + site + form + "_AVE.raw"), want);
  }
}

// Real files from public collections (tests/data/wild) and the made-up files
// beside them: each scenario's golden tree file against its own input.
TEST(TreeFilesE2E, ScenarioTreeFilesHoldTheTreeMeansWithoutMissingValues) {
  const struct { const char *scenario, *input, format; int kf, kl; } cases[] = {
      {"wild_tucson7_missing_values", "Tucson7.rwl", 't', 4, 5},
      {"wild_bcdates_negative_years", "bcdates.rwl", 't', 6, 7},
      {"wild_mixedunits_site_codes_repeated_id", "mixedunits.rwl", 't', 4, 5},
      {"wild_tucsoncompact_blank_lines", "tucsoncompact.rwm", 'c', 5, 6},
      {"long_chronology_single_site", "ss_long.rwl", 't', 3, 5},
      {"missing_values_thousandths", "missing.rwl", 't', 3, 4},
      {"layout_7_5_to_8_4_no_warning", "layouts.rwl", 't', 3, 4},
      {"two_sites_same_tree_numbers_repeated_id", "sites.rwl", 't', 3, 4},
      {"compact_blank_lines_negative_value", "blanks.cmp", 'c', 3, 4},
      {"cli_tree_gap_written_missing_read_back", "nm046gap.rwl", 't', 4, 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.scenario);
    const std::string dir = std::string("e2e/") + c.scenario + "/", input = c.input;
    expect_trees(test_data(dir + "expect/" + input.substr(0, input.find('.')) + "_AVE.raw"),
                 tree_means(read_series(test_data(dir + "files/" + input), c.format, false), c.kf, c.kl));
  }
}

std::vector<std::string> cells(const std::string& line) {
  std::vector<std::string> out(1);
  for (char c : line) c == ',' ? void(out.emplace_back()) : out.back().push_back(c);
  return out;
}

// Every CSV cell of a run over all real files is the Tucson value in
// millimetres with three decimals; a cell is empty outside the tree's years
// and where the Tucson file writes 0 for a year no core covers.
TEST(TreeFilesE2E, CsvCellsAreTheTucsonValuesInMillimetres) {
  namespace fs = std::filesystem;
  ScratchFolder dir("ringave-cli");
  const char* const names[] = {"ca533.rwl", "ca533_p001.rwl", "ca533_cmp.cmp", "wa082.rwl", "wa082_p001.rwl",
                               "wa082_cmp.cmp", "nm046.rwl", "nm046_p001.rwl", "nm046_cmp.cmp", "anos1.rwl",
                               "anos1_p001.rwl", "anos1_cmp.cmp", "gp.rwl", "gp_p001.rwl", "gp_cmp.cmp"};
  std::string cmd = "cd '" + dir.path.string() + "' && '" RINGAVE_BIN "' --csv -t auto";
  for (const std::string name : names) fs::copy_file(fs::path(RINGAVE_TEST_DATA) / name, dir.path / name), cmd += " " + name;
  const int st = std::system((cmd + " </dev/null >/dev/null 2>.err").c_str());
  ASSERT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0) << slurp(dir.path / ".err");
  for (const std::string name : names) {
    SCOPED_TRACE(name);
    const std::string stem = dir.path / name.substr(0, name.rfind('.'));
    const std::vector<PlainSeries> trees = read_series(slurp(stem + "_AVE.raw"));
    std::istringstream csv(slurp(stem + "_AVE.csv"));
    std::string line;
    std::getline(csv, line);
    const std::vector<std::string> header = cells(line);
    ASSERT_EQ(header.size(), trees.size() + 1);
    std::size_t checked = 0;
    while (std::getline(csv, line)) {
      const std::vector<std::string> row = cells(line);
      ASSERT_EQ(row.size(), header.size()) << line;
      for (std::size_t k = 1; k < row.size(); ++k) {
        const PlainSeries& t = trees[k - 1];
        ASSERT_EQ(t.id.substr(0, t.id.find(' ')), header[k]);
        const long j = std::stol(row[0]) - t.first;
        const bool in_span = j >= 0 && j < static_cast<long>(t.mm.size());
        const long want = in_span ? std::lround(t.mm[j] * 1000) : 0;
        if (row[k].empty()) {
          EXPECT_EQ(want, 0) << header[k] << " " << row[0];
          continue;
        }
        const std::size_t point = row[k].find('.');
        ASSERT_TRUE(in_span && row[k].size() == point + 4) << header[k] << " " << row[k];  // three decimals
        EXPECT_EQ(std::stol(row[k].substr(0, point) + row[k].substr(point + 1)), want) << header[k] << " " << row[0];
        ++checked;
      }
    }
    EXPECT_GT(checked, 100u);
  }
}

}  // namespace
}  // namespace ringave::testing
