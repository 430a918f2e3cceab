// The Tucson reader, one series per call of next(), and the reader of a self-formatted
// block inside a Tucson file. The writer lives in tucson_write.cpp.
#include "formats/tucson.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <span>
#include <string>

#include "formats/tucson_line.h"
#include "records/error.h"
#include "records/layout.h"
#include "records/outcome.h"
#include "records/transfer.h"

namespace ringave {

namespace {

// The line buffer: a record is read into columns 1-88, column 89 stays blank.
constexpr std::size_t kLineLength = kTucsonLineLength;
// Columns of a text line kept as title or header line.
constexpr std::size_t kKeptColumns = 80;
// Text lines one call accepts before it stops the run.
constexpr int kMaxTextLines = 25;

constexpr std::int32_t kStopHundredths = 999;
constexpr std::int32_t kStopThousandths = -9999;
// The missing-value code of a value field.
constexpr std::int32_t kMissing = -999;

template <std::size_t N>
void copy_kept_columns(const char* line, Field<N>& to) {
  std::memcpy(to.data(), line, std::min(kKeptColumns, N));
}

bool is_blank(const char* p, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    if (p[i] != ' ') return false;
  return true;
}

// The stop for series `number` of the file (`what` and its ID) with more
// values than `capacity`.
[[noreturn]] void stop_over_capacity(std::string_view routine, std::string_view what, std::string_view id,
                                     std::size_t capacity, std::int32_t number) {
  const std::string most = std::to_string(capacity);
  std::string plain = std::string(what == "block" ? "self-formatted block " : "series ") + std::string(id) +
                      " (series " + std::to_string(number) + " of the file) has more than " + most +
                      " values: ringave reads at most " + most + " values per series";
  std::string msg = "sbr ";
  msg += routine;
  msg += ":  ";
  msg += what;
  msg += ' ';
  msg += id;
  msg += " has more than ";
  msg += std::to_string(capacity);
  msg += " values";
  stop(ErrorCode::series_values, msg, std::move(plain), {0, std::string(id), number});
}

// The stop for a text line too many before the data of series `number`, at
// the line `unit` has just read.
[[noreturn]] void stop_text_lines(const Unit& unit, std::int32_t number) {
  stop(ErrorCode::text_lines, "sbr trrw:  over 25 text lines",
       "more than 25 text lines before series " + std::to_string(number) + "'s data: not a Tucson file? (give -f)",
       {unit.line(), "", number});
}

// Trailing blanks of an ID are dropped in messages; an all-blank ID shows as
// two quotes so the message still names something.
std::string id_for_message(std::string_view id) {
  while (!id.empty() && id.back() == ' ') id.remove_suffix(1);
  if (id.empty()) return "''";
  return std::string(id);
}

// The layout of a data line, told by a minus sign in column 8 (7-5), else in
// column 7 (6-6), else 8-4: the columns of the ID.
int id_columns(const char* line) {
  if (line[7] == '-') return 7;
  if (line[6] == '-') return 6;
  return 8;
}

// The columns of a data line that hold its ID for certain: those of its
// layout, and no more than a writer leaves beside a year this wide. (-1000
// is written in the 6-6 split, "ABCDEF -1000", which reads as 7-5 with the
// blank before the year in the ID.)
int sure_id_columns(const char* line, std::int32_t year) {
  const int beside_year = year >= -999 ? 8 : (year >= -9999 && year != -1000 ? 7 : 6);
  return std::min(id_columns(line), beside_year);
}

// Reads a self-formatted block: records up to its header (the last one
// before it whose first three characters are not "n  " gives the block's
// text, whose columns 1-8 are the ID, into columns 1-80 of `line`), then the
// block's values with the layout the header names, as they stand; when they
// cannot all be read, those from the failed field on are missing. Returns
// false when the file ends before a block header.
bool read_block(Unit& unit, Series& s, std::int32_t number, char* line, Reporter& reporter) {
  static const Layout& kText = layout("(a)");
  static const Layout& kHeader = layout("(2(2x,i8),t23,a)");

  constexpr std::size_t kRecordLength = 88;
  char record[kRecordLength];
  Field<8> data_layout;

  for (;;) {
    // The A field fills all of `record`, blanks after the line's end.
    if (read_formatted(unit, kText, {Item::chars(record, kRecordLength)}, Handles::both) != Outcome::done)
      return false;
    if (!(record[0] == 'n' && record[1] == ' ' && record[2] == ' ')) std::memcpy(line, record, kKeptColumns);
    InternalSource src(std::string_view(record, kRecordLength));
    if (read_formatted(src, kHeader, {s.count, s.first_year, data_layout}, Handles::error) != Outcome::done) continue;
    const std::string_view text = data_layout.view();
    if (text.find('(') == std::string_view::npos || text.find(')') == std::string_view::npos) continue;
    break;
  }

  const std::string id = id_for_message(std::string_view(line, 8));
  if (s.count < 0)
    stop(ErrorCode::block_count, "sbr datar:  block " + id + " has a negative value count",
         "self-formatted block " + id + " (series " + std::to_string(number) + " of the file) gives " +
             std::to_string(s.count) + " as its number of values: correct columns 3-10 of its header line",
         {unit.line(), id, number});
  if (static_cast<std::size_t>(s.count) > s.values.size())
    stop_over_capacity("datar", "block", id, s.values.size(), number);

  // A read that fails leaves the values from the failed field on as they
  // were; they start out missing, so none is left from an earlier series.
  const std::span<float> values = s.values.first(static_cast<std::size_t>(s.count));
  std::fill(values.begin(), values.end(), std::numeric_limits<float>::quiet_NaN());
  const Outcome got = read_formatted(unit, layout(data_layout.view()), {values}, Handles::both);
  const std::string at = "line " + std::to_string(unit.line()) + ": self-formatted block " + id;
  if (got == Outcome::error)
    reporter.note({"sbr datar:  block " + id + ": error reading data", ">> sbr datar:  error reading data\n",
                   at + ": its values cannot all be read by its layout; those from the failed one on are missing"});
  else if (got == Outcome::end_of_file)
    reporter.note({"sbr datar:  block " + id + ": unexpected end reading data",
                   ">> sbr datar:  unexpected end reading data\n",
                   at + ": the file ends inside its values; those not read are missing"});
  return true;
}

// Stores the value fields f[0 .. take) of a data line after the values the
// series holds. Returns true when a stop marker ends the series: for -9999
// (thousandths) the hundredths already stored are scaled once more, a second
// single-precision rounding step. A field of -999, the missing-value code,
// keeps its year as a value that is not a number. The slot of the series'
// first other negative value goes to `first_negative` (when still below 0).
constexpr int kFullLine = 10;  // value fields of a full data line

bool store_values(const std::int32_t* f, int take, Series& s, std::int32_t number, std::int32_t& first_negative) {
  const std::size_t capacity = s.values.size();
  float* const values = s.values.data();
  std::int32_t count = s.count;  // kept here, so the loop works in registers
  // The common line: ten fields, every one a width of 0 or more and none the
  // stop marker, with room for all of them. Tested and stored without a
  // branch per field, so the compiler converts several fields at once.
  if (take == kFullLine && static_cast<std::size_t>(count) + kFullLine <= capacity) {
    // (v ^ 999) - 1 has its sign bit set for v = 999 (0 - 1) and for any
    // negative v a six-column field can hold, and clear otherwise.
    std::uint32_t odd = 0;
    for (int k = 0; k < kFullLine; ++k)
      odd |= (static_cast<std::uint32_t>(f[k]) ^ static_cast<std::uint32_t>(kStopHundredths)) - 1u;
    if ((odd >> 31) == 0) {
      for (int k = 0; k < kFullLine; ++k) values[count + k] = static_cast<float>(f[k]) * 0.01f;
      s.count = count + kFullLine;
      return false;
    }
  }
  bool ended = false;
  for (int k = 0; k < take; ++k) {
    const std::int32_t v = f[k];
    float value = static_cast<float>(v) * 0.01f;
    if (v < 0) [[unlikely]] {
      if (v == kStopThousandths) {
        for (std::int32_t i = 0; i < count; ++i) values[i] *= 0.1f;
        ended = true;
        break;
      }
      if (v == kMissing)
        value = std::numeric_limits<float>::quiet_NaN();
      else if (first_negative < 0)
        first_negative = count;
    } else if (v == kStopHundredths) {
      ended = true;
      break;
    }
    if (static_cast<std::size_t>(count) >= capacity)
      stop_over_capacity("trrw", "series", id_for_message(s.id.view()), capacity, number);
    values[count++] = value;
  }
  s.count = count;
  return ended;
}

// What one call notes about the series it reads, for the warnings it gives.
struct SeriesWatch {
  int id_columns = 8;               // columns of the ID on the series' first line
  std::uint64_t id{};               // the first line's ID, its 8 characters as one number
  std::uint64_t id_mask = 0;        // the bits of id that hold those columns
  bool off_track = false;           // a later line has already been reported
  std::int32_t first_negative = -1;  // slot of the first negative value other than -999

