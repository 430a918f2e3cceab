// Integers as text in a fixed number of columns, as an I field writes them:
// right-justified, or all asterisks when the number does not fit. Shared by
// the Tucson writer's value and year fields and by the tree IDs, whose tree
// number is zero-padded to the width of its field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace ringave {

// Writes `v` into the `w` columns at `p` (w >= 1): its digits right-justified,
// a minus sign before them for a negative number, the columns to the left
// filled with `fill` (' ' for an I field, '0' for a zero-padded number of 0
// or more). A number that needs more than w columns gives w asterisks.
// Writes exactly w characters, never a terminator.
inline void put_integer(char* p, int w, std::int32_t v, char fill = ' ') {
  std::uint32_t mag = v < 0 ? 0u - static_cast<std::uint32_t>(v) : static_cast<std::uint32_t>(v);
  char* q = p + w;
  const char* lowest = v < 0 ? p + 1 : p;  // the sign takes one column
  do {
    if (q == lowest) {
      std::memset(p, '*', static_cast<std::size_t>(w));
      return;
    }
    *--q = static_cast<char>('0' + mag % 10);
    mag /= 10;
  } while (mag != 0);
  if (v < 0) *--q = '-';
  while (q > p) *--q = fill;
}

}  // namespace ringave
