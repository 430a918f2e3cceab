// The table reader: the header tells the layout; a series-per-row table
// gives one series per row as it is read, a year-per-row table is read
// whole at the first call and gives its columns one per call.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "formats/csv_cells.h"
#include "formats/csv_table.h"
#include "formats/csv_years.h"

namespace ringave {

namespace {

constexpr float kNoValue = std::numeric_limits<float>::quiet_NaN();

std::string_view trim(std::string_view cell) {
  while (!cell.empty() && (cell.front() == ' ' || cell.front() == '\t')) cell.remove_prefix(1);
  while (!cell.empty() && (cell.back() == ' ' || cell.back() == '\t')) cell.remove_suffix(1);
  return cell;
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool iequals(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return lower(x) == lower(y);
         });
}

// Decimals a table's integers stand for: 2 for hundredths, 3 for thousandths.
int unit_decimals(double table_unit) {
  if (table_unit > 0 && table_unit < 0.005) return 3;
  if (table_unit > 0 && table_unit < 0.05) return 2;
  return 0;
}

std::string quoted(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out += '\'';
  out += text;
  out += '\'';
  return out;
}

// The ID as the 8-character ID field holds it: its first 8 bytes, cut
// before a UTF-8 character that would not fit whole.
void set_id(Series& s, std::string_view id) {
  std::size_t n = std::min<std::size_t>(id.size(), 8);
  if (n < id.size())
    while (n > 0 && (static_cast<unsigned char>(id[n]) & 0xC0) == 0x80) --n;
  s.id.assign(id.substr(0, n));
  s.name = id.size() > 8 ? std::string(id) : std::string();
}

}  // namespace

struct CsvReader::State {
  Unit& unit;
  Reporter& reporter;
  ReadOptions options;
  int decimals = 0;  // of a table of integers
  bool started = false;
  bool year_per_row = false;
  char separator = ',';
  char decimal = '.';  // 0: a point or a comma
  std::vector<std::string> header;
  std::size_t first_year_column = 0;  // series per row: the first year column
  std::int32_t first_year = 0;        // its year
  std::size_t id_column = 0;
  std::int64_t line = 0;  // the line the last row began on
  std::string record, scratch;
  std::string_view row;  // the row read last
  bool split = false;    // its cells are all in `cells` (it holds a quotation mark)
  std::vector<std::string_view> cells;
  std::size_t row_cells = 0;  // the row's cells, as far as for_values counted them
  std::size_t bad_column = 0;
  std::string_view bad_cell;
  std::vector<float> row_values;  // series per row: a row's values, every year column
  std::unique_ptr<YearColumns> columns;  // year per row
  std::size_t kept = 0;                  // its columns kept
  std::size_t delivered = 0;
  std::int32_t number = 0;

  State(Unit& u, Reporter& r, const ReadOptions& o)
      : unit(u), reporter(r), options(o), decimals(unit_decimals(o.table_unit)) {}

  SeriesRead fail(const std::string& words) {
    const std::string plain = (line > 0 ? "line " + std::to_string(line) + ": " : "") + words;
    reporter.file_error({plain, plain + "\n", plain});
    return SeriesRead::file_error;
  }

  std::string column_name(std::size_t c) const {
    return "column " + std::to_string(c + 1) + (c < header.size() && !header[c].empty() ? " (" + header[c] + ")" : "");
  }

  // The next row that is not blank into `row`; false at the end of the
  // file. A row holding a quotation mark is split into `cells` at once (a
  // quoted cell that goes on past a line end takes the next line with it;
  // `open` is set when the file ends inside one); any other row is split
  // as it is read (lead, for_values).
  bool next_row(bool& open) {
    open = false;
    std::string_view r;
    do {
      if (!unit.next(r)) return false;
    } while (r.find_first_not_of(" \t") == std::string_view::npos);
    line = unit.line();
    row = r;
    split = std::memchr(r.data(), '"', r.size()) != nullptr;
    if (!split || split_cells(r, separator, cells, scratch)) return true;
    record.assign(r);
    for (;;) {
      if (!unit.next(r)) {
        open = true;
        return false;
      }
      record += '\n';
      record.append(r);
      if (split_cells(record, separator, cells, scratch)) {
        row = record;
        return true;
      }
    }
  }

  // The row's first `n` cells into `cells` (a split row has them all);
  // returns where cell n begins in an unquoted row (past its end when the
  // row has fewer cells), 0 for a split row.
  std::size_t lead(std::size_t n) {
    if (split) return 0;
    cells.clear();
    std::size_t at = 0;
    while (cells.size() < n) {
      if (at > row.size()) return at;
      const std::size_t next = std::min(row.find(separator, at), row.size());
      cells.push_back(trim(row.substr(at, next - at)));
      at = next + 1;
    }
    return at;
  }

