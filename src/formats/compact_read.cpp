// The Compact reader: one series per call. Title lines are passed over and
// shown through the reporter, the series header is parsed from the
// 80-column line buffer, the values are read with the data layout the
// header names and scaled by ten to the header's exponent. And the sniffing
// that tells a Compact file.

#include "formats/compact.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "formats/compact_values.h"
#include "formats/sniff.h"
#include "records/layout.h"
#include "records/outcome.h"
#include "records/transfer.h"

namespace ringave {
namespace {

// Title lines one call passes over before the next one is a header error.
constexpr int kMaxTitleLines = 3;

// Header columns (1-based, inclusive) read by their own internal reads.
constexpr std::size_t kExponentColumn = 69;
constexpr std::size_t kExponentWidth = 3;
constexpr std::size_t kFormatColumn = 72;
constexpr std::size_t kFormatWidth = 8;

const Layout& text_layout() {
  static const Layout& k = layout("(a) ");
  return k;
}

// Ten to the power `exponent` in single precision: repeated squaring of ten
// over the bits of |exponent|, the reciprocal for a negative exponent. An
// exponent too large for a float gives inf (and its reciprocal 0): IEEE
// arithmetic, defined, and the writer refuses non-finite values.
float power_of_ten(std::int32_t exponent) {
  if (exponent == 0) return 1.0f;
  // The exponent comes from a three-column field (-99 .. 999), so the
  // magnitude cannot overflow; int64 keeps that true for any caller.
  std::int64_t n = exponent < 0 ? -static_cast<std::int64_t>(exponent) : exponent;
  float base = 10.0f;
  float product = 1.0f;
  while (n > 0) {
    if (n & 1) product *= base;
    n >>= 1;
    if (n > 0) base *= base;
  }
  return exponent < 0 ? 1.0f / product : product;
}

// Formats the records of a file error for the reporter: `layout` over
// `items`, as the dialogue shows them.
std::string error_records(const Layout& layout, WriteItems items) {
  TextSink text;
  write_formatted(text, layout, items);
  return text.text();
}

SeriesRead give_up(Reporter& reporter, std::string_view summary, const std::string& records,
                   const std::string& plain) {
  reporter.file_error({summary, records, plain});
  return SeriesRead::file_error;
}

// The data error: step back to the record at which the data read stopped and
// report it with the header's fields. After end of file the step back leaves
// the file at its end, so the text read (which handles neither outcome) ends
// the run with the fatal report before any message.
SeriesRead data_error(Series& s, std::int32_t number, Field<8>& data_format, Field<80>& line, Unit& unit,
                      Reporter& reporter) {
  static const Layout& kDataError = layout(
      "(/t2,'*** error reading data in sbr cdf: '/"
      "                                  1x,a,1x,2i6,2x,a/1x,a) ");
  unit.step_back();
  blank(line);
  read_formatted(unit, text_layout(), {line});
  return give_up(reporter, "sbr cdf:  error reading data of series " + std::string(s.id.trimmed()) + ": " +
                                  std::string(line.trimmed()),
                 error_records(kDataError, {s.id, s.first_year, s.count, data_format, line}),
                 "line " + std::to_string(unit.line()) + ": the values of series " + std::string(s.id.trimmed()) +
                     " (series " + std::to_string(number) + " of the file) cannot be read by the layout " +
                     std::string(data_format.trimmed()) + " of its header: '" + std::string(line.trimmed()) +
                     "'; correct the values or the layout");
}

// Reads records until one parses as a series header, which sets s.count,
// s.first_year and s.id and stays in `line`; the title lines passed over are
// shown through the reporter, the first one kept as `title`. Returns nothing
// when a header was found, else how the read ends: the end of the file, or
// the header error of a fourth title line.
std::optional<SeriesRead> find_header(Unit& unit, Series& s, Field<80>& line, Field<8>& data_format,
                                      Field<85>& title, Reporter& reporter) {
  static const Layout& kHeader = layout("(1x,i7,2x,i8,3x,a8) ");
  static const Layout& kTitleEcho = layout("(/1x,'title of data:'/1x,a) ");
  static const Layout& kLineEcho = layout("(1x,a)  ");
  static const Layout& kHeaderError = layout(
      "(/t2,'*** header line read error in sbr cdf: '/"
      "                                  1x,a,1x,2i6,2x,a/1x,a) ");

  blank(title);
  for (int unreadable = 1;; ++unreadable) {
    blank(line);
    blank(s.id);
    blank(data_format);
    if (read_formatted(unit, text_layout(), {line}, Handles::end_of_file) == Outcome::end_of_file)
      return SeriesRead::end_of_file;
    // A blank line outside a series' data (editors and transfers add them
    // before the first header and after the last series) is passed over: it
    // is neither a header nor a title line.
    if (line.is_blank()) {
      --unreadable;  // the loop counts it back
      continue;
    }
    InternalSource header(line.view());
    if (read_formatted(header, kHeader, {s.count, s.first_year, s.id}, Handles::error) == Outcome::done)
      return std::nullopt;

    if (unreadable > kMaxTitleLines)
      return give_up(reporter, "sbr cdf:  header line read error: " + std::string(line.trimmed()),
                     error_records(kHeaderError, {s.id, s.first_year, s.count, data_format, line}),
                     "line " + std::to_string(unit.line()) + ": '" + std::string(line.trimmed()) +
                         "' is not a series header, and a series has at most 3 title lines before its header: "
                         "not a Compact file? (give -f)");
    // The title lines are shown as they are passed over.
    const std::string text(line.trimmed());
    if (unreadable == 1) {
      reporter.note({"title of data: " + text, error_records(kTitleEcho, {line})});
      title.assign(line.view());
    } else {
      reporter.note({"title line: " + text, error_records(kLineEcho, {line})});
    }
  }
}

// Negative values are averaged as ring widths; say so once per series,
// naming the first year that holds one.
void warn_negative(const Series& s, std::span<const float> values, Reporter& reporter) {
  const auto first = std::find_if(values.begin(), values.end(), [](float v) { return v < 0.0f; });
  if (first == values.end()) return;  // only -0 or a not-a-number with its sign bit set
  const std::int64_t year = static_cast<std::int64_t>(s.first_year) + (first - values.begin());
  const std::string text = "series " + std::string(s.id.trimmed()) + ": negative value in " + std::to_string(year) +
                           " (and perhaps later), averaged as a ring width";
  reporter.warning({text, text + "\n"});
}

}  // namespace

bool looks_like_compact_header(std::string_view record) {
  if (record.size() < 79 || column(record, 72) != '(') return false;
  std::size_t close = 79;
  while (close > 72 && column(record, close) == ' ') --close;
  return column(record, close) == ')' && right_justified_integer(record, 2, 8) &&
         right_justified_integer(record, 11, 18);
}

bool looks_like_compact(RecordSource& unit) {
  // Records looked at: enough to pass the titles of the first series.
  constexpr int kRecordsLooked = 100;
  static const Layout& kHeader = layout("(1x,i7,2x,i8) ");
  std::string_view rec;
  for (int n = 0; n < kRecordsLooked && unit.next(rec); ++n) {
    Field<80> line;
    line.assign(rec.substr(0, std::min<std::size_t>(rec.size(), 80)));
    const std::string_view format = line.view().substr(71, 8);
    if (format.find('(') == std::string_view::npos || format.find(')') == std::string_view::npos) continue;
    if (line.view().substr(1, 7).find_first_not_of(' ') == std::string_view::npos) continue;
    std::int32_t count = 0;
    std::int32_t first_year = 0;
    InternalSource header(line.view());
    if (read_formatted(header, kHeader, {count, first_year}, Handles::error) == Outcome::done) return true;
  }
  return false;
}

SeriesRead CompactReader::next(Series& s) {
  static const Layout& kExponent = layout("(i3)");
  static const Layout& kFormat = layout("(a8)");
  static const Layout& kLengthError = layout(
      "(/t2,'*** series length exceeds maximum allowable ',"
      "                                  'length: ',a8,2x,i4,' > ',i4)  ");

  Field<80> line;
  Field<8> data_format;
  std::int32_t exponent = 0;
  if (number_ < INT32_MAX) ++number_;
  if (const std::optional<SeriesRead> ended = find_header(unit_, s, line, data_format, title_, reporter_))
    return *ended;

  // The values must fit the series' storage: a longer series gets the length
  // error, never an overrun.
  const auto capacity = static_cast<std::int64_t>(s.values.size());
  if (static_cast<std::int64_t>(s.count) > capacity) {
    const auto limit = static_cast<std::int32_t>(std::min<std::int64_t>(capacity, INT32_MAX));
    return give_up(reporter_,
                   "sbr cdf:  series " + std::string(s.id.trimmed()) + " has " + std::to_string(s.count) +
                       " values, more than " + std::to_string(limit),
                   error_records(kLengthError, {s.id, s.count, limit}),
                   "series " + std::string(s.id.trimmed()) + " (series " + std::to_string(number_) +
                       " of the file) has " + std::to_string(s.count) + " values: ringave reads at most " +
                       std::to_string(limit) + " values per series");
  }

  InternalSource exponent_field(line.view().substr(kExponentColumn - 1, kExponentWidth));
  read_formatted(exponent_field, kExponent, {exponent});
  InternalSource format_field(line.view().substr(kFormatColumn - 1, kFormatWidth));
  read_formatted(format_field, kFormat, {data_format});

  // The data read is one statement over as many records as the layout needs.
  // A count below 1 reads no values, but the statement still runs: its layout
  // must be usable and it takes one record, as any read does.
  const std::size_t n = s.count > 0 ? static_cast<std::size_t>(s.count) : 0;
  const std::span<float> values = s.values.first(n);
  if (read_compact_values(unit_, layout(data_format.view()), values, Handles::both) != Outcome::done)
    return data_error(s, number_, data_format, line, unit_, reporter_);

  const float scale = power_of_ten(exponent);
  // The sign bits of all values at once (a loop the compiler vectorizes);
  // only a series with one set is searched for a negative value.
  std::uint32_t signs = 0;
  for (float& v : values) {
    v *= scale;
    signs |= std::bit_cast<std::uint32_t>(v);
  }
  if ((signs & 0x80000000u) != 0) warn_negative(s, values, reporter_);
  return SeriesRead::series;
}

}  // namespace ringave
