// Cells of a CSV table: the separator, the split of a record, year cells,
// table values in millimetres, and the sniffing that tells a table's header.

#include "formats/csv_cells.h"

#include <charconv>
#include <cstring>
#include <limits>

#include "formats/csv_table.h"

namespace ringave {

namespace {

bool digit(char c) { return c >= '0' && c <= '9'; }

std::string_view trim(std::string_view cell) {
  while (!cell.empty() && (cell.front() == ' ' || cell.front() == '\t')) cell.remove_prefix(1);
  while (!cell.empty() && (cell.back() == ' ' || cell.back() == '\t')) cell.remove_suffix(1);
  return cell;
}

// `decimal` 0: either a point or a comma.
bool is_decimal(char c, char decimal) { return decimal != 0 ? c == decimal : (c == '.' || c == ','); }

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool iequals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != b[i]) return false;
  return true;
}

// Splits at runs of blanks: the cells of a record whose tabs were expanded.
void split_blanks(std::string_view record, std::vector<std::string_view>& cells) {
  std::size_t i = 0;
  while (i < record.size()) {
    while (i < record.size() && record[i] == ' ') ++i;
    const std::size_t from = i;
    while (i < record.size() && record[i] != ' ') ++i;
    std::string_view cell = record.substr(from, i - from);
    if (cell.size() >= 2 && cell.front() == '"' && cell.back() == '"') cell = cell.substr(1, cell.size() - 2);
    if (i > from) cells.push_back(cell);
  }
}

// The digits of a value cell, read as the Tucson reader reads a field:
// mantissa digits as an integer, the count of decimals, an exponent.
struct Digits {
  bool negative = false;
  std::uint64_t n = 0;
  int significant = 0;  // digits in n, leading zeros not counted
  int decimals = 0;
  int exponent = 0;
  bool exact = true;  // no exponent and n holds every digit
};

