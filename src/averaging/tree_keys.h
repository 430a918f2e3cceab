// Tree keys: the tree number read from positions start..stop of a series ID,
// the distinct trees in order of first appearance (nodups), the site code and
// the tree ID (site code, tree number zero-padded to the field's width,
// blanks after).
//
// Positions are 1-based character positions of the 8-character ID. The run
// driver hands in 1 <= start <= stop <= 8. Other positions are cut to the ID
// (see key_field), so that nothing here ever reads or writes outside its
// 8 characters.
#pragma once

#include <cstdint>
#include <span>

#include "records/field.h"
#include "records/layout.h"

namespace ringave {

// Distinct values of keys[0..n) in order of first appearance.
void nodups(std::span<const std::int32_t> keys, std::int32_t n, std::span<std::int32_t> distinct,
            std::int32_t& count);

// The tree-number field of an ID: positions first..last, i.e. start..stop cut
// to 1..8 (first = start raised to 1 and lowered to 9, last = stop lowered to
// 8). The field is empty when last < first; the site code is always the
// positions 1..first-1.
struct KeyField {
  std::int32_t first;
  std::int32_t last;
  std::int32_t width() const { return last >= first ? last - first + 1 : 0; }
};
KeyField key_field(std::int32_t start, std::int32_t stop);

// The site code: blanked, then the characters in front of the tree number
// (positions 1..first-1 of `id`) copied in. The averaging takes it from the
// first series of a file only.
void site_code(const Field<8>& id, std::int32_t start, std::int32_t stop, Field<8>& site);

// The tree key of a series: the tree-number field read list-directed, as one
// internal record, into one integer. Blanks around the number do not count,
// so "07", "7 " and " 7" all give 7. Throws FatalError (statement "READ",
// unit "INTERNAL"):
//  - "Attempt to read past end of file" when the field supplies no value: all
//    blank, empty, or starting with a comma or a slash (a null value);
//  - "Illegal character in numeric input" for anything but a sign and digits,
//    and for a negative number, whose zero-padded tree ID would not read
//    back as a number.
std::int32_t read_tree_key(const Field<8>& id, std::int32_t start, std::int32_t stop);

// The layout text of the tree ID: "(aS,iW)" with S = first-1 the width of the
// site code and W the width of the tree-number field; "(iW)" when there is no
// site code. Built by writing the two numbers into the template
// "(a   ,i       )" and squeezing out the blanks. Meant for a non-empty field.
void tree_id_layout(std::int32_t start, std::int32_t stop, Field<15>& text);

// The tree ID of tree `key`: blanked, written with the tree-ID layout (the
// site code, then the key right-justified in the tree-number field), then
// every blank of the tree-number field turned into "0". `id_layout` is the
// compiled tree_id_layout text for the same positions; key is never negative.
void compose_tree_id(const Layout& id_layout, const Field<8>& site, std::int32_t key, std::int32_t start,
                     std::int32_t stop, Field<8>& id);

}  // namespace ringave
