// Telling a ring-width file's format from its first records, for the two
// questions the run asks: which format is a file in, when the user did not
// say (guess_format, for -f auto), and does a file that failed in one format
// look like another (looks_like, for the hint after a failure). Each format
// registers its own Sniffing with its reader (registry.h); the rules here
// know no format.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "formats/format.h"
#include "records/record_io.h"

namespace ringave {

// How one format is told from a file's first records.
struct Sniffing {
  // Whether one record has the shape that tells the format (Compact: a
  // series header; Tucson: a data line). Pure.
  bool (*telling)(std::string_view record) = nullptr;
  // The file is in the format when the first record that tells any format
  // is among its first `leads` records that are not blank and tells this
  // one (0: never so).
  int leads = 0;
  // Else it is when the first record that tells this format is among the
  // first `within` that are not blank and at least half of the records from
  // there on tell it (0: never so).
  int within = 0;
  // The second look at a file a reader gave up on or found no series in:
  // whether its first records look like the format. Reads a few records.
  bool (*second_look)(RecordSource& source) = nullptr;
};

// Reads up to the first 64 records that are not blank from `source` and
// tells the format: the first format of the table that the records' leads
// give, else the first that its share of them gives; none when neither
// rule gives one. May throw the Error of `source`.
std::optional<Format> guess_format(RecordSource& source);

// Whether the first records of `source` look like `format`: its second look.
// May throw the Error of `source`.
bool looks_like(RecordSource& source, Format format);

// For the formats' sniffing: column `c` (counted from 1, as in a layout) of
// a record, blank past its end.
inline char column(std::string_view record, std::size_t c) { return c <= record.size() ? record[c - 1] : ' '; }

// Whether columns first..last hold blanks, then an optional minus sign, then
// at least one digit that ends in column `last`: a right-justified integer.
bool right_justified_integer(std::string_view record, std::size_t first, std::size_t last);

}  // namespace ringave
