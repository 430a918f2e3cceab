// Output naming: the output file of an input file is the input name up to
// its first "." or blank, followed by "_AVE.raw", the whole cut to 50
// characters. The name keeps any directory part, so the output lands beside
// a path-named input, and "../site.rwl" gives "_AVE.raw" alone.
#pragma once

#include <cstdint>

#include "records/field.h"

namespace ringave {

// Number of leading characters of `input` used in the output name: the
// position before the first "." or blank, or 50 when there is none.
std::int32_t prefix_length(const Field<50>& input);

// The output name of `input`, blank-padded to 50.
Field<50> output_name(const Field<50>& input);

// True when writing `output` would write over `input`: the same 50-character
// name, which a full-length input name without "." or blank gives. (Another
// name for the same file cannot harm it: the output replaces its directory
// entry when the unit is closed, and never writes into the file.)
bool output_replaces_input(const Field<50>& input, const Field<50>& output);

}  // namespace ringave
