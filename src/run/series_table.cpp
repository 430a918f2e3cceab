#include "run/series_table.h"

#include <new>

namespace ringave {

// make_unique<T[]>(n) value-initialises: numbers start at zero, fields
// blank. The values are all-zero bytes from calloc, which is 0.0f.
SeriesTable::SeriesTable()
    : ids_(std::make_unique<Field<8>[]>(kSeriesLimit)),
      first_years_(std::make_unique<std::int32_t[]>(kSeriesLimit)),
      last_years_(std::make_unique<std::int32_t[]>(kSeriesLimit)),
      counts_(std::make_unique<std::int32_t[]>(kSeriesLimit)),
      values_(static_cast<float*>(std::calloc(static_cast<std::size_t>(kSeriesLimit) * kLengthLimit, sizeof(float)))) {
  if (!values_) throw std::bad_alloc();
}

}  // namespace ringave
