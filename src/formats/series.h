// Series: one ring-width series on its way between a file and the run, as
// the readers fill it and the writers write it: its ID, its first year and
// its values, a year without a value not a number.
//
// The values live in storage the caller owns; `values` views it, and its
// size is the most values a series may hold. A reader never writes past it.
#pragma once

#include <cstdint>
#include <span>

#include "records/field.h"

namespace ringave {

struct Series {
  Field<8> id;
  std::int32_t first_year = 0;
  std::int32_t count = 0;       // values in use, values[0 .. count)
  std::span<float> values;      // the caller's storage: capacity, not count
};

}  // namespace ringave
