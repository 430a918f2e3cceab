// What the command line checks about a file's trees before it averages them,
// from the series IDs and each core's first year and value count only (never
// the values): positions that group the cores otherwise than the IDs'
// own split (auto_tree.h) would, and trees whose cores leave years of the
// tree's span uncovered. A tree is its site code and its tree number, as
// the command line keeps trees (TreeSites::own).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "records/field.h"

namespace ringave {

// The tree of each of the IDs, given `keys` (the tree number of each ID at
// positions key_first..key_last, as read_tree_key reads it): for every row
// the row of its tree's first core. Two rows are of one tree exactly when
// they get the same row, so two groupings of the same IDs are the same
// trees exactly when these vectors are equal. Pure.
std::vector<std::int32_t> own_trees(std::span<const Field<8>> ids, std::span<const std::int32_t> keys,
                                    std::int32_t key_first, std::int32_t key_last);

// When the IDs' own split is convincing and gives other trees than
// `trees` (own_trees at key_first..key_last), the warning that names both:
//   -t 4-4 gives 3 trees (largest: CAM0, 15 cores); the IDs suggest -t 4-5 (21 trees)
// with `named` "-t" (for -t), or with "positions" (for a list-file entry)
//   positions 4-4 give 3 trees (...); the IDs suggest positions 4-5 (21 trees)
// Else "". Pure.
std::string positions_warning(std::span<const Field<8>> ids, std::span<const std::int32_t> trees,
                              std::int32_t key_first, std::int32_t key_last, bool as_option);

// For every tree (in order of its first core) whose cores leave years inside
// its span without a core, the first such years:
//   tree 64401 has no value in 1750-1885 (its cores do not cover those years)
// A missing value inside a core covers its year; a core without values
// covers none. `first_years` and `counts` are the cores' (rows as `ids`).
// Pure.
std::vector<std::string> gap_warnings(std::span<const Field<8>> ids, std::span<const std::int32_t> trees,
                                      std::span<const std::int32_t> first_years,
                                      std::span<const std::int32_t> counts, std::int32_t key_first,
                                      std::int32_t key_last);

}  // namespace ringave
