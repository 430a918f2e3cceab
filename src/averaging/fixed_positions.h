// The tree-key rule of fixed positions START-STOP: the tree number is read
// from positions key_first..key_last of the series ID, and the site code is
// the ID's characters in front of it. A tree ID is a site code, then the
// tree number right-justified and zero-padded in the tree-number field
// (asterisks over the whole field when it is too wide for it), blanks after.
//
// Positions are 1-based character positions of the 8-character ID, as the
// user gives them; the front doors hand in 1 <= key_first <= key_last <= 8.
// Other positions are cut to the ID (positions from 1 to 8, a start past 8
// giving an empty field), so that nothing here reads or writes outside its
// 8 characters.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "averaging/key_rule.h"

namespace ringave {

// Which site code a tree takes. first_series: every tree is known by its
// number alone and takes the site code of row 0, with a warning for every
// series whose site code differs (the dialogue's rule). own: a tree is its
// site code together with its number, so two sites in one file keep their
// trees apart and each tree ID keeps its own site code (the command line's
// rule). For a file of one site code both give the same trees and IDs.
enum class TreeSites { first_series, own };

class FixedPositions final : public KeyRule {
 public:
  FixedPositions(std::int32_t key_first, std::int32_t key_last, TreeSites sites);

  // "positions 4-5", the positions as given.
  std::string place() const override;

  // The tree number read list-directed, as one internal record, into one
  // integer: blanks around it do not count, so "07", "7 " and " 7" all give
  // 7. Unreadable (statement "READ", unit "INTERNAL"): "Attempt to read past
  // end of file" when the field supplies no value (all blank, empty, or
  // starting with a comma or a slash); "Illegal character in numeric input"
  // for anything but a sign and digits, and for a negative number, whose
  // zero-padded tree ID would not read back as a number.
  // Only the 8-character ID fields are read.
  std::optional<UnreadableKey> keys(const SeriesRows& rows, std::span<std::int32_t> keys,
                                    std::span<std::int32_t> scratch) const override;

  // The tree ID field without its trailing blanks.
  std::string tree_id(const SeriesRows& rows, std::int32_t first_row, std::int32_t key) const override;

  // With first_series: a series whose site code differs from row 0's,
  // naming both codes.
  void warn(const SeriesRows& rows, std::int32_t row, Reporter& reporter) const override;

 private:
  Field<8> site_code(const Field<8>& id) const;
  std::int32_t number(const Field<8>& id) const;
  Field<8> tree_field(std::span<const Field<8>> ids, std::int32_t first_row, std::int32_t key) const;

  std::int32_t key_first_;
  std::int32_t key_last_;
  std::int32_t first_;  // the tree-number field: positions first_..last_, cut to the ID
  std::int32_t last_;
  TreeSites sites_;
};

}  // namespace ringave
