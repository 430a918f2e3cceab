// Output naming: the output file of an input file is the input name up to
// its first "." or blank, followed by "_AVE.raw", the whole cut to 50
// characters. The name keeps any directory part, so the output lands beside
// a path-named input, and "../site.rwl" gives "_AVE.raw" alone.
#pragma once

#include <cstdint>

#include "records/field.h"

namespace ringave {

// Number of leading characters of `input` used in the output name: the
// position before the first "." or blank, or 50 when there is none. Pure.
std::int32_t prefix_length(const Field<50>& input);

// The output name of `input`, blank-padded to 50. A full-length input name
// without "." or blank gives the input name itself, which the driver then
// refuses to write over. Pure.
Field<50> output_name(const Field<50>& input);

}  // namespace ringave
