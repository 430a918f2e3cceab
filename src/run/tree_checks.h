// What the command line checks about a file's trees before it averages them,
// from the series IDs and each core's first year and value count only (never
// the values): positions that group the cores otherwise than the IDs'
// own split (auto_tree.h) would, and trees whose cores leave years of the
// tree's span uncovered. A tree is its site code and its tree number, as
// the command line keeps trees (TreeSites::own); trees come as the key rule
// partitions the IDs (partition_trees).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "averaging/tree_keys.h"
#include "records/field.h"

namespace ringave {

// When the IDs' own split is convincing and gives other trees than
// `trees` (the trees of positions key_first..key_last, each tree under its
// own site code), the warning that names both:
//   -t 4-4 gives 3 trees (largest: CAM1, 17 cores); the IDs suggest -t 4-5 (21 trees)
// with `as_option` (for -t), or without (for a list-file entry)
//   positions 4-4 give 3 trees (...); the IDs suggest positions 4-5 (21 trees)
// The largest tree is the first of those with the most cores. Else "".
std::string positions_warning(std::span<const Field<8>> ids, const TreePartition& trees, std::int32_t key_first,
                              std::int32_t key_last, bool as_option);

// For every tree (in order of its first core) whose cores leave years inside
// its span without a core, the first such years:
//   tree 64401 has no value in 1750-1885 (its cores do not cover those years)
// A missing value inside a core covers its year; a core without values
// covers none. `first_years` and `counts` are the cores' (rows as in
// `trees`). Pure.
std::vector<std::string> gap_warnings(const TreePartition& trees, std::span<const std::int32_t> first_years,
                                      std::span<const std::int32_t> counts);

}  // namespace ringave
