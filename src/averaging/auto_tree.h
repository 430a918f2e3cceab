// Tree-number positions chosen from the series IDs of one file, for a run
// that was not told them.
//
// A series ID is read as a site code, a tree number and a core code: the
// tree number is the run of digits before the core code, and the core code
// is either the letters after the last digit (ANOS111K, 01A, BCS05B) or, in
// an ID that ends in two or more digits, its last digit (CAM011, 644011).
// But where the IDs with core letters all hold their tree numbers in the
// same columns (ZOF01a, ZOF01b, ZOF35b: 4-5), an ID whose digits fill those
// columns and end there (ZOF28) is a tree of one core, with no core code:
// fixed positions win whenever they fit.
// Every ID must end its tree number in the same column, or no fixed
// positions fit them all. The number is then given the columns that vary
// between IDs, at least two when the digits allow, so that 644011 ... 644081
// give 4-5 rather than 1-5 or 5-5. Since the chosen columns hold only
// digits, the tree ID (site code and zero-padded number) is the ID up to the
// end of the tree number, whichever start is chosen.
//
// A split is refused rather than guessed: an ID without a digit, IDs that
// end their numbers in different columns, an ID whose only digit is its
// last character, and last digits that take more than five values in a file
// (more like the units of a tree number than core numbers).
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "records/field.h"

namespace ringave {

struct TreeChoice {
  std::int32_t key_first = 0;  // 0 when no split is convincing
  std::int32_t key_last = 0;
  std::string why;  // when refused: the reason, naming an ID
  bool chosen() const { return key_first > 0; }
};

// Chooses tree-number positions for the IDs (1 <= key_first <= key_last <=
// 8 when chosen). No IDs give a refusal. Pure.
TreeChoice choose_tree_positions(std::span<const Field<8>> ids);

}  // namespace ringave
