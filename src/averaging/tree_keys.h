// Trees from tree keys: the distinct keys in order of first appearance
// (group_by_tree), and the trees of a file's series IDs by a key rule
// (find_trees, partition_trees), numbered as the averaging numbers them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "averaging/key_rule.h"
#include "records/field.h"

namespace ringave {

// Writes the distinct values of keys[0 .. n) into distinct[0 ..), in order
// of first appearance, and replaces each of keys[0 .. n) by the number of
// its tree: the index of its key in distinct (0 for the first tree).
// Returns the number of trees; n <= 0 gives 0. Looks at no more keys than
// `keys` or `distinct` holds.
std::int32_t group_by_tree(std::span<std::int32_t> keys, std::int32_t n, std::span<std::int32_t> distinct);

// The trees of the series `rows` by `rule`: sets tree[r] to the tree of
// row r, numbered from 0 in order of first appearance, distinct[k] to the
// key of tree k and tree_ids[k] to its tree ID, and returns the number of
// trees. Each span holds at least rows.size() entries. Throws the
// UnreadableKey of the first row whose key the rule cannot read. Holds no
// storage of its own but the tree IDs' text: the averaging's way to its
// trees.
std::int32_t find_trees(const KeyRule& rule, const SeriesRows& rows, std::span<std::int32_t> tree,
                        std::span<std::int32_t> distinct, std::span<std::string> tree_ids);

// The same in storage of its own, for the front doors and the picture: the
// tree of each row (tree[r]), numbered as treemean numbers the trees, and
// the tree ID of each tree (tree_ids[k]). With a key the rule cannot read,
// only `unreadable` is set.
struct TreePartition {
  std::vector<std::int32_t> tree;
  std::vector<std::string> tree_ids;
  std::optional<UnreadableKey> unreadable;
};

TreePartition partition_trees(const KeyRule& rule, const SeriesRows& rows);
// The same for series that have only their 8-character IDs.
inline TreePartition partition_trees(const KeyRule& rule, std::span<const Field<8>> ids) {
  return partition_trees(rule, SeriesRows{ids});
}

}  // namespace ringave