  void first_line(const char* line, const TucsonFields& parsed) {
    id_columns = sure_id_columns(line, parsed.year);
    std::memcpy(&id, parsed.id.data(), sizeof id);
    unsigned char mask[sizeof id_mask] = {};
    std::memset(mask, 0xff, static_cast<std::size_t>(id_columns));
    std::memcpy(&id_mask, mask, sizeof id_mask);
  }
};

// The later line does not continue the series after all when its ID
// differs on the columns both lines give it for certain (the first line's
// columns, which the quick test used, may be more than this line's).
void report_line(const char* line, const TucsonFields& parsed, const Series& s, std::int64_t expected,
                 SeriesWatch& watch, Reporter& reporter) {
  const auto columns = static_cast<std::size_t>(std::min(watch.id_columns, sure_id_columns(line, parsed.year)));
  if (parsed.year == expected && std::memcmp(parsed.id.data(), s.id.data(), columns) == 0) return;
  watch.off_track = true;
  const std::string text = "series " + id_for_message(s.id.view()) + ": the data line " +
                           id_for_message(parsed.id.view()) + " " + std::to_string(parsed.year) +
                           " does not continue it (year " + std::to_string(expected) +
                           " expected); its values are taken for the years that follow";
  reporter.warning({text, text + "\n"});
}

// A later data line must carry the series' ID and the year that follows the
// values taken so far; otherwise its values land in other years than its
// own. The IDs are compared on the columns both lines' layouts give them, so
// a series whose years cross -1000 or -10000 keeps its ID. Warns once per
// series; the values are taken as they stand either way. The quick test
// (the year, and the ID on the first line's columns) passes every line of a
// well-formed series.
inline void watch_line(const char* line, const TucsonFields& parsed, const Series& s, SeriesWatch& watch,
                       Reporter& reporter) {
  if (watch.off_track) return;
  const std::int64_t expected = static_cast<std::int64_t>(s.first_year) + s.count;
  std::uint64_t id;
  std::memcpy(&id, parsed.id.data(), sizeof id);
  if (parsed.year == expected && ((id ^ watch.id) & watch.id_mask) == 0) return;
  report_line(line, parsed, s, expected, watch, reporter);
}

// A series that holds negative values other than the missing-value code:
// they are averaged as ring widths; say so, naming the first year.
void warn_negative(const Series& s, std::int32_t first_negative, Reporter& reporter) {
  const std::int64_t year = static_cast<std::int64_t>(s.first_year) + first_negative;
  const std::string text = "series " + id_for_message(s.id.view()) + ": negative value in " + std::to_string(year) +
                           " (and perhaps later), averaged as a ring width";
  reporter.warning({text, text + "\n"});
}

// Takes the later lines of a series that take_plain_line takes, a block
// of the file at a time (Unit::take_lines): a run of them goes by without a
// call per line.
class PlainLines final : public LineTaker {
 public:
  PlainLines(Series& s, const SeriesWatch& watch) : s_(s), watch_(watch) {}

