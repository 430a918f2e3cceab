// The cells of a CSV table's records, for the table reader and its
// sniffing: the separator a header uses, the split of a record into cells
// (quoted or not), and the year cells of a header or a year-per-row table.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ringave {

// The separator the header record uses most outside quotation marks: a tab,
// a semicolon or a comma (a tie goes to the comma, then the semicolon); 0
// when it holds none of them. Pure.
char separator_of(std::string_view header);

// Splits `record` at `separator` into `cells` (cleared first), each without
// the blanks around it and, when quoted, without its quotation marks and
// with a doubled one inside read as one. Unquoted cells view `record`;
// quoted ones view `scratch`, which the call resizes to hold them. False
// when a quotation mark is left open at the end of the record (the cell
// goes on past a line end): the caller joins the next record and splits
// again. A separator of ' ' splits at runs of blanks (a record whose tabs
// were expanded), without quoting.
bool split_cells(std::string_view record, char separator, std::vector<std::string_view>& cells,
                 std::string& scratch);

// The first and last year a year cell may hold: what the year field of a
// Tucson data line holds.
inline constexpr std::int32_t kFirstTableYear = -99999;
inline constexpr std::int32_t kLastTableYear = 999999;

// The year a cell holds: an integer, optionally signed, of at most 9 digits
// (blanks around it already gone); none for any other text. The caller
// checks it against kFirstTableYear and kLastTableYear. Pure.
std::optional<std::int32_t> year_cell(std::string_view cell);

// Whether a cell, without the blanks around it, is "year" in any case.
bool is_year_word(std::string_view cell);

}  // namespace ringave
