// The Heidelberg reader: one header block and its values per call of
// next(), and the sniffing that tells a Heidelberg file. The writer of tree
// series lives in heidelberg_write.cpp.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "formats/heidelberg.h"
#include "formats/heidelberg_values.h"

namespace ringave {

// What one header block says of its series, and what its values gave.
struct HeidelbergReader::Block {
  std::int64_t line = 0;  // the line of its HEADER:
  std::string who;        // "series ID (series n of the file)", for messages
  // The start of a message about the series: its header line and who it is.
  std::string at() const { return "line " + std::to_string(line) + ": " + who; }
  std::string data_word;  // the layout of its DATA: line
  std::optional<std::int64_t> begin, end, length;
  std::string length_from;  // where the length comes from, for messages
  HeidelbergUnit unit = HeidelbergUnit::hundredths;
  int columns = 1;  // numbers per year: 1, 2 or 4
  bool chronology = false;
  std::int64_t years = 0;             // whole years of numbers read
  std::int64_t last_nonzero = -1;     // the last year holding a number other than 0
  std::int64_t first_negative = -1;   // the first year with a negative value
};

namespace {

using heidelberg::blank_at;
using heidelberg::PlainTreeLines;
using heidelberg::Scale;
using heidelberg::Years;
using heidelberg::next_number;
using heidelberg::Token;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// The years a date key may give: far beyond any ring width series, and well
// inside what the table's years hold.
constexpr std::int64_t kYearLimit = 1000000;
// The characters of a line shown in a message.
constexpr std::size_t kShown = 40;

bool space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

std::string_view trim(std::string_view t) {
  while (!t.empty() && space(t.front())) t.remove_prefix(1);
  while (!t.empty() && space(t.back())) t.remove_suffix(1);
  return t;
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool same_word(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return lower(x) == lower(y);
         });
}

// Whether the record, past blanks and a byte order mark, begins with `word`
// in any case; `rest` gets what follows it, trimmed.
bool starts_with_word(std::string_view record, std::string_view word, std::string_view& rest) {
  record = trim(record);
  if (record.substr(0, kByteOrderMark.size()) == kByteOrderMark) record.remove_prefix(kByteOrderMark.size());
  if (record.size() < word.size() || !same_word(record.substr(0, word.size()), word)) return false;
  rest = trim(record.substr(word.size()));
  return true;
}

// Header text is Latin-1: every byte is the code point of its value.
std::string utf8_of_latin1(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out.push_back(ch);
    } else {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

// A line or a number of a file, as a message shows it: UTF-8, cut short.
std::string shown(std::string_view text) {
  text = trim(text);
  const bool cut = text.size() > kShown;
  std::string out(1, '\'');
  out += utf8_of_latin1(text.substr(0, kShown));
  out += cut ? "...'" : "'";
  return out;
}

// The first bytes of a UTF-8 ID that fit the 8 columns of an ID field,
// without cutting a character.
std::string_view id_field_part(std::string_view id) {
  if (id.size() <= 8) return id;
  std::size_t n = 8;
  while (n > 0 && (static_cast<unsigned char>(id[n]) & 0xC0) == 0x80) --n;
  return id.substr(0, n);
}

// An optional sign and 1 to 9 digits: every ring width and year.
std::optional<std::int32_t> whole_number(std::string_view t) {
  std::size_t i = 0;
  const bool negative = !t.empty() && t[0] == '-';
  if (!t.empty() && (t[0] == '-' || t[0] == '+')) i = 1;
  if (i == t.size() || t.size() - i > 9) return std::nullopt;
  std::int32_t v = 0;
  for (; i < t.size(); ++i) {
    if (t[i] < '0' || t[i] > '9') return std::nullopt;
    v = v * 10 + (t[i] - '0');
  }
  return negative ? -v : v;
}

std::string years(std::int64_t n) { return std::to_string(n) + (n == 1 ? " year" : " years"); }

// Keys are kept once each, in the order of their first line; a repeated
// key's last value counts.
void add_field(std::vector<SeriesField>& fields, std::string key, std::string value) {
  for (SeriesField& f : fields) {
    if (same_word(f.key, key)) {
      f.value = std::move(value);
      return;
    }
  }
  fields.push_back({std::move(key), std::move(value)});
}

// The value of `key`, in any case; null when absent or empty.
const std::string* value_of(const std::vector<SeriesField>& fields, std::string_view key) {
  for (const SeriesField& f : fields)
    if (same_word(f.key, key)) return f.value.empty() ? nullptr : &f.value;
  return nullptr;
}

std::optional<HeidelbergUnit> unit_named(std::string_view text) {
  std::string word;
  for (const char c : text)
    if (!space(c)) word.push_back(lower(c));
  if (word == "1/100mm" || word == "0.01mm") return HeidelbergUnit::hundredths;
  if (word == "1/1000mm" || word == "0.001mm") return HeidelbergUnit::thousandths;
  if (word == "1/10mm" || word == "0.1mm") return HeidelbergUnit::tenths;
  if (word == "mm") return HeidelbergUnit::millimetres;
  return std::nullopt;
}

// Numbers per year of a layout word; 0 for a word that names none.
int columns_of(std::string_view word) {
  for (const std::string_view w : {"Tree", "Single"})
    if (same_word(word, w)) return 1;
  for (const std::string_view w : {"HalfChrono", "Double"})
    if (same_word(word, w)) return 2;
  for (const std::string_view w : {"Chrono", "Quad", "Quadro"})
    if (same_word(word, w)) return 4;
  return 0;
}

// DateBegin, DateEnd and Length as numbers, where given.
std::optional<std::string> read_dates(const std::vector<SeriesField>& fields, HeidelbergReader::Block& b) {
  const std::pair<const char*, std::optional<std::int64_t>*> keys[] = {
      {"DateBegin", &b.begin}, {"DateEnd", &b.end}, {"Length", &b.length}};
  for (const auto& [key, to] : keys) {
    const std::string* text = value_of(fields, key);
    if (!text) continue;
    const std::optional<std::int32_t> n = whole_number(trim(*text));
    const bool length = to == &b.length;
    if (!n || *n < (length ? 0 : -kYearLimit) || *n > kYearLimit)
      return b.at() + ": " + key + "=" + *text + " is not " + (length ? "a number of years" : "a year") +
             "; correct it";
    *to = *n;
  }
  if (!b.begin && !b.end) return b.at() + ": its header gives neither DateBegin nor DateEnd; give DateBegin=YEAR";
  if (b.length) b.length_from = "Length=" + std::to_string(*b.length);
  if (b.begin && b.end) {
    const std::int64_t span = *b.end - *b.begin + 1;
    const std::string dates = "DateBegin=" + std::to_string(*b.begin) + " and DateEnd=" + std::to_string(*b.end);
    if (span < 1) return b.at() + ": " + dates + ": its last year comes before its first; correct them";
    if (b.length && *b.length != span)
      return b.at() + ": " + dates + " span " + years(span) + ", but its header gives Length=" +
             std::to_string(*b.length) + "; correct one of them";
    if (!b.length) b.length_from = dates + " (" + years(span) + ")";
    b.length = span;
  }
  return std::nullopt;
}

// What the header says: the ID, the dates, the unit and the layout.
std::optional<std::string> interpret(Series& s, std::int32_t number, HeidelbergReader::Block& b) {
  const std::string* id = value_of(s.fields, "KeyCode");
  if (!id) id = value_of(s.fields, "KeyNo");
  if (!id)
    return "line " + std::to_string(b.line) +
           ": the header block gives neither KeyCode nor KeyNo; give the series its ID as KeyCode=ID";
  const std::string_view whole = trim(*id);
  s.id.assign(id_field_part(whole));
  s.name = whole.size() > 8 ? std::string(whole) : std::string();
  b.who = "series " + std::string(whole) + " (series " + std::to_string(number) + " of the file)";
  if (std::optional<std::string> wrong = read_dates(s.fields, b)) return wrong;

  if (const std::string* unit = value_of(s.fields, "Unit")) {
    const std::optional<HeidelbergUnit> u = unit_named(*unit);
    if (!u) return b.at() + ": Unit=" + *unit + " is not a unit ringave reads; give 1/100 mm, 1/1000 mm, 1/10 mm or mm";
    b.unit = *u;
  }
  const std::string* format = value_of(s.fields, "DataFormat");
  const int format_columns = format ? columns_of(trim(*format)) : 1;
  if (format_columns == 0)
    return b.at() + ": DataFormat=" + *format + " is not a layout ringave reads; give Tree, HalfChrono or Chrono";
  b.columns = b.data_word.empty() ? format_columns : columns_of(b.data_word);
  if (b.columns == 0)
    return b.at() + ": DATA:" + utf8_of_latin1(b.data_word) +
           " is not a layout ringave reads; give DATA:Single, DATA:Double or DATA:Quadro";
  b.chronology = b.columns > 1 || format_columns > 1;
  return std::nullopt;
}

}  // namespace

bool is_heidelberg_header_line(std::string_view record) {
  std::string_view rest;
  return starts_with_word(record, "HEADER:", rest) && rest.empty();
}

bool looks_like_heidelberg(RecordSource& source) {
  constexpr int kRecordsLooked = 100;
  bool after_header = false;
  std::string_view record, rest;
  for (int n = 0; n < kRecordsLooked && source.next(record); ++n) {
    if (trim(record).empty()) continue;
    if (after_header && (starts_with_word(record, "DATA:", rest) || record.find('=') != std::string_view::npos))
      return true;
    after_header = is_heidelberg_header_line(record);
  }
  return false;
}

bool HeidelbergReader::next_record(std::string_view& record) {
  if (!unit_.next(record)) return false;
  ++line_;
  return true;
}

SeriesRead HeidelbergReader::give_up(const std::string& words) {
  reporter_.file_error({words, words + "\n", words});
  return SeriesRead::file_error;
}

SeriesRead HeidelbergReader::next(Series& s) {
  for (;;) {
    s.count = 0;
    s.fields.clear();
    s.name.clear();
    blank(s.id);
    Block b;
    std::string_view record;
    // Up to the block's HEADER: line; a block's values run up to the next,
    // so anything but blank lines before it stands before the first block.
    for (;;) {
      if (!next_record(record)) return SeriesRead::end_of_file;
      if (is_heidelberg_header_line(record)) break;
      if (trim(record).empty()) continue;
      return give_up("line " + std::to_string(line_) + ": " + shown(record) +
                            " stands before the first header block (a line HEADER:): not a Heidelberg file? (give -f)");
    }
    if (number_ < INT32_MAX) ++number_;
    b.line = line_;
    const SeriesRead got = read_block(s, b);
    if (got != SeriesRead::series) return got;
    if (b.chronology && !chronologies_) {
      const std::string text = "chronology " + b.who.substr(7) +
                               " is a mean of series, not a core: left out (give --chronologies to read it as a series)";
      reporter_.warning({text, text + "\n"});
      continue;
    }
    if (b.first_negative >= 0 && b.first_negative < s.count) {
      const std::string text = "series " + std::string(s.name.empty() ? s.id.trimmed() : s.name) +
                               ": negative value in " + std::to_string(s.first_year + b.first_negative) +
                               " (and perhaps later), averaged as a ring width";
      reporter_.warning({text, text + "\n"});
    }
    return SeriesRead::series;
  }
}

SeriesRead HeidelbergReader::read_block(Series& s, Block& b) {
  if (!read_header(s, b)) return SeriesRead::file_error;
  if (std::optional<std::string> wrong = interpret(s, number_, b)) return give_up(*wrong);
  if (!read_values(s, b)) return SeriesRead::file_error;
  if (!place_years(s, b)) return SeriesRead::file_error;
  return SeriesRead::series;
}

// The Key=Value lines of the block up to its DATA: line, into s.fields.
bool HeidelbergReader::read_header(Series& s, Block& b) {
  const std::string block = "the header block of line " + std::to_string(b.line);
  std::string_view record, rest;
  for (;;) {
    if (!next_record(record)) {
      give_up("line " + std::to_string(b.line) +
              ": the file ends inside this header block, before its DATA: line; complete the block or remove it");
      return false;
    }
    if (is_heidelberg_header_line(record)) {
      give_up("line " + std::to_string(line_) + ": a header block begins inside " + block +
                     ", before its DATA: line; give that block its DATA: line and values, or remove it");
      return false;
    }
    if (starts_with_word(record, "DATA:", rest)) {
      b.data_word = std::string(rest);
      return true;
    }
    const std::string_view text = trim(record);
    if (text.empty()) continue;
    const std::size_t eq = text.find('=');
    if (eq == std::string_view::npos) {
      give_up("line " + std::to_string(line_) + ": " + shown(text) + " in " + block +
                     " is not Key=Value; correct or remove it");
      return false;
    }
    add_field(s.fields, utf8_of_latin1(trim(text.substr(0, eq))), utf8_of_latin1(trim(text.substr(eq + 1))));
  }
}

float heidelberg_millimetres(std::int32_t value, HeidelbergUnit unit) { return Scale(unit).of(value); }

// The numbers of the block up to the next HEADER: line or the end of the
// file, a year's numbers at a time, into s.values as far as they reach.
bool HeidelbergReader::read_values(Series& s, Block& b) {
  Years got{s.values.data(), static_cast<std::int64_t>(s.values.size()), Scale(b.unit)};
  std::int32_t year[4] = {};  // the numbers of one year; those past b.columns stay 0
  int k = 0;                  // numbers of the year read so far
  PlainTreeLines plain(got);
  std::string_view record;
  for (;;) {
    if (b.columns == 1) line_ += static_cast<std::int64_t>(unit_.take_lines(plain));
    if (!next_record(record)) break;
    const char* p = record.data();
    const char* const e = p + record.size();
    const char* first = p;
    while (first < e && blank_at(first)) ++first;
    if (first < e && (*first == 'H' || *first == 'h' || *first == kByteOrderMark[0]) &&
        is_heidelberg_header_line(record)) {
      unit_.step_back();
      --line_;
      break;
    }
    for (Token t; (t = next_number(p, e, year[k])) != Token::end;) {
      if (t == Token::wrong) {
        const char* from = p;
        while (from > record.data() && !blank_at(from - 1)) --from;
        give_up("line " + std::to_string(line_) + ": " + shown(std::string_view(from, static_cast<std::size_t>(p - from))) +
                " in the values of " + b.who + " is not a whole number; correct it");
        return false;
      }
      if (b.columns == 1) {
        got.take(year[0], false, year[0] != 0);
      } else if (++k == b.columns) {
        k = 0;
        got.take(year[0], year[1] == 0, (year[0] | year[1] | year[2] | year[3]) != 0);
      }
    }
  }
  b.years = got.years;
  b.last_nonzero = got.last_nonzero;
  b.first_negative = got.first_negative;
  if (k == 0) return true;
  give_up(b.at() + ": its values end inside a year: DATA:" + utf8_of_latin1(b.data_word) + " gives " +
          std::to_string(b.columns) + " numbers a year, and its block holds " +
          std::to_string(b.years * b.columns + k) + "; correct the values");
  return false;
}

// The series' years: its length, or the years up to the last number other
// than 0 (the rest is padding), and its first year.
bool HeidelbergReader::place_years(Series& s, Block& b) {
  std::int64_t count = b.last_nonzero + 1;
  if (b.length) {
    if (b.years < *b.length) {
      give_up(b.at() + ": " + b.length_from + ", but its values fill " + years(b.years) +
              "; correct the header or the values");
      return false;
    }
    if (count > *b.length) {
      give_up(b.at() + ": " + b.length_from + ", but its values run to " + years(count) +
              " (numbers other than 0 past its length); correct the header or the values");
      return false;
    }
    count = *b.length;
  }
  const auto capacity = static_cast<std::int64_t>(s.values.size());
  if (count > capacity) {
    give_up(b.at() + " has " + std::to_string(count) + " values: ringave reads at most " + std::to_string(capacity) +
            " values per series");
    return false;
  }
  s.count = static_cast<std::int32_t>(count);
  s.first_year = static_cast<std::int32_t>(b.begin ? *b.begin : *b.end - count + 1);
  return true;
}

}  // namespace ringave
