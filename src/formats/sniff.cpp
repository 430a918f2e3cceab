#include "formats/sniff.h"

#include <vector>

#include "formats/registry.h"

namespace ringave {

namespace {

bool digit(char c) { return c >= '0' && c <= '9'; }

bool blank_record(std::string_view record) { return record.find_first_not_of(' ') == std::string_view::npos; }

}  // namespace

bool right_justified_integer(std::string_view record, std::size_t first, std::size_t last) {
  std::size_t c = last;
  if (!digit(column(record, c))) return false;
  while (c > first && digit(column(record, c - 1))) --c;
  if (c > first && column(record, c - 1) == '-') --c;
  for (std::size_t k = first; k < c; ++k)
    if (column(record, k) != ' ') return false;
  return true;
}

std::optional<Format> guess_format(RecordSource& source) {
  constexpr int kLook = 64;
  const std::span<const FormatEntry> table = formats();
  struct Told {
    int first = -1;  // the first record that tells the format, counted from 0; -1: none
    int count = 0;   // records that tell it
  };
  std::vector<Told> told(table.size());
  int seen = 0;  // records read that are not blank
  bool any_told = false;
  std::string_view record;
  while (seen < kLook && source.next(record)) {
    if (blank_record(record)) continue;
    const int at = seen++;
    const bool first_telling = !any_told;
    for (std::size_t f = 0; f < table.size(); ++f) {
      const Sniffing& sniff = table[f].sniffing;
      if (!sniff.telling(record)) continue;
      if (first_telling && at < sniff.leads) return table[f].format;
      any_told = true;
      if (told[f].first < 0) told[f].first = at;
      ++told[f].count;
    }
  }
  for (std::size_t f = 0; f < table.size(); ++f) {
    const Told& t = told[f];
    if (t.first >= 0 && t.first < table[f].sniffing.within && 2 * t.count >= seen - t.first) return table[f].format;
  }
  return std::nullopt;
}

bool looks_like(RecordSource& source, Format format) { return entry_of(format).sniffing.second_look(source); }

}  // namespace ringave
