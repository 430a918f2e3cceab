#include "run/plot_cores.h"

#include <algorithm>
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
    const std::span<const float> row = table.row_values(static_cast<std::int32_t>(i)).first(count);
    c.values.assign(row.begin(), row.end());
  }
  return cores;
}

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
  for (std::size_t k = 0; k < data.trees.size(); ++k) {
    const auto count = static_cast<std::size_t>(std::clamp(table.counts()[k], 0, kLengthLimit));
    const std::span<const float> mean = table.row_values(static_cast<std::int32_t>(k)).first(count);
    data.trees[k].mean.assign(mean.begin(), mean.end());
  }
  return data;
}

}  // namespace ringave
