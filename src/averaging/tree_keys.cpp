#include "averaging/tree_keys.h"

#include <algorithm>
#include <cstddef>
#include <utility>

namespace ringave {

std::int32_t group_by_tree(std::span<std::int32_t> keys, std::int32_t n, std::span<std::int32_t> distinct) {
  std::int32_t count = 0;
  std::int32_t highest = 0;  // the highest key so far
  if (n <= 0) return 0;
  const std::size_t limit = std::min({static_cast<std::size_t>(n), keys.size(), distinct.size()});
  for (std::size_t i = 0; i < limit; ++i) {
    const std::int32_t key = keys[i];
    // The cores of a tree mostly follow one another, and new trees mostly
    // come with rising keys: a key above every key so far is a new tree
    // without a search, and the search starts at the tree of the row before.
    std::int32_t d = count;
    if (count > 0 && key <= highest) {
      d = distinct[static_cast<std::size_t>(keys[i - 1])] == key ? keys[i - 1] : 0;
      while (d < count && distinct[static_cast<std::size_t>(d)] != key) ++d;
    }
    if (d == count) {
      distinct[static_cast<std::size_t>(count++)] = key;
      highest = count == 1 ? key : std::max(highest, key);
    }
    keys[i] = d;
  }
  return count;
}

std::int32_t find_trees(const KeyRule& rule, const SeriesRows& rows, std::span<std::int32_t> tree,
                        std::span<std::int32_t> distinct, std::span<std::string> tree_ids) {
  if (std::optional<UnreadableKey> bad = rule.keys(rows, tree, distinct)) throw std::move(*bad);
  const std::size_t n = rows.size();
  const std::int32_t trees = group_by_tree(tree, static_cast<std::int32_t>(n), distinct);
  // Trees are numbered in order of first appearance: row r is the first of
  // its tree when its tree is the next one.
  std::int32_t named = 0;
  for (std::size_t r = 0; r < n && named < trees; ++r)
    if (tree[r] == named) {
      const auto k = static_cast<std::size_t>(named++);
      tree_ids[k] = rule.tree_id(rows, static_cast<std::int32_t>(r), distinct[k]);
    }
  return trees;
}

TreePartition partition_trees(const KeyRule& rule, const SeriesRows& rows) {
  TreePartition p;
  std::vector<std::int32_t> tree(rows.size()), distinct(rows.size());
  std::vector<std::string> tree_ids(rows.size());
  try {
    tree_ids.resize(static_cast<std::size_t>(find_trees(rule, rows, tree, distinct, tree_ids)));
  } catch (UnreadableKey& bad) {
    p.unreadable = std::move(bad);
    return p;
  }
  p.tree = std::move(tree);
  p.tree_ids = std::move(tree_ids);
  return p;
}

}  // namespace ringave
