#include "plot/tree_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <span>
#include <string>

#include "plot/svg_text.h"

namespace ringave {

namespace {

// The picture's measures, in user units (pixels at the picture's own size).
constexpr std::int64_t kPlotWidthGoal = 1200;  // the year axis aims at this width
constexpr std::int64_t kMinPlotWidth = 640;    // room for the title lines
constexpr std::int64_t kYearTickSpace = 64;    // at least this far apart
constexpr std::int64_t kMaxYearTicks = 40;
constexpr std::int64_t kLeft = 64;  // room for the width labels
constexpr std::int64_t kLegendGap = 12;
constexpr std::int64_t kLegendWidth = 110;
constexpr std::int64_t kFirstPanelTop = 84;  // below the title lines and the top year labels
constexpr std::int64_t kLabelRow = 18;       // the tree ID above each panel
constexpr std::int64_t kLegendLine = 12;
constexpr std::int64_t kMinPanelHeight = 96;
constexpr std::int64_t kBottom = 34;  // the bottom year labels

constexpr std::string_view kMeanColour = "#000";
constexpr std::string_view kTextColour = "#333";
// Core colours, none of them dark, so that only a mean draws black.
constexpr std::string_view kCoreColours[] = {"#1f77b4", "#ff7f0e", "#2ca02c", "#d62728", "#9467bd",
                                             "#8c564b", "#e377c2", "#17becf", "#7f7f7f", "#bcbd22"};

// A core the check flagged is drawn dashed, its line and its legend swatch.
std::string_view dashes(const PlotCore& core) { return core.note.empty() ? "" : " stroke-dasharray=\"6 3\""; }

// Smallest and largest finite value of a tree's mean and cores; none when
// it has no value at all.
struct Range {
  double low = std::numeric_limits<double>::infinity();
  double high = -std::numeric_limits<double>::infinity();
  void take(std::span<const float> values) {
    for (float v : values) {
      if (!std::isfinite(v)) continue;
      low = std::min(low, static_cast<double>(v));
      high = std::max(high, static_cast<double>(v));
    }
  }
  bool empty() const { return low > high; }
};

// A scale from 0 (or below, for negative values) to a round number above
// the largest value, with round ticks: 1, 2, 2.5 or 5 times a power of ten,
// about four of them.
void set_scale(PlotPanel& p, Range r) {
  if (r.empty()) r = {0.0, 1.0};
  r.low = std::min(r.low, 0.0);
  if (r.high <= r.low) r.high = r.low + 1.0;
  const double raw = (r.high - r.low) / 4.0;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  double step = 10.0 * power;
  for (double m : {1.0, 2.0, 2.5, 5.0}) {
    if (m * power >= raw) {
      step = m * power;
      break;
    }
  }
  p.tick_step = step;
  p.bottom_value = std::floor(r.low / step) * step;
  // Strictly above the largest value, so that no line runs along the frame.
  p.top_value = std::floor(r.high / step) * step + step;
}

// Years between two ticks: 1, 2 or 5 times a power of ten, far enough apart
// to be read and few enough for any span.
std::int64_t year_tick(std::int64_t span, std::int64_t year_width) {
  std::int64_t power = 1;
  for (;;) {
    for (std::int64_t m : {1, 2, 5}) {
      const std::int64_t step = m * power;
      if (step * year_width >= kYearTickSpace && span / step <= kMaxYearTicks) return step;
    }
    power *= 10;
  }
}

// The first and last year that a series of `count` values from `first`
// covers, as wide numbers.
void widen(std::int64_t& first, std::int64_t& last, bool& any, std::int32_t from, std::size_t count) {
  if (count == 0) return;
  const std::int64_t end = static_cast<std::int64_t>(from) + static_cast<std::int64_t>(count) - 1;
  first = any ? std::min(first, static_cast<std::int64_t>(from)) : from;
  last = any ? std::max(last, end) : end;
  any = true;
}

}  // namespace

std::int64_t PlotPanel::tenths_of(double value) const {
  const double share = (top_value - value) / (top_value - bottom_value);
  return top * 10 + std::llround(share * static_cast<double>(height) * 10.0);
}

PlotGeometry plot_geometry(const PlotData& data) {
  PlotGeometry g;
  bool any = false;
  for (const PlotTree& t : data.trees) {
    widen(g.first_year, g.last_year, any, t.first_year, t.mean.size());
    for (const PlotCore& c : t.cores) widen(g.first_year, g.last_year, any, c.first_year, c.values.size());
  }
  const std::int64_t span = g.last_year - g.first_year;
  g.year_width = std::max<std::int64_t>(kPlotWidthGoal / std::max<std::int64_t>(span, 1), 1);
  g.year_tick = year_tick(span, g.year_width);
  g.left = kLeft;
  const std::int64_t plot_width = std::max(span * g.year_width, kMinPlotWidth);
  g.width = kLeft + plot_width + kLegendGap + kLegendWidth;

  std::int64_t y = kFirstPanelTop;
  for (const PlotTree& t : data.trees) {
    PlotPanel p;
    Range r;
    r.take(t.mean);
    for (const PlotCore& c : t.cores) r.take(c.values);
    set_scale(p, r);
    const auto legend_lines = static_cast<std::int64_t>(t.cores.size()) + 1;
    p.top = y + kLabelRow;
    p.height = std::max(kMinPanelHeight, legend_lines * kLegendLine + 8);
    y = p.top + p.height;
    g.panels.push_back(p);
  }
  g.height = y + kBottom;
  return g;
}

namespace {

// Draws one picture: the header, then a panel per tree, then the footer.
class Painter {
 public:
  Painter(const PlotData& data, SvgText& out) : d_(data), g_(plot_geometry(data)), out_(out) {}
  void draw();

