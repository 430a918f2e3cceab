// Series: one ring-width series on its way between a file and the run, as
// the readers fill it and the writers write it: its ID, its first year and
// its values, a year without a value not a number.
//
// The values live in storage the caller owns; `values` views it, and its
// size is the most values a series may hold. A reader never writes past it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "records/field.h"

namespace ringave {

// One thing a file says of a series besides its values: a header's key and
// value (Heidelberg), a metadata column's name and cell (a CSV table of one
// series per row). Key rules may take a tree from them.
struct SeriesField {
  std::string key;    // as the file writes it (compare keys in any case)
  std::string value;  // UTF-8
};

struct Series {
  // The ID as the 8-character ID field of the Tucson and Compact layouts
  // holds it (the dialogue's and the listing's ID): a longer ID's first 8
  // characters.
  Field<8> id;
  // The whole ID, UTF-8, any length, when the format's ID may be longer
  // than 8 characters; empty when `id` holds all of it.
  std::string name;
  // What the file says of the series besides its values; empty for the
  // Tucson and Compact formats.
  std::vector<SeriesField> fields;
  std::int32_t first_year = 0;
  std::int32_t count = 0;       // values in use, values[0 .. count)
  std::span<float> values;      // the caller's storage: capacity, not count
};

}  // namespace ringave
