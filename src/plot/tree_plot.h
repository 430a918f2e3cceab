// The tree plot: one SVG picture of every tree of a file, each tree in a
// panel of its own, the panels stacked over one shared year axis. In a panel
// every core is a thin line in its own colour, labelled with its series ID,
// and the tree's mean a thick black line, labelled with the tree ID; the
// vertical axis is the ring width in millimetres, scaled per panel.
//
// The picture is drawn from plain data (PlotData), so it knows nothing of
// readers, tables or the averaging. A value that is not a finite number is
// "no value" (a missing ring): lines break there, as they do at a year that
// no value covers, and no value is ever drawn as 0.
//
// The SVG is self-contained SVG 1.1: no scripts, fonts, images or style
// sheets; every ID and the file name are <text>, XML-escaped, with bytes
// that are not UTF-8 (or control characters) shown as U+FFFD. Coordinates
// are integers, vertical ones with at most one decimal, and each run of
// values is one path of relative steps, so the size grows linearly with the
// values (about 6 bytes a value) and drawing costs a pass over them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "records/record_io.h"

namespace ringave {

// One core series: its ID as the file names it (trailing blanks dropped) and
// its values in millimetres, value j for year first_year + j.
struct PlotCore {
  std::string id;
  std::int32_t first_year = 0;
  std::vector<float> values;
  // The check's word on a flagged core ("shifted +10"): its line is drawn
  // dashed and the legend gives the note after its ID. Empty: not flagged.
  std::string note = {};
};

// One tree: its ID, its mean in millimetres (value j for year first_year +
// j) and its cores.
struct PlotTree {
  std::string id;
  std::int32_t first_year = 0;
  std::vector<float> mean;
  std::vector<PlotCore> cores;
};

// Everything one picture shows: the input file's name (as the user gave it),
// how its cores were grouped into trees ("tree number at positions 4-5 of
// the series ID", "trees by column tag"), and the trees in output order.
struct PlotData {
  std::string input_name;
  std::string grouping;
  std::vector<PlotTree> trees;
};

// Where things land in the picture, in its user units (pixels at the size
// the SVG asks for). Vertical positions are in tenths of a unit.
struct PlotPanel {
  std::int64_t top = 0;                        // top of the panel's plot area
  std::int64_t height = 0;                     // height of the plot area
  double bottom_value = 0.0;                   // ring width at the bottom of the plot area
  double top_value = 1.0;                      // ring width at the top
  double tick_step = 1.0;                      // distance of the width ticks
  std::int64_t tenths_of(double value) const;  // vertical position of a width
};

struct PlotGeometry {
  std::int64_t first_year = 0;  // first and last year of the year axis
  std::int64_t last_year = 0;
  std::int64_t year_width = 1;  // units per year
  std::int64_t year_tick = 10;  // years between two ticks
  std::int64_t left = 0;        // x of the first year
  std::int64_t width = 0;       // of the whole picture
  std::int64_t height = 0;
  std::vector<PlotPanel> panels;  // one per tree, in order
  std::int64_t x_of(std::int64_t year) const { return left + (year - first_year) * year_width; }
};

// The layout of the picture of `data`. Pure; linear in the values.
PlotGeometry plot_geometry(const PlotData& data);

// The picture of `data` as SVG text.
std::string render_tree_plot(const PlotData& data);

// The same text written to `sink` a line per record (each record ends with a
// line end), in pieces as it is drawn, so a large picture is never held
// whole. Throws what the sink throws.
void write_tree_plot(RecordSink& sink, const PlotData& data);

}  // namespace ringave