  std::size_t take(std::string_view text, std::size_t& lines) override {
    const std::size_t room = (s_.values.size() - static_cast<std::size_t>(s_.count)) / kFullLine;
    LineExpectation expect{watch_.id, watch_.id_mask, static_cast<std::int64_t>(s_.first_year) + s_.count};
    lines = take_plain_lines(text, expect, s_.values.data() + s_.count, room);
    s_.count += static_cast<std::int32_t>(lines) * kFullLine;
    return lines * (kTucsonPlainLine + 1);
  }

 private:
  Series& s_;
  const SeriesWatch& watch_;
};

// A record into columns 1-88 of the line buffer, the rest blank.
void fill_line(std::string_view rec, char* line) {
  const std::size_t taken = std::min(rec.size(), kLineLength - 1);
  std::memcpy(line, rec.data(), taken);
  std::memset(line + taken, ' ', kLineLength - taken);
}

// Values were stored but no stop marker came before the end of the file: the
// unit of the series is unknown, so it is not delivered. Say so rather than
// drop it.
void warn_cut_off(const Series& s, std::int32_t number, Reporter& reporter) {
  const std::string text = "sbr trrw:  series " + id_for_message(s.id.view()) +
                           " ends without a stop marker at the end of the file; not read";
  const std::string plain = "series " + id_for_message(s.id.view()) + " (series " + std::to_string(number) +
                            " of the file) ends without a stop marker (999 or -9999) at the end of the file: "
                            "not read; end it with one";
  reporter.warning({text, text + "\n", plain});
}

}  // namespace

bool parse_tucson_line(const char* line, TucsonFields& out) {
  static const Layout& k84 = layout("(a8,i4,10i6)");
  static const Layout& k75 = layout("(a7,i5,10i6)");
  static const Layout& k66 = layout("(a6,i6,10i6)");
  static const Layout& k84Tag = layout("(a8,i4,10i6,t83,a)");
  static const Layout& k75Tag = layout("(a7,i5,10i6,t83,a)");
  static const Layout& k66Tag = layout("(a6,i6,10i6,t83,a)");

  const bool tagged = line[83] != ' ';
  const Layout* lay;
  switch (id_columns(line)) {
    case 7: lay = tagged ? &k75Tag : &k75; break;
    case 6: lay = tagged ? &k66Tag : &k66; break;
    default: lay = tagged ? &k84Tag : &k84; break;
  }
  std::int32_t* f = out.f;
  InternalSource src(std::string_view(line, kLineLength));
  const Outcome parsed =
      tagged ? read_formatted(src, *lay, {out.id, out.year, f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], f[9], out.tag},
                    Handles::error)
             : read_formatted(src, *lay, {out.id, out.year, f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], f[9]},
                    Handles::error);
  if (parsed != Outcome::done) return false;
  out.tagged = tagged;
  return true;
}

