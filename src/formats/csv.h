// Tree series as CSV (RFC 4180, LF line ends), for spreadsheets and
// statistics programs: a header "year,<tree ID>,..." and one row per year
// from the earliest first year to the latest last year of the trees, with
// each tree's value in millimetres with three decimals, exactly the value of
// the Tucson output divided by 1000. A cell stays empty where the tree has no
// value: outside its span, and inside it wherever the series holds not a
// number (a year that no core covers with a value).
#pragma once

#include <cstdint>
#include <span>

#include "formats/series.h"
#include "records/record_io.h"

namespace ringave {

// Years spanned by the series with values, from the earliest first year to
// the latest last year (0 when none has a value). Pure.
std::int64_t csv_years(std::span<const Series> trees);

// Writes the header and the rows for the series of `trees` with values (a
// series with count 0 has no column). IDs are written whole (the name
// where a series has one), without trailing blanks, in quotation marks when they hold a comma or a quotation mark. A
// value too large for a Tucson field (written there as asterisks) is an
// empty cell too. Fatal reports: failures of `sink`.
void write_tree_csv(RecordSink& sink, std::span<const Series> trees);

}  // namespace ringave
