// The series listing on the console while a file is read: a heading, then
// one row per series as read (row number, series ID, first year, last year,
// value count). A number too wide for its four columns shows as asterisks.
#pragma once

#include <cstdint>

#include "records/field.h"
#include "records/record_io.h"

namespace ringave {

// Writes the heading record (#, ID, IYR, LYR, AGE in "(1x,5(a3,4x))") to `sink`.
// Fatal reports: failures of `sink`.
void write_listing_heading(RecordSink& sink);

// Writes one row record to `sink`: the row number, the ID, the first and last
// year and the value count, "(i4,1x,a8,1x,i4,3x,i4,3x,i4)". Fatal reports:
// failures of `sink`.
void write_listing_row(RecordSink& sink, std::int32_t row, const Field<8>& id, std::int32_t first_year,
                       std::int32_t last_year, std::int32_t count);

// Returns first_year + count - 1, computed wide and held within 32 bits: a
// year that far out prints as asterisks anyway. Pure.
std::int32_t last_year_of(std::int32_t first_year, std::int32_t count);

}  // namespace ringave