  enum class Values { read, bad_cell };

  // Reads the row's cells from column `from` (beginning at `at`, from
  // lead) as values into out[0 .. size), one per column from `from` on;
  // cells past those are read and counted but not kept. Counts the row's
  // cells in row_cells. A cell that is not a number ends it with
  // bad_column and bad_cell set. The common cell of an unquoted row goes
  // by quick_value, any other by table_value.
  Values for_values(std::size_t from, std::size_t at, float* out, std::size_t size) {
    if (split) {
      row_cells = cells.size();
      for (std::size_t c = from; c < cells.size(); ++c) {
        const std::optional<float> v = table_value(cells[c], decimal, decimals);
        if (!v) return bad(c, cells[c]);
        if (c - from < size) out[c - from] = *v;
      }
      return Values::read;
    }
    row_cells = cells.size();
    if (at > row.size()) return Values::read;
    const char* p = row.data() + at;
    const char* const end = row.data() + row.size();
    CellShape shape;
    for (std::size_t k = 0;; ++k) {
      float v = 0;
      if (!quick_value(p, end, separator, decimal, decimals, v, &shape)) {
        const void* stop = std::memchr(p, separator, static_cast<std::size_t>(end - p));
        const char* const cell_end = stop ? static_cast<const char*>(stop) : end;
        const std::string_view cell = trim(std::string_view(p, static_cast<std::size_t>(cell_end - p)));
        const std::optional<float> got = table_value(cell, decimal, decimals);
        if (!got) {
          row_cells = from + k + 1;
          return bad(from + k, cell);
        }
        v = *got;
        p = cell_end;
      }
      if (k < size) out[k] = v;
      if (p == end) {
        row_cells = from + k + 1;
        return Values::read;
      }
      ++p;  // past the separator
    }
  }

  Values bad(std::size_t c, std::string_view cell) {
    bad_column = c;
    bad_cell = cell;
    return Values::bad_cell;
  }

  static std::string open_quote_words() {
    return "a quotation mark opened here is not closed before the end of the file";
  }
  SeriesRead open_quote() { return fail(open_quote_words()); }

  SeriesRead not_a_number() { return fail(not_a_number_words()); }
  std::string not_a_number_words() const {
    return column_name(bad_column) + ": " + quoted(bad_cell) +
                " is not a number: give ring widths in millimetres (" +
                (decimals > 0 ? std::string("whole numbers with --csv-unit, ") : std::string()) +
                "a decimal point, or a decimal comma between semicolons or tabs), or an empty cell, NA or -999 "
                "for no value";
  }

  SeriesRead too_many_cells() { return fail(too_many_cells_words()); }
  std::string too_many_cells_words() const {
    return std::to_string(row_cells) + " cells, more than the header's " + std::to_string(header.size()) +
           " columns: quote a cell that holds the separator";
  }

  SeriesRead start(Series& s);
  SeriesRead start_series_per_row();
  SeriesRead read_years(std::size_t capacity);
  SeriesRead row_failure(std::size_t capacity, const std::string& words);
  SeriesRead overlong(std::size_t capacity);
  SeriesRead next_series_row(Series& s);
  SeriesRead next_column(Series& s);
  void warn_negative(const Series& s);
};

namespace {

// The first metadata column that names series IDs by default.
std::size_t default_id_column(const std::vector<std::string>& header, std::size_t metadata) {
  static const char* const kNames[] = {"series", "id", "coreid", "core", "sample", "keycode"};
  for (std::size_t c = 0; c < metadata; ++c)
    for (const char* name : kNames)
      if (iequals(header[c], name)) return c;
  return 0;
}

}  // namespace

SeriesRead CsvReader::State::start(Series& s) {
  started = true;
  unit.keep_tabs();
  std::string_view r;
  do {
    if (!unit.next(r)) return SeriesRead::end_of_file;
  } while (r.find_first_not_of(" \t") == std::string_view::npos);
  line = unit.line();
  separator = separator_of(r);
  if (separator == 0) separator = ',';
  decimal = separator == ',' ? '.' : 0;  // between semicolons or tabs: a point or a comma
  if (!split_cells(r, separator, cells, scratch))
    return fail("the header holds a quotation mark that is not closed on its line");
  header.assign(cells.begin(), cells.end());
  year_per_row = header[0].empty() || is_year_word(header[0]);
  if (!year_per_row) return start_series_per_row();
  if (header.size() < 2) return fail("the header names no series: a year-per-row table has a column per series");
  for (std::size_t c = 1; c < header.size(); ++c)
    if (header[c].empty())
      return fail("column " + std::to_string(c + 1) + " has no series name in the header; name every series column");
  return read_years(s.values.size());
}

