// The tree plot: numbers and text as the SVG writes them, the year axis,
// the cores kept for the picture and their trees, breaks in lines, odd data,
// size, and the scenarios' pictures checked by xmllint and rendered by
// rsvg-convert (the scenarios pin them byte for byte).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "averaging/tree_keys.h"
#include "plot/plot_test_util.h"
#include "plot/svg_text.h"
#include "records/memory_unit.h"

namespace ringave::testing {
namespace {

namespace fs = std::filesystem;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr std::int32_t kMinYear = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMaxYear = std::numeric_limits<std::int32_t>::max();

// A folder of its own for one test, removed with it.
struct Scratch {
  ScratchFolder folder{"ringave-plot"};
  const fs::path& dir = folder.path;
  // xmllint's complaints about `svg`, or empty when it is well-formed XML.
  std::string xml_errors(const std::string& svg) const {
    std::ofstream(dir / "c.svg", std::ios::binary) << svg;
    if (run_shell("xmllint --noout '" + (dir / "c.svg").string() + "' 2>'" + (dir / "x.err").string() + "'") == 0)
      return "";
    return "xmllint: " + slurp(dir / "x.err");
  }
  // Whether rsvg-convert renders `svg` to a PNG.
  bool renders(const std::string& svg) const {
    std::ofstream(dir / "r.svg", std::ios::binary) << svg;
    return run_shell("rsvg-convert -o '" + (dir / "r.png").string() + "' '" + (dir / "r.svg").string() + "'") == 0 &&
           fs::file_size(dir / "r.png") > 0;
  }
};

PlotData one_tree(std::int32_t first, std::vector<float> mean) {
  return {"x.rwl", "positions 4-5", {{"ABC01", first, mean, {{"ABC011", first, mean}}}}};
}

TEST(SvgTextTest, NumbersAndEscapes) {
  const struct { std::int64_t tenths; const char *full, *path; } numbers[] = {
      {0, "0", "0"}, {5, "0.5", ".5"}, {-5, "-0.5", "-.5"}, {120, "12", "12"}, {-123, "-12.3", "-12.3"},
      {std::numeric_limits<std::int64_t>::min(), "-922337203685477580.8", "-922337203685477580.8"}};
  for (const auto& n : numbers) {
    SvgText full, path;
    full.tenths(n.tenths), path.path_tenths(n.tenths);
    EXPECT_EQ(full.text() + " " + path.text(), std::string(n.full) + " " + n.path);
  }
  const std::string bad = "\xEF\xBF\xBD";  // U+FFFD
  const struct { std::string in, out; } texts[] = {
      {"a&b<c>d\"e'f", "a&amp;b&lt;c&gt;d&quot;e&apos;f"},
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8C\xB2", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8C\xB2"},
      {"\xFF" "A", bad + "A"}, {"\xC3(", bad + "("}, {"\xC3", bad},  // not UTF-8, a cut sequence, cut by the end
      {"\xC0\xAF", bad + bad},                              // overlong
      {"\xE0\x9F\xBF\xE0\xA0\x80", bad + bad + bad + "\xE0\xA0\x80"},  // overlong U+07FF, least U+0800
      {"\xF0\x8F\xBF\xBF\xF0\x90\x80\x80", bad + bad + bad + bad + "\xF0\x90\x80\x80"},  // and U+10000
      {"\xED\xA0\x80", bad + bad + bad},                    // surrogate
      {"\xEF\xBF\xBE", bad + bad + bad},                    // U+FFFE
      {"\x01\t\x7F\xC2\x85", bad + bad + bad + bad + bad},  // C0 and C1 controls
  };
  for (const auto& t : texts) {
    SvgText s;
    s.escaped(t.in);
    EXPECT_EQ(s.text(), t.out) << t.in;
  }
}

// Ticks at round years, at least 64 units and at most 40 ticks apart.
TEST(PlotGeometryTest, YearTicksAreRound) {
  const struct { std::int32_t first, last; std::int64_t tick; } cases[] = {
      {626, 1983, 100}, {1910, 2007, 10}, {-384, -305, 5}, {-999, 2001, 100}, {1900, 1900, 1}, {1900, 1903, 1},
      {kMinYear, kMaxYear, 200000000}};
  for (const auto& c : cases) {
    PlotData d = one_tree(c.first, {1.0f});
    d.trees[0].cores[0].first_year = c.last;
    const PlotGeometry g = plot_geometry(d);
    EXPECT_EQ(g.first_year * 10 + g.last_year, c.first * 10ll + c.last);
    EXPECT_EQ(g.year_tick, c.tick) << c.first << ".." << c.last;
    EXPECT_GE(g.year_tick * g.year_width, 64);
    EXPECT_LE((g.last_year - g.first_year) / g.year_tick, 40);
  }
}

// The cores kept before the averaging join their trees after it, in the
// averaging's order; the mean is no value where no core of its tree has one.
TEST(PlotCoresTest, TreesGetTheirCoresAndGapsStayGaps) {
  auto run = std::make_unique<RunStorage>();
  SeriesTable& t = run->table;
  const struct { const char* id; std::int32_t first; std::vector<float> values; } rows[] = {
      {"ABC02A", 1905, {1, 2}}, {"ABC01A", 1900, {1, 1, 1, kNaN, 1}}, {"ABC01B", 1907, {3, 3}}, {"ABC02B", 1904, {5, 5}}};
  for (const auto& r : rows) {
    const auto i = static_cast<std::size_t>(t.rows++);
    t.ids()[i] = Field<8>(r.id), t.first_years()[i] = r.first, t.counts()[i] = std::int32_t(r.values.size());
    std::copy(r.values.begin(), r.values.end(), t.row_values(t.rows - 1).begin());
  }
  std::vector<PlotCore> cores = keep_cores(t);
  CoreTable table = t.cores();
  AveragingWork work = run->work();
  FailingReporter quiet;
  const FixedPositions rule(4, 5, TreeSites::first_series);
  const TreePartition trees = partition_trees(rule, t.series_rows());
  const PlotData d =
      plot_data("f.rwl", rule, std::move(cores), trees.tree, tree_series(t, treemean(table, work, rule, quiet)));

  ASSERT_EQ(d.trees.size(), 2u);
  const PlotTree &two = d.trees[0], &one = d.trees[1];
  EXPECT_EQ(two.id + " " + two.cores.at(0).id + " " + two.cores.at(1).id, "ABC02 ABC02A ABC02B");
  EXPECT_EQ(one.id + " " + one.cores.at(0).id + " " + one.cores.at(1).id, "ABC01 ABC01A ABC01B");
  EXPECT_EQ(one.cores[1].values, (std::vector<float>{3, 3}));
  EXPECT_EQ(two.first_year, 1904);
  EXPECT_EQ(two.mean, (std::vector<float>{5, 3, 2}));
  // Tree 01: 1900-1908; 1903 only missing, 1905-1906 covered by no core.
  EXPECT_EQ(one.first_year, 1900);
  ASSERT_EQ(one.mean.size(), 9u);
  std::string got;
  for (float v : one.mean) got += std::isnan(v) ? "-" : std::to_string(int(v));
  EXPECT_EQ(got, "111-1--33");
}

// Data no real file gives still makes well-formed XML: no trees, a tree
// without values, only missing values, single values between gaps, BC
// years, huge, tiny and infinite widths, the widest year span, markup and
// control characters and bytes that are not UTF-8 in names and IDs.
TEST(TreePlotTest, OddDataStaysWellFormed) {
  const float inf = std::numeric_limits<float>::infinity();
  std::vector<PlotData> cases = {
      {"empty.rwl", "positions 1-2", {}},
      {"novalues.rwl", "positions 1-2", {{"01", 1900, {}, {{"01A", 1900, {}}}}}},
      one_tree(1900, {kNaN, kNaN}),
      one_tree(1900, {1, kNaN, 2, kNaN, 1.5}),
      one_tree(-384, {0.5, 0.7, 0.4}),
      one_tree(1, {3e38f, -3e38f, inf, -inf, 1}),
      one_tree(1, {1e-30f, 2e-30f}),
      one_tree(kMinYear, {1}),
      {"a&b <c> \"d\" 'e' \x01\xFF.rwl", "positions 4-5", {{"<T&1>", 1900, {1, 2}, {{"\xC3\xA9\x7F\x80", 1900, {1, 2}}}}}}};
  cases[7].trees[0].cores[0].first_year = kMaxYear;

  if (const std::string why = missing_tool("xmllint", "libxml2-utils"); !why.empty()) GTEST_SKIP() << why;
  Scratch scratch;
  for (const PlotData& d : cases) EXPECT_EQ(scratch.xml_errors(render_tree_plot(d)), "") << d.input_name;
  const std::string named = render_tree_plot(cases.back());
  EXPECT_NE(named.find(">&lt;T&amp;1&gt;</text>"), std::string::npos);
  EXPECT_NE(named.find("a&amp;b &lt;c&gt; &quot;d&quot; &apos;e&apos; \xEF\xBF\xBD\xEF\xBF\xBD.rwl"),
            std::string::npos);
}

// Written in pieces to a unit, the picture is the same text as rendered
// whole; its size grows with the values, a few bytes each.
TEST(TreePlotTest, StreamedAsRenderedAndLinearInSize) {
  const auto trees = [](int n) {
    PlotData d{"many.rwl", "positions 4-7", {}};
    for (int t = 0; t < n; ++t) {
      std::vector<float> v(3001);
      for (std::size_t j = 0; j < v.size(); ++j) v[j] = 1.0f + 0.8f * std::sin(0.3f * float(j) + float(t));
      d.trees.push_back({"T" + std::to_string(t), 1000, v, {{"A", 1000, v}, {"B", 1001, v}}});
    }
    return d;
  };
  const PlotData small = trees(10), large = trees(100);
  MemoryUnit unit(std::string_view{}, 15);
  write_tree_plot(unit, large);
  const std::string whole = render_tree_plot(large);
  EXPECT_GT(whole.size(), std::size_t{1} << 21) << "big enough to be written in several pieces";
  EXPECT_EQ(unit.written(), whole);
  EXPECT_LT(double(whole.size()) / (100 * 3 * 3001), 7.0);
  const double ratio = double(whole.size()) / double(render_tree_plot(small).size());
  EXPECT_TRUE(ratio > 9.5 && ratio < 10.5) << ratio;
}

// Every picture a scenario pins (scenario cli_plot_realdata draws real files
// of the collections) is well-formed XML and renders.
TEST(TreePlotTest, ScenarioPicturesAreWellFormedAndRender) {
  for (const char* tool : {"xmllint libxml2-utils", "rsvg-convert librsvg2-bin"})
    if (const std::string t = tool, why = missing_tool(t.substr(0, t.find(' ')), t.substr(t.find(' ') + 1)); !why.empty())
      GTEST_SKIP() << why;
  Scratch scratch;
  int pictures = 0;
  for (const auto& e : fs::recursive_directory_iterator(fs::path(RINGAVE_TEST_DATA) / "e2e"))
    if (e.path().extension() == ".svg" && e.path().parent_path().string().find("/expect") != std::string::npos) {
      const std::string svg = slurp(e.path());
      EXPECT_EQ(scratch.xml_errors(svg), "") << e.path();
      EXPECT_TRUE(scratch.renders(svg)) << e.path();
      ++pictures;
    }
  EXPECT_GE(pictures, 9);
}

}  // namespace
}  // namespace ringave::testing
