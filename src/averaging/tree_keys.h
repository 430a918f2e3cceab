// Tree keys: the tree number read from positions key_first..key_last of a
// series ID, the distinct trees in order of first appearance (group_by_tree), the
// site code and the tree ID (site code, tree number zero-padded to the
// field's width, blanks after).
//
// Positions are 1-based character positions of the 8-character ID. The run
// driver hands in 1 <= key_first <= key_last <= 8. Other positions are cut
// to the ID (key_field), so that nothing here ever reads or writes outside
// its 8 characters.
#pragma once

#include <cstdint>
#include <span>

#include "records/field.h"

namespace ringave {

// Writes the distinct values of keys[0 .. n) into distinct[0 ..), in order
// of first appearance, and replaces each of keys[0 .. n) by the number of
// its tree: the index of its key in distinct (0 for the first tree).
// Returns the number of trees; n <= 0 gives 0. Looks at no more keys than
// `keys` or `distinct` holds.
std::int32_t group_by_tree(std::span<std::int32_t> keys, std::int32_t n, std::span<std::int32_t> distinct);

// The tree-number field of an ID: positions first..last, i.e. key_first..
// key_last cut to 1..8 (first = key_first raised to 1 and lowered to 9,
// last = key_last lowered to 8). The field is empty when last < first; the
// site code is always the positions 1..first-1.
struct KeyField {
  std::int32_t first;
  std::int32_t last;
  std::int32_t width() const { return last >= first ? last - first + 1 : 0; }
};
// Returns the field of these positions, for any positions. Pure.
KeyField key_field(std::int32_t key_first, std::int32_t key_last);

// Returns the site code of `id`: blank, then the characters in front of the
// tree number (positions 1..first-1) copied in. The averaging takes it from
// the first series of a file only. Pure.
Field<8> site_code(const Field<8>& id, std::int32_t key_first, std::int32_t key_last);

// Returns the tree key of a series: the tree-number field read list-directed, as one
// internal record, into one integer. Blanks around the number do not count,
// so "07", "7 " and " 7" all give 7. Throws FatalError (statement "READ",
// unit "INTERNAL"):
//  - "Attempt to read past end of file" when the field supplies no value: all
//    blank, empty, or starting with a comma or a slash (a null value);
//  - "Illegal character in numeric input" for anything but a sign and digits,
//    and for a negative number, whose zero-padded tree ID would not read
//    back as a number.
std::int32_t read_tree_key(const Field<8>& id, std::int32_t key_first, std::int32_t key_last);

// Keys by site code and tree number, for trees that keep their own site
// code: given keys[r] = the tree number of ids[r] for rows 0 .. n-1, sets
// keys[r] to the index of the first row with the same site code (positions
// 1..first-1) and the same tree number, and returns true. Rows of one tree
// then share a key, rows of another site never do, and the key leads back
// to the tree's first row (own_site_tree_id). When every row has row 0's
// site code the tree numbers already are such keys: they are left as they
// are, and the return is false. Uses scratch[0 .. n) as work space; n must
// not exceed the size of any span.
bool key_by_own_site(std::span<const Field<8>> ids, std::span<std::int32_t> keys, std::span<std::int32_t> scratch,
                     std::int32_t n, std::int32_t key_first, std::int32_t key_last);

// The tree ID of the tree whose first row is ids[first_row], with its own
// site code: that row's site code and tree number, composed as
// compose_tree_id does. The row's tree number must read (read_tree_key).
Field<8> own_site_tree_id(std::span<const Field<8>> ids, std::int32_t first_row, std::int32_t key_first,
                          std::int32_t key_last);

// Returns the tree ID of tree `key` (never negative): the site code's
// positions 1..first-1, then the key right-justified and zero-padded in the
// tree-number field (asterisks over the whole field when it is too wide for
// it), blanks after. Pure.
Field<8> compose_tree_id(const Field<8>& site, std::int32_t key, std::int32_t key_first, std::int32_t key_last);

}  // namespace ringave