SeriesRead CsvReader::State::start_series_per_row() {
  // The year columns: the trailing run of consecutive years.
  std::size_t c = header.size();
  while (c > 0 && year_cell(header[c - 1]) &&
         (c == header.size() || *year_cell(header[c - 1]) == *year_cell(header[c]) - 1))
    --c;
  if (c == header.size())
    return fail("the header is neither a year-per-row table's (first cell empty or 'year') nor a series-per-row "
                "table's (last cells consecutive years): " + quoted(header.back()) + " ends it");
  if (c > 0 && year_cell(header[c - 1]))
    return fail(column_name(c - 1) + " and " + column_name(c) + ": year columns must be consecutive years; insert "
                "the missing years' columns (empty cells)");
  if (c == 0) return fail("the header holds years only: a series-per-row table needs a column of series IDs");
  first_year_column = c;
  first_year = *year_cell(header[c]);
  const auto last = static_cast<std::int64_t>(first_year) + static_cast<std::int64_t>(header.size() - c) - 1;
  if (first_year < kFirstTableYear || last > kLastTableYear)
    return fail("the years " + std::to_string(first_year) + " to " + std::to_string(last) +
                " of the header go beyond the years ringave reads (" + std::to_string(kFirstTableYear) + " to " +
                std::to_string(kLastTableYear) + ")");
  if (options.id_column.empty()) {
    id_column = default_id_column(header, c);
  } else {
    auto at = std::find(header.begin(), header.begin() + static_cast<std::ptrdiff_t>(c), options.id_column);
    if (at == header.begin() + static_cast<std::ptrdiff_t>(c))
      at = std::find_if(header.begin(), header.begin() + static_cast<std::ptrdiff_t>(c),
                        [this](const std::string& h) { return iequals(h, options.id_column); });
    if (at == header.begin() + static_cast<std::ptrdiff_t>(c)) {
      std::string names;
      for (std::size_t k = 0; k < c; ++k) names += (k ? ", " : "") + header[k];
      return fail("--id-column " + quoted(options.id_column) + ": the header has no such column; give one of: " +
                  names);
    }
    id_column = static_cast<std::size_t>(at - header.begin());
  }
  row_values.resize(header.size() - c);
  return SeriesRead::series;
}

SeriesRead CsvReader::State::next_series_row(Series& s) {
  bool open = false;
  if (!next_row(open)) return open ? open_quote() : SeriesRead::end_of_file;
  if (number < INT32_MAX) ++number;
  const std::size_t meta = first_year_column, width = header.size(), years = row_values.size();
  float* const values = row_values.data();
  const Values got = for_values(meta, lead(meta), values, years);
  if (got == Values::bad_cell) return not_a_number();
  if (row_cells > width) return too_many_cells();
  const std::size_t given = row_cells > meta ? row_cells - meta : 0;
  std::size_t first = 0, last = given;
  while (first < given && std::isnan(values[first])) ++first;
  while (last > first && std::isnan(values[last - 1])) --last;
  if (first == given) first = years;
  --last;
  const std::string_view id = id_column < cells.size() ? cells[id_column] : std::string_view();
  if (id.empty()) return fail(column_name(id_column) + ": the row has no series ID");
  set_id(s, id);
  s.fields.resize(meta);
  for (std::size_t c = 0; c < meta; ++c) {
    s.fields[c].key = header[c];
    s.fields[c].value = c < cells.size() ? std::string(cells[c]) : std::string();
  }
  if (first == years) {
    s.first_year = first_year;
    s.count = 0;
    return SeriesRead::series;
  }
  const std::size_t span = last - first + 1;
  if (span > s.values.size())
    return fail("series " + std::string(id) + " spans " + std::to_string(span) + " years (" +
                std::to_string(first_year + static_cast<std::int64_t>(first)) + " to " +
                std::to_string(first_year + static_cast<std::int64_t>(last)) + "): ringave reads at most " +
                std::to_string(s.values.size()) + " values per series");
  std::copy_n(row_values.begin() + static_cast<std::ptrdiff_t>(first), span, s.values.begin());
  s.first_year = first_year + static_cast<std::int32_t>(first);
  s.count = static_cast<std::int32_t>(span);
  warn_negative(s);
  return SeriesRead::series;
}

