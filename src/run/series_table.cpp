#include "run/series_table.h"

namespace ringave {

// make_unique<T[]>(n) value-initialises: numbers start at zero, fields blank.
SeriesTable::SeriesTable()
    : ids_(std::make_unique<Field<8>[]>(kSeriesLimit)),
      first_years_(std::make_unique<std::int32_t[]>(kSeriesLimit)),
      last_years_(std::make_unique<std::int32_t[]>(kSeriesLimit)),
      counts_(std::make_unique<std::int32_t[]>(kSeriesLimit)),
      values_(std::make_unique<float[]>(static_cast<std::size_t>(kSeriesLimit) * kLengthLimit)) {}

}  // namespace ringave
