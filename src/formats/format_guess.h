// A second look at a ring-width file that a reader gave up on or found no
// series in: does it look like the other format? Used only to add a hint to
// what the user already sees, so it reads a few records and never stops the
// run.
#pragma once

#include "records/record_io.h"

namespace ringave {

// True when one of the first records of `unit` is a Compact series header:
// value count (columns 2-8) and first year (11-18) read as integers, the
// count is not blank, and columns 72-79 hold a data layout in parentheses.
bool looks_like_compact(RecordSource& unit);

// True when two records in a row among the first records of `unit` are
// Tucson data lines of one series: both parse as data lines, with the same
// ID in columns 1-6, and the second line's year is the year after the first
// line's decade.
bool looks_like_tucson(RecordSource& unit);

}  // namespace ringave
