// cdf: Compact ring-width files, one series per call. Each call passes over up
// to three title lines, reads a series header (value count, first year,
// series ID, power-of-ten exponent, data layout), reads the values with that
// layout and scales them.
#pragma once

#include <cstdint>
#include <span>

#include "records/console.h"
#include "records/field.h"
#include "records/record_io.h"

namespace ringave {

void cdf(Field<8>& id, std::span<float> values, std::int32_t& first_year, std::int32_t& count,
         std::int32_t& counter, Unit& unit, std::int32_t max_count, Field<85>& title, Console& con);

}  // namespace ringave
