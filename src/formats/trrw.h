// trrw: Tucson decadal ring-width files, one series per call. Mode "mr" reads
// the next series from an input unit; mode "mw" writes one series to an
// output unit in thousandths of a millimetre, closed by the stop marker -9999.
//
// Arguments follow the routine's fixed list; the caller's variables carry
// everything that links the calls of one file (the series counter, the
// header lines). `listing` is the echo unit for title and text lines (nullptr:
// no echo). `con` receives datar's messages and is where console output of the
// reader goes.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "records/console.h"
#include "records/field.h"
#include "records/record_io.h"

namespace ringave {

void trrw(Field<8>& id, std::int32_t& first_year, std::int32_t& count, std::span<float> values,
          std::int32_t& depths, std::int32_t& counter, Unit& unit, RecordSink* listing,
          std::string_view mode, Field<85>& title, Field<6>& tag, std::int32_t max_count,
          std::array<Field<88>, 3>& headers, Console& con);

// datar: read a self-formatted block (title record, block header with value
// count, first year and data layout, then the data records) from `unit`.
// Writes at most the first 80 characters of `line`.
void datar(std::span<char> line, std::int32_t& count, std::span<float> values, std::int32_t& first_year,
           Unit& unit, std::int32_t max_count, Console& con);

}  // namespace ringave
