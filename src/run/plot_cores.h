// The tree plot's share of a run: the cores of the series table, copied
// before the averaging rewrites their rows, and after it the picture's data,
// each tree of the table with its cores. Only a run that draws a picture
// calls these; a run without one copies nothing and keeps its memory and
// speed.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "averaging/key_rule.h"
#include "formats/series.h"
#include "plot/tree_plot.h"
#include "run/series_table.h"

namespace ringave {

// Copies rows 1 .. table.rows of the series table (the cores as read, before
// the averaging), with their whole IDs. Linear in the values.
std::vector<PlotCore> keep_cores(SeriesTable& table);

// The picture's data once treemean has turned `cores` into the tree series
// `trees` by `rule` (the tree rows of the table, in order): tree k with every
// core c whose core_trees[c] is k (the trees as partition_trees numbers
// them, as the averaging does). The mean is the tree's values, where the
// averaging leaves not a number for a year without a value. A core without
// a tree in core_trees is left out. Tree IDs are whole (Series::name where
// it is set).
PlotData plot_data(std::string input_name, const KeyRule& rule, std::vector<PlotCore> cores,
                   std::span<const std::int32_t> core_trees, std::span<const Series> trees);

}  // namespace ringave