// What one read keeps from line to line.
struct TucsonReader::Read {
  int data_lines = 0;
  int text_lines = 0;
  char line[kLineLength];
  TucsonFields parsed;
  SeriesWatch watch;
};

SeriesRead TucsonReader::next(Series& s) {
  if (number_ < INT32_MAX) ++number_;
  blank(title_);
  s.count = 0;
  Read r;
  for (;;) {
    if (r.data_lines > 0) {
      PlainLines run(s, r.watch);
      r.data_lines += static_cast<int>(unit_.take_lines(run));
    }
    std::string_view record;
    if (!unit_.next(record)) {
      if (r.data_lines > 0) warn_cut_off(s, number_, reporter_);
      return SeriesRead::end_of_file;
    }
    // Nearly every later line of a series continues it with ten plain
    // values: taken straight from the record, without the line buffer and
    // the full parse, in runs where the unit can (above), else here (the
    // first line of a block, say). Any other line goes the full way below.
    if (r.data_lines > 0 && static_cast<std::size_t>(s.count) + kFullLine <= s.values.size() &&
        take_plain_line(record, {r.watch.id, r.watch.id_mask, static_cast<std::int64_t>(s.first_year) + s.count},
                        s.values.data() + s.count)) {
      s.count += kFullLine;
      ++r.data_lines;
      continue;
    }
    fill_line(record, r.line);
    // A "#" in column 80 before any value announces a self-formatted block.
    if (s.count == 0 && r.line[79] == '#') return block(s, r);
    // Blank year columns 9-12: neither a data line nor a text line.
    if (is_blank(r.line + 8, 4)) continue;
    if (!parse_tucson_line(r.line, r.parsed)) {
      text_line(r);
      continue;
    }
    if (data_line(s, r)) return SeriesRead::series;
  }
}

SeriesRead TucsonReader::block(Series& s, Read& r) {
  unit_.step_back();
  // No block header before the end of the file: the end of the file for the
  // caller too, so no phantom series is stored.
  if (!read_block(unit_, s, number_, r.line, reporter_)) return SeriesRead::end_of_file;
  s.id.assign(std::string_view(r.line, 8));
  return SeriesRead::series;
}

// A text line: header lines at the top of a file, or anything else that
// does not parse as a data line. The first of a read is kept as title and
// first header line, the second and third as header lines.
void TucsonReader::text_line(Read& r) {
  ++r.text_lines;
  if (r.text_lines > kMaxTextLines) stop_text_lines(unit_, number_);
  if (r.text_lines == 1) {
    copy_kept_columns(r.line, title_);
    copy_kept_columns(r.line, headers_[0]);
  } else if (r.text_lines <= 3) {
    copy_kept_columns(r.line, headers_[static_cast<std::size_t>(r.text_lines - 1)]);
  }
}

// A data line. The first one of the read names the series and its first
// year, and holds only the fields up to the end of its decade. True when a
// stop marker ends the series.
bool TucsonReader::data_line(Series& s, Read& r) {
  if (r.parsed.tagged) tag_ = r.parsed.tag;
  ++r.data_lines;
  int take = kFullLine;
  if (r.data_lines == 1) {
    s.id = r.parsed.id;
    s.first_year = r.parsed.year;
    take = decade_fields(r.parsed.year);
    r.watch.first_line(r.line, r.parsed);
  } else {
    watch_line(r.line, r.parsed, s, r.watch, reporter_);
  }
  if (!store_values(r.parsed.f, take, s, number_, r.watch.first_negative)) return false;
  if (r.watch.first_negative >= 0) warn_negative(s, r.watch.first_negative, reporter_);
  return true;
}

}  // namespace ringave
