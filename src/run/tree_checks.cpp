#include "run/tree_checks.h"

#include <algorithm>
#include <numeric>
#include <string_view>

#include "averaging/auto_tree.h"
#include "averaging/tree_keys.h"
#include "records/outcome.h"

namespace ringave {

namespace {

std::string positions_text(std::int32_t first, std::int32_t last) {
  return std::to_string(first) + "-" + std::to_string(last);
}

std::string counted(std::size_t n, std::string_view one) {
  return std::to_string(n) + " " + std::string(one) + (n == 1 ? "" : "s");
}

}  // namespace

std::vector<std::int32_t> own_trees(std::span<const Field<8>> ids, std::span<const std::int32_t> keys,
                                    std::int32_t key_first, std::int32_t key_last) {
  const std::size_t n = std::min(ids.size(), keys.size());
  const auto site_length = static_cast<std::size_t>(key_field(key_first, key_last).first - 1);
  const auto site = [&](std::size_t r) { return ids[r].view().substr(0, site_length); };
  // Rows in order of site code and tree number, a tree's rows in table order:
  // the first of a run of equal ones is its tree's first core.
  std::vector<std::int32_t> order(n);
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](std::int32_t a, std::int32_t b) {
    const auto ra = static_cast<std::size_t>(a), rb = static_cast<std::size_t>(b);
    if (keys[ra] != keys[rb]) return keys[ra] < keys[rb];
    return site(ra) < site(rb);
  });
  std::vector<std::int32_t> trees(n);
  for (std::size_t i = 0; i < n; ++i) {
    const auto r = static_cast<std::size_t>(order[i]);
    const auto prev = i > 0 ? static_cast<std::size_t>(order[i - 1]) : r;
    const bool same = i > 0 && keys[prev] == keys[r] && site(prev) == site(r);
    trees[r] = same ? trees[prev] : order[i];
  }
  return trees;
}

std::string positions_warning(std::span<const Field<8>> ids, std::span<const std::int32_t> trees,
                              std::int32_t key_first, std::int32_t key_last, bool as_option) {
  const TreeChoice choice = choose_tree_positions(ids);
  if (!choice.chosen() || (choice.key_first == key_first && choice.key_last == key_last)) return "";
  std::vector<std::int32_t> keys(ids.size());
  try {
    for (std::size_t r = 0; r < ids.size(); ++r) keys[r] = read_tree_key(ids[r], choice.key_first, choice.key_last);
  } catch (const FatalError&) {
    return "";  // the split does not read in every ID: nothing to suggest
  }
  const std::vector<std::int32_t> suggested = own_trees(ids, keys, choice.key_first, choice.key_last);
  if (std::equal(suggested.begin(), suggested.end(), trees.begin(), trees.end())) return "";

  // The cores of each tree, counted at its first row; the largest tree is
  // the first of those with the most cores.
  std::vector<std::int32_t> cores(trees.size(), 0);
  for (const std::int32_t t : trees) ++cores[static_cast<std::size_t>(t)];
  std::size_t given = 0, largest = 0, suggested_trees = 0;
  for (std::size_t r = 0; r < trees.size(); ++r) {
    if (static_cast<std::size_t>(suggested[r]) == r) ++suggested_trees;
    if (static_cast<std::size_t>(trees[r]) != r) continue;
    if (given++ == 0 || cores[r] > cores[largest]) largest = r;
  }
  const std::string name = as_option ? "-t " : "positions ";
  const std::string tree = std::string(
      own_site_tree_id(ids, static_cast<std::int32_t>(largest), key_first, key_last).trimmed());
  return name + positions_text(key_first, key_last) + (as_option ? " gives " : " give ") +
         counted(given, "tree") + (given == 1 ? " (" : " (largest: ") + tree + ", " +
         counted(static_cast<std::size_t>(cores[largest]), "core") + "); the IDs suggest " + name +
         positions_text(choice.key_first, choice.key_last) + " (" + counted(suggested_trees, "tree") + ")";
}

std::vector<std::string> gap_warnings(std::span<const Field<8>> ids, std::span<const std::int32_t> trees,
                                      std::span<const std::int32_t> first_years,
                                      std::span<const std::int32_t> counts, std::int32_t key_first,
                                      std::int32_t key_last) {
  const std::size_t n = std::min({ids.size(), trees.size(), first_years.size(), counts.size()});
  // The cores with values, tree by tree (a tree's place is its first row),
  // each tree's from its earliest first year on.
  std::vector<std::int32_t> order;
  order.reserve(n);
  for (std::size_t r = 0; r < n; ++r)
    if (counts[r] > 0) order.push_back(static_cast<std::int32_t>(r));
  std::sort(order.begin(), order.end(), [&](std::int32_t a, std::int32_t b) {
    const auto ra = static_cast<std::size_t>(a), rb = static_cast<std::size_t>(b);
    if (trees[ra] != trees[rb]) return trees[ra] < trees[rb];
    return first_years[ra] < first_years[rb];
  });
  std::vector<std::string> warnings;
  std::int64_t covered = 0;  // the last year covered so far in the tree
  for (std::size_t i = 0; i < order.size(); ++i) {
    const auto r = static_cast<std::size_t>(order[i]);
    const std::int64_t first = first_years[r];
    const std::int64_t last = first + counts[r] - 1;
    const bool new_tree = i == 0 || trees[static_cast<std::size_t>(order[i - 1])] != trees[r];
    if (!new_tree && first > covered + 1) {
      warnings.push_back("tree " + std::string(own_site_tree_id(ids, trees[r], key_first, key_last).trimmed()) +
                         " has no value in " + std::to_string(covered + 1) + "-" + std::to_string(first - 1) +
                         " (its cores do not cover those years)");
      // One line per tree: its later cores are passed over.
      while (i + 1 < order.size() && trees[static_cast<std::size_t>(order[i + 1])] == trees[r]) ++i;
      continue;
    }
    covered = new_tree ? last : std::max(covered, last);
  }
  return warnings;
}

}  // namespace ringave
