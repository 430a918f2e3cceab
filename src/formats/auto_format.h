// The format of a ring-width file told from its first records, for a run
// that was not told it: Tucson, Compact or neither.
//
// A Compact file begins (after up to three title lines) with a series
// header: the value count right-justified in columns 2-8, the first year in
// columns 11-18 and the data layout in parentheses from column 72. A Tucson
// file holds data lines: the year right-justified so that it ends in column
// 12, then value fields of six columns from column 13, each blank or a
// right-justified integer. Header lines of either format fit neither shape.
#pragma once

#include <string_view>

#include "records/record_io.h"

namespace ringave {

enum class FileFormat { tucson, compact, neither };

// Whether one record has the shape of a Compact series header. Pure.
bool looks_like_compact_header(std::string_view record);

// Whether one record has the shape of a Tucson data line (strictly: no
// blanks inside a number, which a Tucson read would pass over). Pure.
bool looks_like_tucson_data(std::string_view record);

// Reads up to the first 64 records that are not blank from `source` and
// tells the format: Compact when one of the first four of them is a series
// header; Tucson when one of the first 26 is a data line and at least half
// of the records read from there on are data lines; otherwise neither. May
// throw the fatal report from `source`.
FileFormat guess_format(RecordSource& source);

// "Tucson", "Compact" or "neither".
std::string_view format_name(FileFormat format);

}  // namespace ringave
