// The tree plot's share of a run: the cores of the series table, copied
// before the averaging rewrites their rows, and after it the picture's data,
// each tree of the table with its cores. Only a run that draws a picture
// calls these; a run without one copies nothing and keeps its memory and
// speed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "plot/tree_plot.h"
#include "run/series_table.h"

namespace ringave {

// Copies rows 1 .. table.rows of the series table (the cores as read, before
// the averaging), their IDs without trailing blanks. Linear in the values.
std::vector<PlotCore> keep_cores(SeriesTable& table);

// The picture's data once treemean has turned `cores` into `trees` tree rows
// of `table`, with the tree number at positions key_first..key_last: tree k
// is row k+1 with every core of the k-th distinct tree in order of first
// appearance, the order in which the averaging numbers the trees. A tree is
// known by its tree number alone (the dialogue's rule), or with
// `own_sites` by its site code (the ID characters before the tree number)
// together with its number, as the averaging groups trees that keep their
// own site code. The mean is the row's values, where the averaging leaves
// not a number for a year without a value. Throws FatalError only for a
// tree-number field that does not read, which the averaging has already
// refused.
PlotData plot_data(std::string input_name, std::int32_t key_first, std::int32_t key_last, std::vector<PlotCore> cores,
                   SeriesTable& table, std::int32_t trees, bool own_sites = false);

}  // namespace ringave