// A year-per-row table's rows into `columns`, one year each. A row that
// fails is reported after any column that went past `capacity` years in
// the rows before it, as a read row by row meets them (a table past
// YearColumns::kMostHeld values fails).
SeriesRead CsvReader::State::read_years(std::size_t capacity) {
  kept = header.size() - 1;
  if (options.max_series > 0) kept = std::min(kept, static_cast<std::size_t>(options.max_series) + 1);
  columns = std::make_unique<YearColumns>(kept);
  std::int64_t previous = 0;
  bool open = false;
  for (bool first_row = true; next_row(open); first_row = false) {
    const std::size_t at = lead(1);
    const std::optional<std::int32_t> year = year_cell(cells[0]);
    if (!year) return row_failure(capacity, "column 1: " + quoted(cells[0]) + " is not a year");
    if (*year < kFirstTableYear || *year > kLastTableYear)
      return row_failure(capacity, "the year " + std::to_string(*year) + " goes beyond the years ringave reads (" +
                                       std::to_string(kFirstTableYear) + " to " + std::to_string(kLastTableYear) + ")");
    if (!first_row && *year != previous + 1)
      return row_failure(capacity, "the year " + std::to_string(*year) + " does not follow " +
                                       std::to_string(previous) +
                                       ": the rows must be consecutive years; insert the missing years' rows (empty "
                                       "cells)");
    if (first_row) first_year = *year;
    previous = *year;
    if ((columns->rows() + 1) * std::max<std::size_t>(kept, 1) > YearColumns::kMostHeld)
      return row_failure(capacity, "the table goes on past " + std::to_string(columns->rows()) + " rows of years for its " +
                                       std::to_string(kept) + " series, more than ringave holds; split it by years");
    float* const values = columns->row();
    if (for_values(1, at, values, kept) == Values::bad_cell) return row_failure(capacity, not_a_number_words());
    if (row_cells > header.size()) return row_failure(capacity, too_many_cells_words());
    std::fill(values + std::min(row_cells - 1, kept), values + kept, kNoValue);
    columns->commit(line);
  }
  if (open) return row_failure(capacity, open_quote_words());
  if (const SeriesRead got = overlong(capacity); got != SeriesRead::series) return got;
  return SeriesRead::series;
}

// Fails naming the first column of the rows kept so far that spans more
// than `capacity` years, if any, else with `words` on the row read last.
SeriesRead CsvReader::State::row_failure(std::size_t capacity, const std::string& words) {
  if (const SeriesRead got = overlong(capacity); got != SeriesRead::series) return got;
  return fail(words);
}

SeriesRead CsvReader::State::overlong(std::size_t capacity) {
  const std::optional<YearColumns::Overlong> over = columns->finish(capacity);
  if (!over) return SeriesRead::series;
  const std::size_t k = over->column;
  line = over->line;
  return fail(column_name(k + 1) + ": series " + header[k + 1] + " has values from " +
              std::to_string(first_year + static_cast<std::int64_t>(over->first_row)) + " to " +
              std::to_string(first_year + static_cast<std::int64_t>(over->row)) + ", " +
              std::to_string(over->row - over->first_row + 1) + " years: ringave reads at most " +
              std::to_string(capacity) + " values per series");
}

SeriesRead CsvReader::State::next_column(Series& s) {
  if (delivered >= kept) return SeriesRead::end_of_file;
  const std::size_t k = delivered;
  const std::string& id = header[++delivered];
  if (number < INT32_MAX) ++number;
  set_id(s, id);
  s.fields.clear();
  const std::size_t first = columns->first(k), count = columns->count(k);
  // A column without values starts at the last year (0 in a table without rows).
  const std::size_t rows = columns->rows();
  const std::size_t start = count > 0 ? first : rows > 0 ? rows - 1 : 0;
  s.first_year = first_year + static_cast<std::int32_t>(start);
  s.count = static_cast<std::int32_t>(count);
  columns->take(k, s.values.data());
  warn_negative(s);
  return SeriesRead::series;
}

void CsvReader::State::warn_negative(const Series& s) {
  const auto values = s.values.first(static_cast<std::size_t>(s.count));
  const auto at = std::find_if(values.begin(), values.end(), [](float v) { return v < 0.0f; });
  if (at == values.end()) return;
  const std::string id = s.name.empty() ? std::string(s.id.trimmed()) : s.name;
  const std::string text = "series " + id + ": negative value in " +
                           std::to_string(static_cast<std::int64_t>(s.first_year) + (at - values.begin())) +
                           " (and perhaps later), averaged as a ring width";
  reporter.warning({text, text + "\n"});
}

CsvReader::CsvReader(Unit& unit, Reporter& reporter, const ReadOptions& options)
    : state_(std::make_unique<State>(unit, reporter, options)) {}

CsvReader::~CsvReader() = default;

SeriesRead CsvReader::next(Series& s) {
  State& t = *state_;
  if (!t.started) {
    const SeriesRead got = t.start(s);
    if (got != SeriesRead::series) return got;
  }
  const SeriesRead got = t.year_per_row ? t.next_column(s) : t.next_series_row(s);
  number_ = t.number;
  return got;
}

}  // namespace ringave
