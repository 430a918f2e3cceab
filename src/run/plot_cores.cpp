#include "run/plot_cores.h"

#include <algorithm>
#include <span>
#include <string>
#include <utility>

#include "averaging/fixed_positions.h"
#include "averaging/tree_keys.h"
#include "run/limits.h"

namespace ringave {

std::vector<PlotCore> keep_cores(SeriesTable& table) {
  std::vector<PlotCore> cores(static_cast<std::size_t>(std::max(table.rows, 0)));
  const SeriesRows rows = table.series_rows();
  for (std::size_t i = 0; i < cores.size(); ++i) {
    PlotCore& c = cores[i];
    c.id = std::string(rows.whole_id(i));
    c.first_year = table.first_years()[i];
    const auto count = static_cast<std::size_t>(std::clamp(table.counts()[i], 0, kLengthLimit));
    const std::span<const float> row = table.row_values(static_cast<std::int32_t>(i)).first(count);
    c.values.assign(row.begin(), row.end());
  }
  return cores;
}

PlotData plot_data(std::string input_name, const KeyRule& rule, std::vector<PlotCore> cores,
                   std::span<const std::int32_t> core_trees, std::span<const Series> trees) {
  PlotData data;
  data.input_name = std::move(input_name);
  data.grouping = dynamic_cast<const FixedPositions*>(&rule) ? "tree number at " + rule.place() + " of the series ID"
                                                             : "trees by " + rule.place();
  data.trees.resize(trees.size());
  for (std::size_t k = 0; k < data.trees.size(); ++k) {
    data.trees[k].id = trees[k].name.empty() ? std::string(trees[k].id.trimmed()) : trees[k].name;
    data.trees[k].first_year = trees[k].first_year;
  }

  for (std::size_t c = 0; c < std::min(core_trees.size(), cores.size()); ++c) {
    const auto k = static_cast<std::size_t>(core_trees[c]);
    if (k < data.trees.size()) data.trees[k].cores.push_back(std::move(cores[c]));
  }
  for (std::size_t k = 0; k < data.trees.size(); ++k) {
    const auto count = std::min(static_cast<std::size_t>(std::max(trees[k].count, 0)), trees[k].values.size());
    const std::span<const float> mean = trees[k].values.first(count);
    data.trees[k].mean.assign(mean.begin(), mean.end());
  }
  return data;
}

}  // namespace ringave
