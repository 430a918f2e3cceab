// End-to-end runs of the ringave binary over real ring-width files (public
// tree-ring collections, kept in tests/data): the console transcript and every
// tree file written are compared byte for byte with the golden copies in
// tests/data/golden, and every tree file is read back with the Tucson reader
// and checked against tree means computed here, independently of the program,
// from the Tucson data lines of the input.
//
// The golden files were written by the program once the read-back check had
// passed. After an intended change of output, rewrite them from a scratch
// folder holding copies of tests/data/* (not golden/):
//   printf 'T\nrealdata.lst\n' | ringave > golden/list_run.txt
//   printf 'F\ngp_cmp.cmp\n2\n1\n2\n' | ringave > golden/single_run.txt
//   and copy nm046_AVE.raw, wa082_AVE.raw, anos1_AVE.raw, gp_AVE.raw, ca533_AVE.raw.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/e2e_helper.h"
#include "formats/trrw_test_util.h"
#include "records/memory_unit.h"

namespace ringave_e2e {
namespace {

// A site and the forms of its measurements kept in tests/data: <name>.rwl
// (Tucson hundredths, stop marker 999), <name>_p001.rwl (Tucson thousandths,
// stop marker -9999) and <name>_cmp.cmp (Compact, exponent -2). All forms of a
// site hold the same hundredths and so must give the same tree file.
struct Site {
  const char* name;
  int start;  // tree-number positions in the series IDs
  int stop;
  bool all_forms;  // false: only the Tucson hundredths form is kept
};

const Site kSites[] = {
    {"nm046", 4, 5, true},  // one core per tree
    {"wa082", 4, 5, true},
    {"anos1", 6, 7, true},  // long site code, core letter in position 8
    {"gp", 1, 2, true},     // no site code: the tree ID is the tree number alone
    {"ca533", 4, 5, false}, // long series (626-1983), cores of unequal spans
};
// gp and ca533 hold missing rings (value 0) in every core of a tree in 61 and
// 90 tree-years: those years must stay in place, written as 0.

void PrintTo(const Site& site, std::ostream* os) { *os << site.name; }

struct Form {
  const char* suffix;
  bool tucson;
};
const Form kForms[] = {{".rwl", true}, {"_p001.rwl", true}, {"_cmp.cmp", false}};

std::string data_path(const std::string& name) { return std::string(RINGAVE_TEST_DATA) + "/" + name; }

std::string slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  EXPECT_TRUE(f.good()) << path;
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

// Texts that must be equal byte for byte; a difference is shown as its first
// differing line rather than the whole text.
void expect_same(const std::string& got, const std::string& want, const std::string& what) {
  if (got == want) return;
  std::size_t at = 0;
  while (at < got.size() && at < want.size() && got[at] == want[at]) ++at;
  const std::size_t line_start = at == 0 ? 0 : got.rfind('\n', at - 1) + 1;
  const auto line_of = [&](const std::string& s) { return s.substr(line_start, s.find('\n', line_start) - line_start); };
  ADD_FAILURE() << what << " differs from byte " << at + 1 << " (line "
                << std::count(got.begin(), got.begin() + static_cast<std::ptrdiff_t>(at), '\n') + 1
                << ", sizes " << got.size() << " and " << want.size() << ")\n   got: [" << line_of(got)
                << "]\n  want: [" << line_of(want) << "]";
}

// The input files of every list entry, plus the list itself.
std::vector<std::string> input_names() {
  std::vector<std::string> names;
  for (const Site& site : kSites)
    for (const Form& form : kForms)
      if (site.all_forms || std::string(form.suffix) == ".rwl")
        names.push_back(std::string(site.name) + form.suffix);
  return names;
}

void copy_inputs(const TempDir& dir, const std::vector<std::string>& names) {
  for (const std::string& n : names) dir.write(n, slurp(data_path(n)));
}

// One series: its ID, first year and values in millimetres.
struct Series {
  std::string id;
  int first = 0;
  std::vector<double> mm;
};

// Series of a Tucson file as the collections write it: three header lines,
// then data lines with the ID in columns 1-8, the year in 9-12 and integer
// values in 6-column fields from column 13, each series closed by its stop
// marker, which also gives the unit (999: hundredths, -9999: thousandths).
std::vector<Series> parse_tucson(const std::string& text) {
  std::vector<Series> out;
  std::vector<long> raw;
  bool open = false;
  std::istringstream in(text);
  std::string line;
  for (int n = 1; std::getline(in, line); ++n) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (n <= 3 || line.find_first_not_of(' ') == std::string::npos) continue;
    const std::string id = line.substr(0, 8);
    const int year = std::stoi(line.substr(8, 4));
    if (!open) {
      out.push_back({id, year, {}});
      raw.clear();
      open = true;
    } else if (id != out.back().id || year != out.back().first + static_cast<int>(raw.size())) {
      ADD_FAILURE() << "line " << n << " does not continue series " << out.back().id;
      return {};
    }
    for (std::size_t col = 12; open && col + 6 <= line.size(); col += 6) {
      const long v = std::stol(line.substr(col, 6));
      if (v == 999 || v == -9999) {
        const double unit = v == 999 ? 0.01 : 0.001;
        for (long r : raw) out.back().mm.push_back(static_cast<double>(r) * unit);
        open = false;
      } else {
        raw.push_back(v);
      }
    }
  }
  EXPECT_FALSE(open) << "last series has no stop marker";
  return out;
}

// Tree series of the cores: trees in order of first appearance of their
// number (positions start..stop), the ID made of the site code of the first
// core and the zero-padded number; each year the mean of the cores that have
// a value there, 0 for a year inside the tree's span that no core covers.
std::vector<Series> tree_means(const std::vector<Series>& cores, int start, int stop) {
  const auto key = [&](const Series& s) { return std::stoi(s.id.substr(start - 1, stop - start + 1)); };
  std::vector<int> keys;
  for (const Series& c : cores)
    if (std::find(keys.begin(), keys.end(), key(c)) == keys.end()) keys.push_back(key(c));
  const std::string site = cores.empty() ? "" : cores[0].id.substr(0, start - 1);
  std::vector<Series> trees;
  for (int k : keys) {
    int first = 1 << 30, last = -(1 << 30);
    for (const Series& c : cores)
      if (key(c) == k) {
        first = std::min(first, c.first);
        last = std::max(last, c.first + static_cast<int>(c.mm.size()) - 1);
      }
    std::vector<double> sum(last - first + 1, 0.0), count(last - first + 1, 0.0);
    for (const Series& c : cores)
      if (key(c) == k)
        for (std::size_t j = 0; j < c.mm.size(); ++j) {
          sum[c.first - first + j] += c.mm[j];
          count[c.first - first + j] += 1.0;
        }
    Series t;
    char num[16];
    std::snprintf(num, sizeof num, "%0*d", stop - start + 1, k);
    t.id = site + num;
    t.id.resize(8, ' ');
    t.first = first;
    for (std::size_t j = 0; j < sum.size(); ++j) t.mm.push_back(count[j] > 0 ? sum[j] / count[j] : 0.0);
    trees.push_back(std::move(t));
  }
  return trees;
}

// Every series of a tree file, read with the program's own Tucson reader.
std::vector<Series> read_back(const std::string& text) {
  ringave::testing::CapturedConsole console;
  ringave::MemoryUnit unit(text, 12);
  ringave::testing::TrrwVars v;
  std::vector<Series> out;
  for (int guard = 0; guard < 10000; ++guard) {
    v.read(unit, console.con());
    if (v.counter == -999) break;
    Series s{v.id.str(), v.first_year, {}};
    for (float x : v.got()) s.mm.push_back(x);
    out.push_back(std::move(s));
  }
  EXPECT_EQ(console.out() + console.err(), "");
  return out;
}

// The written trees against the computed ones: same IDs, years and lengths,
// each value within the half-thousandth of rounding to thousandths (a mean
// that rounds to 999 thousandths is written as 1000, clear of the stop marker).
void expect_trees(const std::vector<Series>& got, const std::vector<Series>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t t = 0; t < want.size(); ++t) {
    SCOPED_TRACE(want[t].id);
    EXPECT_EQ(got[t].id, want[t].id);
    EXPECT_EQ(got[t].first, want[t].first);
    ASSERT_EQ(got[t].mm.size(), want[t].mm.size());
    int bad = 0;
    for (std::size_t j = 0; j < want[t].mm.size() && bad < 5; ++j) {
      const double w = want[t].mm[j], g = got[t].mm[j];
      const double tol = 0.0005 + 1e-6;
      const bool ok = std::abs(g - w) <= tol || (std::abs(w - 0.999) <= tol && std::abs(g - 1.0) <= 1e-6);
      if (!ok) {
        ++bad;
        ADD_FAILURE() << "year " << want[t].first + static_cast<int>(j) << ": written " << g << ", mean " << w;
      }
    }
  }
}

