#include "run/plot_cores.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>
#include <string>
#include <unordered_map>
#include <utility>

#include "averaging/tree_keys.h"
#include "run/limits.h"

namespace ringave {

std::vector<PlotCore> keep_cores(SeriesTable& table) {
  std::vector<PlotCore> cores(static_cast<std::size_t>(std::max(table.rows, 0)));
  for (std::size_t i = 0; i < cores.size(); ++i) {
    PlotCore& c = cores[i];
    c.id = std::string(table.ids()[i].trimmed());
    c.first_year = table.first_years()[i];
    const auto count = static_cast<std::size_t>(std::clamp(table.counts()[i], 0, kLengthLimit));
    const std::span<const float> row = table.row_values(static_cast<std::int32_t>(i) + 1).first(count);
    c.values.assign(row.begin(), row.end());
  }
  return cores;
}

namespace {

// The tree's mean from its table row, with not a number in every year that
// no core of the tree covers with a finite value.
std::vector<float> mean_of(SeriesTable& table, std::size_t row, const PlotTree& tree) {
  const auto count = static_cast<std::size_t>(std::clamp(table.counts()[row], 0, kLengthLimit));
  const std::span<const float> values = table.row_values(static_cast<std::int32_t>(row) + 1).first(count);
  std::vector<bool> covered(count, false);
  for (const PlotCore& c : tree.cores) {
    // Year of value j minus the tree's first year.
    const std::int64_t shift = static_cast<std::int64_t>(c.first_year) - tree.first_year;
    for (std::size_t j = 0; j < c.values.size(); ++j) {
      const std::int64_t k = shift + static_cast<std::int64_t>(j);
      if (k >= 0 && k < static_cast<std::int64_t>(count) && std::isfinite(c.values[j]))
        covered[static_cast<std::size_t>(k)] = true;
    }
  }
  std::vector<float> mean(values.begin(), values.end());
  for (std::size_t k = 0; k < count; ++k)
    if (!covered[k]) mean[k] = std::numeric_limits<float>::quiet_NaN();
  return mean;
}

}  // namespace

PlotData plot_data(std::string input_name, std::int32_t key_first, std::int32_t key_last, std::vector<PlotCore> cores,
                   SeriesTable& table, std::int32_t trees, bool own_sites) {
  PlotData data;
  data.input_name = std::move(input_name);
  data.key_first = key_first;
  data.key_last = key_last;
  trees = std::clamp(trees, 0, table.rows);
  data.trees.resize(static_cast<std::size_t>(trees));
  for (std::size_t k = 0; k < data.trees.size(); ++k) {
    data.trees[k].id = std::string(table.ids()[k].trimmed());
    data.trees[k].first_year = table.first_years()[k];
  }

  // Tree index of each distinct tree, in order of first appearance; a tree
  // is its number, or its site code and number.
  std::unordered_map<std::string, std::size_t> tree_of;
  for (PlotCore& c : cores) {
    const Field<8> id(c.id);
    std::string key = std::to_string(read_tree_key(id, key_first, key_last));
    if (own_sites) key.append(1, ' ').append(site_code(id, key_first, key_last).view());
    const auto it = tree_of.emplace(std::move(key), tree_of.size()).first;
    if (it->second < data.trees.size()) data.trees[it->second].cores.push_back(std::move(c));
  }
  for (std::size_t k = 0; k < data.trees.size(); ++k) data.trees[k].mean = mean_of(table, k, data.trees[k]);
  return data;
}

}  // namespace ringave
