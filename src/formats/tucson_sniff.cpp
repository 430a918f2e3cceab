// Telling a Tucson file from its first records (registered in
// registry.cpp): the shape of a data line, and the second look after a
// failure.
#include <algorithm>
#include <cstring>

#include "formats/sniff.h"
#include "formats/tucson.h"
#include "formats/tucson_line.h"

namespace ringave {

namespace {

bool digit(char c) { return c >= '0' && c <= '9'; }

// A value field of a Tucson data line, columns first..first+5: all blank, or
// a right-justified integer; a record that ends inside the field may leave
// its number short of the field's end.
bool value_field(std::string_view record, std::size_t first) {
  const std::size_t last = first + 5;
  if (record.size() < last && record.size() >= first) {
    std::size_t end = record.size();
    while (end >= first && column(record, end) == ' ') --end;
    return end < first || right_justified_integer(record, first, end);
  }
  for (std::size_t c = first; c <= last; ++c)
    if (column(record, c) != ' ') return right_justified_integer(record, first, last);
  return true;
}

// Records the second look reads: enough to pass a file's header lines and
// the titles of its first series.
constexpr int kRecordsLooked = 100;

}  // namespace

bool looks_like_tucson_data(std::string_view record) {
  // The year ends in column 12; its first digits may stand in the ID's
  // columns for years below -999 (the 7-5 and 6-6 splits).
  if (!digit(column(record, 12))) return false;
  std::size_t c = 12;
  while (c > 9 && digit(column(record, c - 1))) --c;
  if (c > 9 && column(record, c - 1) == '-') --c;
  for (std::size_t k = 9; k < c; ++k)
    if (column(record, k) != ' ') return false;
  bool any_value = false;
  for (std::size_t first = 13; first <= 67 && first <= record.size(); first += 6) {
    if (!value_field(record, first)) return false;
    for (std::size_t k = first; k < first + 6; ++k) any_value = any_value || column(record, k) != ' ';
  }
  return any_value;
}

bool looks_like_tucson(RecordSource& unit) {
  char line[kTucsonLineLength];
  TucsonFields now;
  TucsonFields before;
  bool before_is_data = false;
  std::string_view rec;
  for (int n = 0; n < kRecordsLooked && unit.next(rec); ++n) {
    const std::size_t taken = std::min(rec.size(), kTucsonLineLength - 1);
    std::memcpy(line, rec.data(), taken);
    std::memset(line + taken, ' ', kTucsonLineLength - taken);
    const bool is_data = parse_tucson_line(line, now);
    if (is_data && before_is_data && std::memcmp(now.id.data(), before.id.data(), 6) == 0 &&
        static_cast<std::int64_t>(now.year) == static_cast<std::int64_t>(before.year) + decade_fields(before.year))
      return true;
    before = now;
    before_is_data = is_data;
  }
  return false;
}

}  // namespace ringave