// Full lines end with the tag "AVE" in columns 75-80; other lines end with
// their last field; the file ends with a stop marker.
void expect_layout(const std::string& text) {
  std::istringstream in(text);
  std::string line, last;
  int n = 0;
  while (std::getline(in, line)) {
    ++n;
    if (line.size() == 80) {
      EXPECT_EQ(line.substr(72), "  AVE   ") << "line " << n;
    } else {
      EXPECT_TRUE(line.size() >= 18 && line.size() <= 72 && (line.size() - 12) % 6 == 0) << "line " << n;
    }
    last = line;
  }
  EXPECT_NE(last.find("-9999"), std::string::npos);
}

// The list run over every input, made once and shared by the tests below.
struct ListRun {
  TempDir dir;
  RunResult result;
  ListRun() {
    copy_inputs(dir, input_names());
    dir.write("realdata.lst", slurp(data_path("realdata.lst")));
    result = dir.run("T\nrealdata.lst\n");
  }
};

const ListRun& list_run() {
  static const ListRun run;  // its folder is removed when the process ends
  return run;
}

TEST(RealDataE2E, ListRunConsoleAndInputsUntouched) {
  const ListRun& run = list_run();
  EXPECT_EQ(run.result.status, 0);
  EXPECT_EQ(run.result.err, "");
  expect_same(run.result.out, slurp(data_path("golden/list_run.txt")), "console");
  for (const std::string& n : input_names()) expect_same(run.dir.read(n), slurp(data_path(n)), n);
}