// Reads `cell` (blanks gone) as [sign] digits [decimal digits] [e [sign]
// digits]; false when it is anything else.
bool read_digits(std::string_view cell, char decimal, Digits& d) {
  std::size_t i = 0;
  if (i < cell.size() && (cell[i] == '-' || cell[i] == '+')) d.negative = cell[i++] == '-';
  int seen = 0;
  bool in_decimals = false;
  for (; i < cell.size(); ++i) {
    const char c = cell[i];
    if (is_decimal(c, decimal) && !in_decimals) {
      in_decimals = true;
      continue;
    }
    if (!digit(c)) break;
    ++seen;
    if (in_decimals) ++d.decimals;
    if (d.significant == 0 && c == '0') continue;
    if (++d.significant > 18) d.exact = false;
    if (d.exact) d.n = d.n * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (seen == 0) return false;
  if (i == cell.size()) return true;
  if (cell[i] != 'e' && cell[i] != 'E') return false;
  d.exact = false;
  ++i;
  bool minus = false;
  if (i < cell.size() && (cell[i] == '-' || cell[i] == '+')) minus = cell[i++] == '-';
  if (i == cell.size()) return false;
  for (; i < cell.size(); ++i) {
    if (!digit(cell[i])) return false;
    if (d.exponent < 10000) d.exponent = d.exponent * 10 + (cell[i] - '0');
  }
  if (minus) d.exponent = -d.exponent;
  return true;
}

// The float nearest to the cell's decimal value scaled by 10^-unit_decimals:
// its digits as written, the decimal separator a point, and one exponent.
std::optional<float> nearest_float(std::string_view cell, char decimal, int unit_decimals, const Digits& d) {
  std::string text;
  text.reserve(cell.size() + 8);
  std::size_t i = 0;
  if (i < cell.size() && (cell[i] == '-' || cell[i] == '+')) text.push_back(cell[i++]);
  for (; i < cell.size() && cell[i] != 'e' && cell[i] != 'E'; ++i)
    if (!is_decimal(cell[i], decimal)) text.push_back(cell[i]);
  text += 'e';
  text += std::to_string(d.exponent - d.decimals - unit_decimals);
  float value = 0;
  const char* first = text.data() + (text[0] == '+' ? 1 : 0);
  const auto [end, ec] = std::from_chars(first, text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

char separator_of(std::string_view header) {
  std::size_t commas = 0, semicolons = 0, tabs = 0;
  bool quoted = false;
  for (const char c : header) {
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    commas += c == ',';
    semicolons += c == ';';
    tabs += c == '\t';
  }
  if (tabs > commas && tabs > semicolons) return '\t';
  if (semicolons > commas) return ';';
  if (commas > 0) return ',';
  return 0;
}

bool split_cells(std::string_view record, char separator, std::vector<std::string_view>& cells,
                 std::string& scratch) {
  cells.clear();
  if (separator == ' ') {
    split_blanks(record, cells);
    return true;
  }
  if (std::memchr(record.data(), '"', record.size()) == nullptr) {
    for (;;) {
      const void* at = std::memchr(record.data(), separator, record.size());
      if (at == nullptr) break;
      const auto n = static_cast<std::size_t>(static_cast<const char*>(at) - record.data());
      cells.push_back(trim(record.substr(0, n)));
      record.remove_prefix(n + 1);
    }
    cells.push_back(trim(record));
    return true;
  }
  // Quoted cells are copied without their quotation marks into scratch,
  // sized once so that the views into it stay valid.
  scratch.resize(record.size());
  std::size_t out = 0, i = 0;
  for (;;) {
    while (i < record.size() && record[i] == ' ') ++i;
    if (i < record.size() && record[i] == '"') {
      const std::size_t open = i, from = out;
      for (++i;; ++i) {
        if (i >= record.size()) return false;
        if (record[i] != '"') {
          scratch[out++] = record[i];
        } else if (i + 1 < record.size() && record[i + 1] == '"') {
          scratch[out++] = '"';
          ++i;
        } else {
          break;
        }
      }
      // Text between the closing mark and the separator makes the cell its
      // raw text, marks and all, so that a message shows it as it stands.
      const std::size_t next = std::min(record.find(separator, ++i), record.size());
      if (trim(record.substr(i, next - i)).empty())
        cells.emplace_back(scratch.data() + from, out - from);
      else
        cells.push_back(trim(record.substr(open, next - open)));
      i = next;
    } else {
      const std::size_t next = std::min(record.find(separator, i), record.size());
      cells.push_back(trim(record.substr(i, next - i)));
      i = next;
    }
    if (i >= record.size()) return true;
    ++i;  // past the separator
  }
}

std::optional<std::int32_t> year_cell(std::string_view cell) {
  std::size_t i = cell.size() > 0 && (cell[0] == '-' || cell[0] == '+') ? 1 : 0;
  if (cell.size() == i || cell.size() - i > 9) return std::nullopt;
  std::int32_t year = 0;
  for (std::size_t k = i; k < cell.size(); ++k) {
    if (!digit(cell[k])) return std::nullopt;
    year = year * 10 + (cell[k] - '0');
  }
  return cell[0] == '-' ? -year : year;
}

bool is_year_word(std::string_view cell) { return iequals(trim(cell), "year"); }

std::optional<float> table_value(std::string_view cell, char decimal, int unit_decimals) {
  constexpr float kNone = std::numeric_limits<float>::quiet_NaN();
  cell = trim(cell);
  if (cell.empty() || iequals(cell, "na") || iequals(cell, "nan")) return kNone;
  Digits d;
  if (!read_digits(cell, decimal, d)) return std::nullopt;
  // -999 in any number of decimals is the missing-value code.
  if (d.negative && d.exact) {
    std::uint64_t code = 999;
    for (int k = 0; k < d.decimals; ++k) code *= 10;
    if (d.n == code) return kNone;
  }
  const int scale = d.decimals + unit_decimals;
  if (!d.exact || scale > 3) return nearest_float(cell, decimal, unit_decimals, d);
  float value = static_cast<float>(d.n);
  if (d.negative) value = -value;
  if (scale == 1) value *= 0.1f;
  if (scale >= 2) value *= 0.01f;
  if (scale == 3) value *= 0.1f;
  return value;
}

bool looks_like_csv_header(std::string_view record) {
  char separator = separator_of(record);
  if (separator == 0) separator = ' ';  // a tab-separated table read with its tabs expanded
  std::vector<std::string_view> cells;
  std::string scratch;
  if (!split_cells(record, separator, cells, scratch) || cells.size() < 2) return false;
  const bool blanks = separator == ' ';
  // Split at blanks, an empty first cell is a quoted one (""): leading
  // blanks alone are no cell.
  if (cells[0].empty() || is_year_word(cells[0])) {
    if (blanks && cells.size() < 3) return false;
    for (std::size_t c = 1; c < cells.size(); ++c)
      if (!cells[c].empty()) return true;
    return false;
  }
  // Trailing consecutive years after at least one cell that is no year.
  const std::size_t least = blanks ? 3 : 2;
  std::size_t run = 1;
  std::optional<std::int32_t> next = year_cell(cells.back());
  if (!next) return false;
  for (std::size_t c = cells.size() - 1; c-- > 0;) {
    const std::optional<std::int32_t> year = year_cell(cells[c]);
    if (!year) return run >= least;
    if (*year != *next - 1) return false;
    next = year;
    ++run;
  }
  return false;
}

bool looks_like_csv(RecordSource& unit) {
  std::string_view record;
  for (int n = 0; n < 8 && unit.next(record); ++n)
    if (record.find_first_not_of(' ') != std::string_view::npos) return looks_like_csv_header(record);
  return false;
}

}  // namespace ringave
