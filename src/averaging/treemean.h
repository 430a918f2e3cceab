// treemean: turn the core series of one file, rows 1..rows of the series
// table, into one series per tree, in place. Tree k (in order of first
// appearance of its key) goes to row k; rows becomes the number of trees.
// The table is passed as its columns; the values are a row-major matrix of
// series_limit rows by length_limit slots. Rows are 1-based in the routine's
// terms: row r is index r-1 of each span. Does no I/O.
#pragma once

#include <cstdint>
#include <span>

#include "records/field.h"

namespace ringave {

void treemean(std::int32_t length_limit, std::int32_t series_limit, std::span<float> values,
              std::span<Field<8>> ids, std::span<std::int32_t> first_years, std::span<std::int32_t> last_years,
              std::span<std::int32_t> counts, std::int32_t& rows, std::int32_t start, std::int32_t stop);

}  // namespace ringave
