// The three capacity limits of a run. They are fixed numbers, not settings:
// the series table, the series buffer and the file list are sized by them
// once at start-up, and the start-up banner prints them.
#pragma once

#include <cstdint>

namespace ringave {

// Rows of the series table: series of one input file ("records in a single file").
inline constexpr std::int32_t kSeriesLimit = 2001;
// Values per series: slots of a table row and of the series buffer ("record length").
inline constexpr std::int32_t kLengthLimit = 3001;
// Entries of the file list; lines taken from a list file ("files").
inline constexpr std::int32_t kFileLimit = 100;

}  // namespace ringave
