#include "run/listing.h"

#include <algorithm>
#include <limits>

#include "records/transfer.h"

namespace ringave {

void write_listing_heading(RecordSink& sink) {
  write_formatted(sink, "(1x,5(a3,4x))", {" # ", " ID", "IYR", "LYR", "AGE"});
}

void write_listing_row(RecordSink& sink, std::int32_t row, const Field<8>& id, std::int32_t first_year,
                       std::int32_t last_year, std::int32_t count) {
  write_formatted(sink, "(i4,1x,a8,1x,i4,3x,i4,3x,i4)", {row, id, first_year, last_year, count});
}

std::int32_t last_year_of(std::int32_t first_year, std::int32_t count) {
  const std::int64_t last = static_cast<std::int64_t>(first_year) + count - 1;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(last, std::numeric_limits<std::int32_t>::min(),
                                                            std::numeric_limits<std::int32_t>::max()));
}

}  // namespace ringave
