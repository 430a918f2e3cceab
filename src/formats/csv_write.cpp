#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <vector>

#include "formats/csv.h"
#include "formats/tucson_line.h"

namespace ringave {

namespace {

void append_id(std::string& row, std::string_view id) {
  if (id.find_first_of(",\"\r\n") == std::string_view::npos) {
    row.append(id);
    return;
  }
  row.push_back('"');
  for (char c : id) {
    if (c == '"') row.push_back('"');
    row.push_back(c);
  }
  row.push_back('"');
}

// Thousandths n as millimetres with three decimals: -1234 gives "-1.234".
void append_millimetres(std::string& row, std::int32_t n) {
  std::int64_t v = n;
  if (v < 0) row.push_back('-'), v = -v;
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, v / 1000).ptr;
  row.append(digits, end);
  const auto frac = static_cast<int>(v % 1000);
  row.push_back('.');
  row.push_back(static_cast<char>('0' + frac / 100));
  row.push_back(static_cast<char>('0' + frac / 10 % 10));
  row.push_back(static_cast<char>('0' + frac % 10));
}

std::int64_t last_year(const Series& s) { return static_cast<std::int64_t>(s.first_year) + s.count - 1; }

}  // namespace

std::int64_t csv_years(std::span<const Series> trees) {
  std::int64_t earliest = 0, latest = -1;
  bool any = false;
  for (const Series& s : trees) {
    if (s.count < 1) continue;
    earliest = any ? std::min<std::int64_t>(earliest, s.first_year) : s.first_year;
    latest = any ? std::max(latest, last_year(s)) : last_year(s);
    any = true;
  }
  return any ? latest - earliest + 1 : 0;
}

void write_tree_csv(RecordSink& sink, std::span<const Series> trees) {
  std::vector<const Series*> columns;
  for (const Series& s : trees)
    if (s.count > 0) columns.push_back(&s);

  std::string row = "year";
  std::int64_t earliest = 0, latest = -1;
  for (const Series* s : columns) {
    row.push_back(',');
    append_id(row, s->name.empty() ? s->id.trimmed() : std::string_view(s->name));
    earliest = s == columns.front() ? s->first_year : std::min<std::int64_t>(earliest, s->first_year);
    latest = s == columns.front() ? last_year(*s) : std::max(latest, last_year(*s));
  }
  sink.put(row, true);

  for (std::int64_t year = earliest; year <= latest; ++year) {
    row.clear();
    char digits[24];
    row.append(digits, std::to_chars(digits, digits + sizeof digits, year).ptr);
    for (const Series* s : columns) {
      row.push_back(',');
      const std::int64_t j = year - s->first_year;
      if (j < 0 || j >= s->count || static_cast<std::size_t>(j) >= s->values.size()) continue;
      const float value = s->values[static_cast<std::size_t>(j)];
      if (std::isnan(value)) continue;
      const std::int32_t n = thousandths(value);
      if (n != kFieldOverflow) append_millimetres(row, n);
    }
    sink.put(row, true);
  }
}

}  // namespace ringave