 private:
  std::int64_t right() const { return g_.width - kLegendGap - kLegendWidth; }
  void header();
  void year_labels(std::int64_t baseline);
  void panel(const PlotTree& t, const PlotPanel& p);
  void width_ticks(const PlotPanel& p);
  void legend(const PlotTree& t, const PlotPanel& p);
  bool any_note() const {
    for (const PlotTree& t : d_.trees)
      for (const PlotCore& c : t.cores)
        if (!c.note.empty()) return true;
    return false;
  }
  void line(std::int32_t first_year, std::span<const float> values, const PlotPanel& p);

  const PlotData& d_;
  PlotGeometry g_;
  SvgText& out_;
};

void Painter::draw() {
  header();
  for (std::size_t i = 0; i < d_.trees.size(); ++i) panel(d_.trees[i], g_.panels[i]);
  year_labels(g_.height - kBottom + 16);
  out_ << "</svg>";
  out_.line_end();
}

void Painter::header() {
  std::size_t series = 0;
  for (const PlotTree& t : d_.trees) series += t.cores.size();
  out_ << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
  out_.line_end();
  out_ << "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" << g_.width << "\" height=\""
       << g_.height << "\" viewBox=\"0 0 " << g_.width << ' ' << g_.height << "\" font-family=\"sans-serif\">";
  out_.line_end();
  // The title names the file, its series and trees and where the tree
  // number stands, so the picture can be told apart from its siblings.
  std::string title = ": " + std::to_string(series) + " series, " + std::to_string(d_.trees.size()) +
                      (d_.trees.size() == 1 ? " tree" : " trees") + ", " + d_.grouping;
  out_ << "<title>";
  out_.escaped(d_.input_name);
  out_.escaped(title);
  out_ << "</title>";
  out_.line_end();
  out_ << "<rect width=\"100%\" height=\"100%\" fill=\"#fff\"/>";
  out_.line_end();
  out_ << "<text x=\"" << kLeft << "\" y=\"22\" font-size=\"15\" font-weight=\"bold\" fill=\"" << kTextColour << "\">";
  out_.escaped(d_.input_name);
  out_.escaped(title);
  out_ << "</text>";
  out_.line_end();
  out_ << "<g font-size=\"11\" fill=\"" << kTextColour << "\"><text x=\"" << kLeft
       << "\" y=\"40\">Thin coloured lines: the cores, labelled with their series IDs. Thick black line: the tree "
          "mean, labelled with the tree ID.</text><text x=\""
       << kLeft << "\" y=\"54\">Ring width in mm. A break in a line is a year without a value."
       << (any_note() ? " Dashed: a core the check flagged (its flag after its ID)." : "") << "</text></g>";
  out_.line_end();
  year_labels(kFirstPanelTop - 8);
}

// The year of every tick, centred over its place on the axis.
void Painter::year_labels(std::int64_t baseline) {
  out_ << "<g font-size=\"11\" text-anchor=\"middle\" fill=\"" << kTextColour << "\">";
  out_.line_end();
  const std::int64_t step = g_.year_tick;
  // The first multiple of the step at or after the first year, for negative
  // years too.
  std::int64_t year = g_.first_year / step * step;
  if (year < g_.first_year) year += step;
  for (; year <= g_.last_year; year += step) {
    out_ << "<text x=\"" << g_.x_of(year) << "\" y=\"" << baseline << "\">" << year << "</text>";
    out_.line_end();
  }
  out_ << "</g>";
  out_.line_end();
}

void Painter::panel(const PlotTree& t, const PlotPanel& p) {
  const std::int64_t bottom = p.top + p.height;
  out_ << "<text x=\"" << kLeft << "\" y=\"" << p.top - 5 << "\" font-size=\"13\" font-weight=\"bold\" fill=\""
       << kTextColour << "\">";
  out_.escaped(t.id);
  out_ << "</text>";
  out_.line_end();
  // Year grid lines, then the width ticks, under the lines of the data.
  out_ << "<path fill=\"none\" stroke=\"#e4e4e4\" d=\"";
  std::int64_t year = g_.first_year / g_.year_tick * g_.year_tick;
  if (year < g_.first_year) year += g_.year_tick;
  for (; year <= g_.last_year; year += g_.year_tick) out_ << 'M' << g_.x_of(year) << ',' << p.top << 'V' << bottom;
  out_ << "\"/>";
  out_.line_end();
  width_ticks(p);
  out_ << "<rect x=\"" << kLeft << "\" y=\"" << p.top << "\" width=\"" << right() - kLeft << "\" height=\"" << p.height
       << "\" fill=\"none\" stroke=\"#999\"/>";
  out_.line_end();

  out_ << "<g fill=\"none\" stroke-width=\"1\" stroke-linejoin=\"round\">";
  out_.line_end();
  for (std::size_t c = 0; c < t.cores.size(); ++c) {
    out_ << "<path stroke=\"" << kCoreColours[c % std::size(kCoreColours)] << '"' << dashes(t.cores[c]) << " d=\"";
    line(t.cores[c].first_year, t.cores[c].values, p);
    out_ << "\"/>";
    out_.line_end();
  }
  out_ << "<path stroke=\"" << kMeanColour << "\" stroke-width=\"2\" d=\"";
  line(t.first_year, t.mean, p);
  out_ << "\"/>";
  out_.line_end();
  out_ << "</g>";
  out_.line_end();
  legend(t, p);
}

// Grid lines and labels at the round widths of the panel's scale; the top
// label carries the unit.
void Painter::width_ticks(const PlotPanel& p) {
  const double step = p.tick_step;
  const auto ticks = static_cast<std::int64_t>(std::llround((p.top_value - p.bottom_value) / step));
  // Decimals enough for the step (2.5 needs one, 0.25 two); trailing zeros
  // go, so that the labels read 0, 0.5, 1, 1.5.
  int decimals = 0;
  while (decimals < 6 && std::fabs(step * std::pow(10.0, decimals) - std::round(step * std::pow(10.0, decimals))) >
                             1e-6 * step * std::pow(10.0, decimals))
    ++decimals;
  out_ << "<path fill=\"none\" stroke=\"#eee\" d=\"";
  for (std::int64_t k = 1; k < ticks; ++k) {
    out_ << 'M' << kLeft << ',';
    out_.tenths(p.tenths_of(p.bottom_value + static_cast<double>(k) * step));
    out_ << 'H' << right();
  }
  out_ << "\"/>";
  out_.line_end();
  out_ << "<g font-size=\"10\" text-anchor=\"end\" fill=\"" << kTextColour << "\">";
  for (std::int64_t k = 0; k <= ticks; ++k) {
    const double v = p.bottom_value + static_cast<double>(k) * step;
    char label[48];
    const bool plain = std::fabs(v) < 1e9;
    const int n = std::snprintf(label, sizeof label, plain ? "%.*f" : "%.*g", plain ? decimals : 3,
                                std::fabs(v) < 0.5 * step ? 0.0 : v);
    std::string_view text(label, static_cast<std::size_t>(std::clamp(n, 0, 47)));
    if (plain && decimals > 0) {
      while (text.back() == '0') text.remove_suffix(1);
      if (text.back() == '.') text.remove_suffix(1);
    }
    out_ << "<text x=\"" << kLeft - 4 << "\" y=\"";
    out_.tenths(p.tenths_of(v) + 35);
    out_ << "\">" << text << (k == ticks ? " mm" : "") << "</text>";
  }
  out_ << "</g>";
  out_.line_end();
}

// The tree ID beside a thick black swatch, then each core's series ID beside
// a swatch of its colour.
void Painter::legend(const PlotTree& t, const PlotPanel& p) {
  const std::int64_t x = right() + kLegendGap;
  std::int64_t y = p.top + kLegendLine;
  out_ << "<g font-size=\"11\" fill=\"" << kTextColour << "\">";
  out_.line_end();
  out_ << "<path stroke=\"" << kMeanColour << "\" stroke-width=\"2\" d=\"M" << x << ',' << y - 4 << "h16\"/>";
  out_ << "<text x=\"" << x + 20 << "\" y=\"" << y << "\" font-weight=\"bold\">";
  out_.escaped(t.id);
  out_ << "</text>";
  out_.line_end();
  for (std::size_t c = 0; c < t.cores.size(); ++c) {
    y += kLegendLine;
    out_ << "<path stroke=\"" << kCoreColours[c % std::size(kCoreColours)] << '"' << dashes(t.cores[c])
         << " stroke-width=\"2\" d=\"M" << x << ',' << y - 4 << "h16\"/>";
    out_ << "<text x=\"" << x + 20 << "\" y=\"" << y << "\">";
    out_.escaped(t.cores[c].note.empty() ? t.cores[c].id : t.cores[c].id + " " + t.cores[c].note);
    out_ << "</text>";
    out_.line_end();
  }
  out_ << "</g>";
  out_.line_end();
}

// Path data for a series: each run of finite values one subpath, the first
// point absolute and every next one a relative step of one year. A run of
// one value is a short level dash, so that it shows.
void Painter::line(std::int32_t first_year, std::span<const float> values, const PlotPanel& p) {
  const std::int64_t step = g_.year_width;
  bool in_run = false;
  bool first_step = false;  // right after the 'l' that starts a run's steps
  for (std::size_t j = 0; j < values.size(); ++j) {
    if (!std::isfinite(values[j])) {
      in_run = false;
      continue;
    }
    const std::int64_t y = p.tenths_of(values[j]);
    const bool alone = j + 1 == values.size() || !std::isfinite(values[j + 1]);
    if (!in_run) {
      const std::int64_t x = g_.x_of(static_cast<std::int64_t>(first_year) + static_cast<std::int64_t>(j));
      const std::int64_t dash = std::max<std::int64_t>(step / 2, 1);
      out_ << 'M' << (alone ? x - dash : x) << ',';
      out_.path_tenths(y);
      if (alone)
        out_ << 'h' << 2 * dash;
      else
        out_ << 'l';
      in_run = !alone;
      first_step = true;
    } else {
      const std::int64_t dy = y - p.tenths_of(values[j - 1]);  // the run's previous value
      if (!first_step) out_ << ' ';
      out_ << step;
      first_step = false;
      if (dy >= 0) out_ << ' ';
      out_.path_tenths(dy);
    }
  }
}

}  // namespace

std::string render_tree_plot(const PlotData& data) {
  SvgText out;
  Painter(data, out).draw();
  return out.take();
}

void write_tree_plot(RecordSink& sink, const PlotData& data) {
  SvgText out(&sink);
  Painter(data, out).draw();
  out.finish();
}

}  // namespace ringave
