#include "run/tree_checks.h"

#include <algorithm>
#include <string_view>

#include "averaging/auto_tree.h"
#include "averaging/fixed_positions.h"
#include "averaging/tree_keys.h"
#include "records/outcome.h"
#include "run/job.h"

namespace ringave {

namespace {

std::string counted(std::size_t n, std::string_view one) {
  return std::to_string(n) + " " + std::string(one) + (n == 1 ? "" : "s");
}

}  // namespace

std::string positions_warning(std::span<const Field<8>> ids, const TreePartition& trees, std::int32_t key_first,
                              std::int32_t key_last, bool as_option) {
  const TreeChoice choice = choose_tree_positions(ids);
  if (!choice.chosen() || (choice.key_first == key_first && choice.key_last == key_last)) return "";
  const TreePartition suggested =
      partition_trees(FixedPositions(choice.key_first, choice.key_last, TreeSites::own), ids);
  // A split that does not read in every ID has nothing to suggest.
  if (suggested.unreadable || suggested.tree == trees.tree) return "";

  // The cores of each tree; the largest tree is the first of those with the
  // most cores.
  std::vector<std::size_t> cores(trees.tree_ids.size(), 0);
  for (const std::int32_t t : trees.tree) ++cores[static_cast<std::size_t>(t)];
  const std::size_t largest =
      static_cast<std::size_t>(std::max_element(cores.begin(), cores.end()) - cores.begin());
  const std::size_t given = cores.size();
  const std::string name = as_option ? "-t " : "positions ";
  return name + positions_text(key_first, key_last) + (as_option ? " gives " : " give ") + counted(given, "tree") +
         (given == 1 ? " (" : " (largest: ") + trees.tree_ids[largest] + ", " +
         counted(cores[largest], "core") + "); the IDs suggest " + name +
         positions_text(choice.key_first, choice.key_last) + " (" + counted(suggested.tree_ids.size(), "tree") + ")";
}

std::vector<std::string> gap_warnings(const TreePartition& trees, std::span<const std::int32_t> first_years,
                                      std::span<const std::int32_t> counts) {
  const std::span<const std::int32_t> tree = trees.tree;
  const std::size_t n = std::min({tree.size(), first_years.size(), counts.size()});
  // The cores with values, tree by tree (trees in order of first
  // appearance), each tree's from its earliest first year on.
  std::vector<std::int32_t> order;
  order.reserve(n);
  for (std::size_t r = 0; r < n; ++r)
    if (counts[r] > 0) order.push_back(static_cast<std::int32_t>(r));
  std::sort(order.begin(), order.end(), [&](std::int32_t a, std::int32_t b) {
    const auto ra = static_cast<std::size_t>(a), rb = static_cast<std::size_t>(b);
    if (tree[ra] != tree[rb]) return tree[ra] < tree[rb];
    return first_years[ra] < first_years[rb];
  });
  std::vector<std::string> warnings;
  std::int64_t covered = 0;  // the last year covered so far in the tree
  for (std::size_t i = 0; i < order.size(); ++i) {
    const auto r = static_cast<std::size_t>(order[i]);
    const std::int64_t first = first_years[r];
    const std::int64_t last = first + counts[r] - 1;
    const bool new_tree = i == 0 || tree[static_cast<std::size_t>(order[i - 1])] != tree[r];
    if (!new_tree && first > covered + 1) {
      warnings.push_back("tree " + trees.tree_ids[static_cast<std::size_t>(tree[r])] +
                         " has no value in " + std::to_string(covered + 1) + "-" + std::to_string(first - 1) +
                         " (its cores do not cover those years)");
      // One line per tree: its later cores are passed over.
      while (i + 1 < order.size() && tree[static_cast<std::size_t>(order[i + 1])] == tree[r]) ++i;
      continue;
    }
    covered = new_tree ? last : std::max(covered, last);
  }
  return warnings;
}

}  // namespace ringave
