// The tree plot: numbers and text as the SVG writes them, the year axis,
// the cores kept for the picture and their trees, breaks in lines, odd data,
// size, and every real file drawn, checked by xmllint and rendered by
// rsvg-convert.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "plot/plot_test_util.h"
#include "plot/svg_text.h"
#include "records/memory_unit.h"

namespace ringave::testing {
namespace {

namespace fs = std::filesystem;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// Why a check that needs a tool cannot run here, or empty when it can.
std::string missing_tool(const char* tool, const char* package) {
  if (have_tool(tool)) return "";
  return std::string(tool) + " is not installed (Debian package " + package + ")";
}

// xmllint's complaints about `svg`, or empty when it is well-formed XML.
std::string xml_errors(const std::string& svg, const ScratchDir& dir) {
  const fs::path file = dir.path / "check.svg", err = dir.path / "xmllint.err";
  spill(file, svg);
  if (run_shell("xmllint --noout " + quoted(file) + " 2>" + quoted(err)) == 0) return "";
  return "xmllint: " + slurp(err);
}

// The picture rendered at its own size, or an empty image (with the reason
// in `why`) when it cannot be.
Image rendered(const std::string& svg, const ScratchDir& dir, std::string& why) {
  const fs::path file = dir.path / "render.svg", png = dir.path / "render.png";
  spill(file, svg);
  if (run_shell("rsvg-convert -o " + quoted(png) + " " + quoted(file)) != 0) {
    why = "rsvg-convert failed";
    return {};
  }
  Image img = read_png(slurp(png));
  if (img.width == 0) why = "the PNG could not be read (built without zlib, or not 8-bit RGB/RGBA)";
  return img;
}

// The d attributes of the mean lines (legend swatches are single dashes "h16").
std::vector<std::string> mean_paths(const std::string& svg) {
  std::vector<std::string> out;
  const std::string lead = "<path stroke=\"#000\" stroke-width=\"2\" d=\"";
  for (std::size_t at = svg.find(lead); at != std::string::npos; at = svg.find(lead, at + 1)) {
    const std::size_t from = at + lead.size();
    const std::string d = svg.substr(from, svg.find('"', from) - from);
    if (d.find("h16") == std::string::npos) out.push_back(d);
  }
  return out;
}

std::size_t count_of(const std::string& text, char c) { return static_cast<std::size_t>(std::count(text.begin(), text.end(), c)); }

TEST(SvgTextTest, NumbersAndEscapes) {
  const struct { std::int64_t tenths; const char *full, *path; } numbers[] = {
      {0, "0", "0"},        {5, "0.5", ".5"},       {-5, "-0.5", "-.5"},    {120, "12", "12"},
      {-123, "-12.3", "-12.3"}, {std::numeric_limits<std::int64_t>::min(), "-922337203685477580.8", "-922337203685477580.8"},
  };
  for (const auto& n : numbers) {
    SvgText full, path;
    full.tenths(n.tenths);
    path.path_tenths(n.tenths);
    EXPECT_EQ(full.text(), n.full) << n.tenths;
    EXPECT_EQ(path.text(), n.path) << n.tenths;
  }
  const struct { const char *in, *out; } texts[] = {
      {"a&b<c>d\"e'f", "a&amp;b&lt;c&gt;d&quot;e&apos;f"},
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8C\xB2", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8C\xB2"},  // é € and a tree
      {"\xFF" "A", "\xEF\xBF\xBD" "A"},                 // not UTF-8
      {"\xC3(", "\xEF\xBF\xBD("},                       // cut sequence
      {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},         // overlong slash
      {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // surrogate
      {"\xEF\xBF\xBE", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // U+FFFE
      {"\x01\t\x7F", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},    // control characters
      {"\xC2\x85", "\xEF\xBF\xBD\xEF\xBF\xBD"},                  // C1 control
      {"\xC3", "\xEF\xBF\xBD"},                                   // sequence cut by the end
  };
  for (const auto& t : texts) {
    SvgText s;
    s.escaped(t.in);
    EXPECT_EQ(s.text(), t.out) << t.in;
  }
}

PlotData one_tree(std::int32_t first, std::vector<float> mean) {
  PlotData d{"x.rwl", 4, 5, {}};
  d.trees.push_back({"ABC01", first, mean, {{"ABC011", first, mean}}});
  return d;
}

// Ticks at round years (1, 2 or 5 times a power of ten), at least 64 units
// and at most 40 ticks apart, for short, long, negative and absurd spans.
TEST(PlotGeometryTest, YearTicksAreRound) {
  const struct { std::int32_t first, last; std::int64_t tick; } cases[] = {
      {626, 1983, 100}, {1910, 2007, 10}, {-384, -305, 5}, {-999, 2001, 100}, {1900, 1900, 2},
      {1900, 1903, 2},  {std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max(), 200000000},
  };
  for (const auto& c : cases) {
    PlotData d = one_tree(c.first, {1.0f});
    d.trees[0].cores[0].first_year = c.last;
    const PlotGeometry g = plot_geometry(d);
    EXPECT_EQ(g.first_year, c.first);
    EXPECT_EQ(g.last_year, c.last);
    EXPECT_EQ(g.year_tick, c.tick) << c.first << ".." << c.last;
    EXPECT_GE(g.year_tick * g.year_width, 64);
    EXPECT_LE((g.last_year - g.first_year) / g.year_tick, 40);
  }
}

// The cores kept before the averaging join their trees after it, in the
// averaging's order; the mean is no value where no core of its tree has one,
// and the averaging's mean everywhere else.
TEST(PlotCoresTest, TreesGetTheirCoresAndGapsStayGaps) {
  auto run = std::make_unique<RunStorage>();
  SeriesTable& t = run->table;
  const struct { const char* id; std::int32_t first; std::vector<float> values; } rows[] = {
      {"ABC02A", 1905, {1.0f, 2.0f}},
      {"ABC01A", 1900, {1.0f, 1.0f, 1.0f, kNaN, 1.0f}},
      {"ABC01B", 1907, {3.0f, 3.0f}},
      {"ABC02B", 1904, {5.0f, 5.0f}},
  };
  for (const auto& r : rows) {
    const auto i = static_cast<std::size_t>(t.rows++);
    t.ids()[i] = Field<8>(r.id);
    t.first_years()[i] = r.first;
    t.counts()[i] = static_cast<std::int32_t>(r.values.size());
    t.last_years()[i] = r.first + t.counts()[i] - 1;
    std::copy(r.values.begin(), r.values.end(), t.row_values(t.rows).begin());
  }
  std::vector<PlotCore> cores = keep_cores(t);
  CoreTable table = t.cores();
  AveragingWork work = run->work();
  const std::int32_t trees = treemean(table, work, 4, 5);
  const PlotData d = plot_data("f.rwl", 4, 5, std::move(cores), t, trees);

  ASSERT_EQ(d.trees.size(), 2u);
  EXPECT_EQ(d.trees[0].id, "ABC02");
  EXPECT_EQ(d.trees[1].id, "ABC01");
  ASSERT_EQ(d.trees[0].cores.size(), 2u);
  EXPECT_EQ(d.trees[0].cores[0].id, "ABC02A");
  EXPECT_EQ(d.trees[0].cores[1].id, "ABC02B");
  EXPECT_EQ(d.trees[1].cores[1].values, (std::vector<float>{3.0f, 3.0f}));
  EXPECT_EQ(d.trees[0].first_year, 1904);
  EXPECT_EQ(d.trees[0].mean, (std::vector<float>{5.0f, 3.0f, 2.0f}));
  // Tree 1: 1900-1908; 1903 only missing, 1905-1906 covered by no core.
  EXPECT_EQ(d.trees[1].first_year, 1900);
  const std::vector<float>& m = d.trees[1].mean;
  ASSERT_EQ(m.size(), 9u);
  const bool gap[] = {false, false, false, true, false, true, true, false, false};
  for (std::size_t k = 0; k < m.size(); ++k) EXPECT_EQ(std::isnan(m[k]), gap[k]) << "year " << 1900 + k;
  EXPECT_EQ(m[4], 1.0f);
  EXPECT_EQ(m[7], 3.0f);
}

// A missing year in the middle of the mean breaks its line: two pieces of
// path, and in the rendered picture no black at the gap's years, neither at
// the width of the values nor at 0.
TEST(TreePlotTest, GapBreaksTheLine) {
  std::vector<float> mean(100, 1.0f);
  for (int k = 50; k < 60; ++k) mean[static_cast<std::size_t>(k)] = kNaN;
  const PlotData d = one_tree(1900, mean);
  const std::string svg = render_tree_plot(d);
  const std::vector<std::string> paths = mean_paths(svg);
  ASSERT_EQ(paths.size(), 1u);
  EXPECT_EQ(count_of(paths[0], 'M'), 2u) << paths[0];

  if (const std::string why = missing_tool("rsvg-convert", "librsvg2-bin"); !why.empty()) GTEST_SKIP() << why;
  ScratchDir dir;
  std::string why;
  const Image img = rendered(svg, dir, why);
  if (img.width == 0) GTEST_SKIP() << why;
  const PlotGeometry g = plot_geometry(d);
  const PlotPanel& p = g.panels[0];
  const auto black_in_column = [&](std::int64_t year) {
    for (std::int64_t y = p.top + 1; y < p.top + p.height - 1; ++y)
      if (img.black(g.x_of(year), y)) return true;
    return false;
  };
  EXPECT_TRUE(black_in_column(1930));
  EXPECT_TRUE(black_in_column(1975));
  EXPECT_FALSE(black_in_column(1953));
  EXPECT_FALSE(black_in_column(1956));
  EXPECT_TRUE(img.black(g.x_of(1930), p.tenths_of(1.0) / 10));
}

// Data no real file gives still makes well-formed XML: no trees, a tree
// without values, only missing values, single values between gaps, BC
// years, huge, tiny and infinite widths, the widest year span, and names
// and IDs with markup characters, control characters and bytes that are not
// UTF-8.
TEST(TreePlotTest, OddDataStaysWellFormed) {
  const float inf = std::numeric_limits<float>::infinity();
  std::vector<PlotData> cases;
  cases.push_back({"empty.rwl", 1, 2, {}});
  cases.push_back({"novalues.rwl", 1, 2, {{"01", 1900, {}, {{"01A", 1900, {}}}}}});
  cases.push_back(one_tree(1900, {kNaN, kNaN}));
  cases.push_back(one_tree(1900, {1.0f, kNaN, 2.0f, kNaN, 1.5f}));
  cases.push_back(one_tree(-384, {0.5f, 0.7f, 0.4f}));
  cases.push_back(one_tree(1, {3e38f, -3e38f, inf, -inf, 1.0f}));
  cases.push_back(one_tree(1, {1e-30f, 2e-30f}));
  cases.push_back(one_tree(std::numeric_limits<std::int32_t>::min(), {1.0f}));
  cases.back().trees[0].cores[0].first_year = std::numeric_limits<std::int32_t>::max();
  cases.push_back(one_tree(1900, {1.0f, 2.0f}));
  cases.back().input_name = "a&b <c> \"d\" 'e' \x01\xFF.rwl";
  cases.back().trees[0].id = "<T&1>";
  cases.back().trees[0].cores[0].id = "\xC3\xA9\x7F\x80";

  if (const std::string why = missing_tool("xmllint", "libxml2-utils"); !why.empty()) GTEST_SKIP() << why;
  ScratchDir dir;
  for (const PlotData& d : cases) {
    const std::string svg = render_tree_plot(d);
    EXPECT_EQ(xml_errors(svg, dir), "") << d.input_name;
    EXPECT_EQ(svg.find("<script"), std::string::npos);
  }
  const std::string named = render_tree_plot(cases.back());
  EXPECT_NE(named.find(">&lt;T&amp;1&gt;</text>"), std::string::npos);
  EXPECT_NE(named.find("a&amp;b &lt;c&gt; &quot;d&quot; &apos;e&apos; \xEF\xBF\xBD\xEF\xBF\xBD.rwl"), std::string::npos);
}

// Synthetic trees of two cores each, every value present.
PlotData many_trees(int trees, int years) {
  PlotData d{"many.rwl", 4, 7, {}};
  for (int t = 0; t < trees; ++t) {
    PlotTree tree{"T" + std::to_string(t), 1000, std::vector<float>(static_cast<std::size_t>(years)), {}};
    for (int c = 0; c < 2; ++c) {
      PlotCore core{tree.id + char('A' + c), 1000, std::vector<float>(static_cast<std::size_t>(years))};
      for (int j = 0; j < years; ++j) core.values[static_cast<std::size_t>(j)] = 1.0f + 0.8f * std::sin(0.3f * j + t + c);
      tree.cores.push_back(core);
    }
    for (int j = 0; j < years; ++j)
      tree.mean[static_cast<std::size_t>(j)] = 0.5f * (tree.cores[0].values[j] + tree.cores[1].values[j]);
    d.trees.push_back(tree);
  }
  return d;
}

// Written in pieces to a sink, the picture is the same text as rendered
// whole; its size grows with the values, a few bytes each.
TEST(TreePlotTest, StreamedAsRenderedAndLinearInSize) {
  const PlotData small = many_trees(10, 3001), large = many_trees(100, 3001);
  MemoryUnit sink(std::string_view{}, 14);
  write_tree_plot(sink, large);
  const std::string whole = render_tree_plot(large);
  EXPECT_GT(whole.size(), std::size_t{1} << 21) << "big enough to be written in several pieces";
  EXPECT_EQ(sink.written(), whole);

  const double values = 100 * 3 * 3001;
  EXPECT_LT(static_cast<double>(whole.size()) / values, 7.0);
  const double ratio = static_cast<double>(whole.size()) / static_cast<double>(render_tree_plot(small).size());
  EXPECT_GT(ratio, 9.5);
  EXPECT_LT(ratio, 10.5);
}

TEST(TreePlotTest, FileCommittedWholeOrNotAtAll) {
  ScratchDir dir;
  const PlotData d = one_tree(1900, {1.0f, 2.0f});
  write_tree_plot_file((dir.path / "t_AVE.svg").string(), d);
  EXPECT_EQ(slurp(dir.path / "t_AVE.svg"), render_tree_plot(d));
  EXPECT_THROW(write_tree_plot_file((dir.path / "missing" / "t_AVE.svg").string(), d), FatalError);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator{}), 1);
}

// Every real file: the picture is well-formed XML, names every tree and
// every core as text, renders to a picture that is not blank, and each
// tree's panel holds its mean's black.
struct RealFile {
  const char* name;
  int format, first, last;
};

void PrintTo(const RealFile& f, std::ostream* os) { *os << f.name; }

class RealDataPlot : public ::testing::TestWithParam<RealFile> {};

TEST_P(RealDataPlot, DrawnWhole) {
  const RealFile& f = GetParam();
  const PlotData d = plot_of_file(std::string(RINGAVE_TEST_DATA) + "/" + f.name, f.format, f.first, f.last, f.name);
  ASSERT_FALSE(d.trees.empty());
  const std::string svg = render_tree_plot(d);
  EXPECT_LT(svg.size(), 400u * 1024u);
  for (const PlotTree& t : d.trees) {
    EXPECT_NE(svg.find(">" + t.id + "</text>"), std::string::npos) << t.id;
    for (const PlotCore& c : t.cores) EXPECT_NE(svg.find(">" + c.id + "</text>"), std::string::npos) << c.id;
  }
  EXPECT_EQ(mean_paths(svg).size(), d.trees.size());

  ScratchDir dir;
  if (const std::string why = missing_tool("xmllint", "libxml2-utils"); !why.empty()) GTEST_SKIP() << why;
  EXPECT_EQ(xml_errors(svg, dir), "");
  if (const std::string why = missing_tool("rsvg-convert", "librsvg2-bin"); !why.empty()) GTEST_SKIP() << why;
  std::string why;
  const Image img = rendered(svg, dir, why);
  if (img.width == 0) GTEST_SKIP() << why;
  const PlotGeometry g = plot_geometry(d);
  ASSERT_EQ(img.width, g.width);
  ASSERT_EQ(img.height, g.height);
  std::int64_t drawn = 0;
  for (std::int64_t y = 0; y < img.height; ++y)
    for (std::int64_t x = 0; x < img.width; ++x) drawn += img.white(x, y) ? 0 : 1;
  EXPECT_GT(drawn, img.width * img.height / 50) << "hardly anything drawn";
  for (std::size_t k = 0; k < g.panels.size(); ++k) {
    const PlotPanel& p = g.panels[k];
    std::int64_t black = 0;
    for (std::int64_t y = p.top; y < p.top + p.height; ++y)
      for (std::int64_t x = g.left; x <= g.x_of(g.last_year); ++x) black += img.black(x, y) ? 1 : 0;
    EXPECT_GT(black, 0) << "no mean drawn in the panel of " << d.trees[k].id;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, RealDataPlot,
    ::testing::Values(RealFile{"ca533.rwl", 1, 4, 5}, RealFile{"ca533_p001.rwl", 1, 4, 5},
                      RealFile{"ca533_cmp.cmp", 2, 4, 5}, RealFile{"wa082.rwl", 1, 4, 5},
                      RealFile{"wa082_p001.rwl", 1, 4, 5}, RealFile{"wa082_cmp.cmp", 2, 4, 5},
                      RealFile{"nm046.rwl", 1, 4, 5}, RealFile{"nm046_p001.rwl", 1, 4, 5},
                      RealFile{"nm046_cmp.cmp", 2, 4, 5}, RealFile{"anos1.rwl", 1, 6, 7},
                      RealFile{"anos1_p001.rwl", 1, 6, 7}, RealFile{"anos1_cmp.cmp", 2, 6, 7},
                      RealFile{"gp.rwl", 1, 1, 2}, RealFile{"gp_p001.rwl", 1, 1, 2}, RealFile{"gp_cmp.cmp", 2, 1, 2},
                      RealFile{"wild/Tucson7.rwl", 1, 4, 5}, RealFile{"wild/bcdates.rwl", 1, 6, 7},
                      RealFile{"wild/mixedunits.rwl", 1, 4, 5}),
    [](const ::testing::TestParamInfo<RealFile>& info) {
      std::string n = info.param.name;
      for (char& c : n)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      return n;
    });

}  // namespace
}  // namespace ringave::testing
