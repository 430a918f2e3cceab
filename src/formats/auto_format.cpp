#include "formats/auto_format.h"

#include <cstddef>

namespace ringave {

namespace {

bool digit(char c) { return c >= '0' && c <= '9'; }

// Column `col` (1-based) of a record, blank past its end.
char col(std::string_view record, std::size_t c) { return c <= record.size() ? record[c - 1] : ' '; }

// Whether columns first..last hold blanks, then an optional minus sign, then
// at least one digit that ends in column `last`: a right-justified integer.
bool right_justified_integer(std::string_view record, std::size_t first, std::size_t last) {
  std::size_t c = last;
  if (!digit(col(record, c))) return false;
  while (c > first && digit(col(record, c - 1))) --c;
  if (c > first && col(record, c - 1) == '-') --c;
  for (std::size_t k = first; k < c; ++k)
    if (col(record, k) != ' ') return false;
  return true;
}

// A value field of a Tucson data line, columns first..first+5: all blank, or
// a right-justified integer; a record that ends inside the field may leave
// its number short of the field's end.
bool value_field(std::string_view record, std::size_t first) {
  const std::size_t last = first + 5;
  if (record.size() < last && record.size() >= first) {
    std::size_t end = record.size();
    while (end >= first && col(record, end) == ' ') --end;
    return end < first || right_justified_integer(record, first, end);
  }
  for (std::size_t c = first; c <= last; ++c)
    if (col(record, c) != ' ') return right_justified_integer(record, first, last);
  return true;
}

bool blank_record(std::string_view record) { return record.find_first_not_of(' ') == std::string_view::npos; }

}  // namespace

bool looks_like_compact_header(std::string_view record) {
  if (record.size() < 79 || col(record, 72) != '(') return false;
  std::size_t close = 79;
  while (close > 72 && col(record, close) == ' ') --close;
  return col(record, close) == ')' && right_justified_integer(record, 2, 8) &&
         right_justified_integer(record, 11, 18);
}

bool looks_like_tucson_data(std::string_view record) {
  // The year ends in column 12; its first digits may stand in the ID's
  // columns for years below -999 (the 7-5 and 6-6 splits).
  if (!digit(col(record, 12))) return false;
  std::size_t c = 12;
  while (c > 9 && digit(col(record, c - 1))) --c;
  if (c > 9 && col(record, c - 1) == '-') --c;
  for (std::size_t k = 9; k < c; ++k)
    if (col(record, k) != ' ') return false;
  bool any_value = false;
  for (std::size_t first = 13; first <= 67 && first <= record.size(); first += 6) {
    if (!value_field(record, first)) return false;
    for (std::size_t k = first; k < first + 6; ++k) any_value = any_value || col(record, k) != ' ';
  }
  return any_value;
}

FileFormat guess_format(RecordSource& source) {
  constexpr int kLook = 64;
  int seen = 0;        // records read that are not blank
  int first_data = 0;  // their number of the first Tucson data line
  int data = 0;        // Tucson data lines from there on
  std::string_view record;
  while (seen < kLook && source.next(record)) {
    if (blank_record(record)) continue;
    ++seen;
    if (seen <= 4 && first_data == 0 && looks_like_compact_header(record)) return FileFormat::compact;
    if (!looks_like_tucson_data(record)) continue;
    if (first_data == 0) first_data = seen;
    ++data;
  }
  if (first_data == 0 || first_data > 26) return FileFormat::neither;
  return 2 * data >= seen - first_data + 1 ? FileFormat::tucson : FileFormat::neither;
}

std::string_view format_name(FileFormat format) {
  switch (format) {
    case FileFormat::tucson: return "Tucson";
    case FileFormat::compact: return "Compact";
    default: return "neither";
  }
}

}  // namespace ringave