TEST(RealDataE2E, SingleFileRunConsoleAndOutput) {
  TempDir dir;
  copy_inputs(dir, {"gp_cmp.cmp"});
  const RunResult r = dir.run("F\ngp_cmp.cmp\n2\n1\n2\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  expect_same(r.out, slurp(data_path("golden/single_run.txt")), "console");
  expect_same(dir.read("gp_cmp_AVE.raw"), slurp(data_path("golden/gp_AVE.raw")), "gp_cmp_AVE.raw");
}

class RealDataSite : public ::testing::TestWithParam<Site> {};

// Every form of a site's measurements gives the site's golden tree file, and
// reads back to the tree means of the Tucson input it came from.
TEST_P(RealDataSite, TreeFilesMatchGoldenAndMeans) {
  const Site& site = GetParam();
  const std::string golden = slurp(data_path(std::string("golden/") + site.name + "_AVE.raw"));
  expect_layout(golden);
  const std::vector<Series> hundredths_trees =
      tree_means(parse_tucson(slurp(data_path(std::string(site.name) + ".rwl"))), site.start, site.stop);
  ASSERT_FALSE(hundredths_trees.empty());
  for (const Form& form : kForms) {
    if (!site.all_forms && std::string(form.suffix) != ".rwl") continue;
    const std::string input = std::string(site.name) + form.suffix;
    SCOPED_TRACE(input);
    const std::string stem = input.substr(0, input.find('.'));
    const std::string written = list_run().dir.read(stem + "_AVE.raw");
    expect_same(written, golden, stem + "_AVE.raw");
    const std::vector<Series> want =
        form.tucson ? tree_means(parse_tucson(slurp(data_path(input))), site.start, site.stop) : hundredths_trees;
    expect_trees(read_back(written), want);
  }
}

INSTANTIATE_TEST_SUITE_P(RealData, RealDataSite, ::testing::ValuesIn(kSites),
                         [](const ::testing::TestParamInfo<Site>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ringave_e2e
