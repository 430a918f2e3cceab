// cdf: one series of a Compact ring-width file per call.
//
// A call passes over up to three title lines (the first becomes the title and
// is echoed under "title of data:", the next two are echoed as they stand),
// parses the series header from the 80-column line buffer, reads the values
// with the data layout the header names, scales them by ten to the header's
// exponent and counts the series. A fourth title line, a value count above
// the maximum and a data record that cannot be read each end the run with a
// message, a pause and a stop with status 1; end of file inside the data
// ends it with the record layer's fatal report.

#include "formats/cdf.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "formats/compact_values.h"
#include "records/layout.h"
#include "records/transfer.h"
#include "records/outcome.h"

namespace ringave {
namespace {

constexpr std::int32_t kEndMarker = -999;
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

// The data error: step back to the record at which the data read stopped,
// show it with the header's fields, pause and stop. After end of file the
// step back leaves the file at its end, so the text read (which handles
// neither outcome) ends the run with the fatal report before any message.
[[noreturn]] void data_error(Field<8>& id, std::int32_t& first_year, std::int32_t& count,
                             Field<8>& data_format, Field<80>& line, Unit& unit, Console& con) {
  static const Layout& kDataError = layout(
      "(/t2,'*** error reading data in sbr cdf: '/"
      "                                  1x,a,1x,2i6,2x,a/1x,a) ");
  unit.step_back();
  blank(line);
  read_formatted(unit, text_layout(), {line});
  write_formatted(con, kDataError, {id, first_year, count, data_format, line});
  pause(con, " ");
  stop(kExitFailure, " ");
}

}  // namespace

void cdf(Field<8>& id, std::span<float> values, std::int32_t& first_year, std::int32_t& count,
         std::int32_t& counter, Unit& unit, std::int32_t max_count, Field<85>& title, Console& con) {
  static const Layout& kHeader = layout("(1x,i7,2x,i8,3x,a8) ");
  static const Layout& kExponent = layout("(i3)");
  static const Layout& kFormat = layout("(a8)");
  static const Layout& kTitleEcho = layout("(/1x,'title of data:'/1x,a) ");
  static const Layout& kLineEcho = layout("(1x,a)  ");
  static const Layout& kHeaderError = layout(
      "(/t2,'*** header line read error in sbr cdf: '/"
      "                                  1x,a,1x,2i6,2x,a/1x,a) ");
  static const Layout& kLengthError = layout(
      "(/t2,'*** series length exceeds maximum allowable ',"
      "                                  'length: ',a8,2x,i4,' > ',i4)  ");

  Field<80> line;
  Field<8> data_format;
  std::int32_t exponent = 0;

  blank(title);
  int unreadable = 0;

  // Title lines until a record parses as a series header.
  for (;;) {
    blank(line);
    blank(id);
    blank(data_format);
    if (read_formatted(unit, text_layout(), {line}, Handles::end_of_file) == Outcome::end_of_file) {
      count = kEndMarker;
      counter = kEndMarker;
      return;
    }
    InternalSource header(line.view());
    if (read_formatted(header, kHeader, {count, first_year, id}, Handles::error) == Outcome::done) break;

    ++unreadable;
    if (unreadable > kMaxTitleLines) {
      write_formatted(con, kHeaderError, {id, first_year, count, data_format, line});
      pause(con, " ");
      stop(kExitFailure, " ");
    }
    if (unreadable == 1) {
      write_formatted(con, kTitleEcho, {line});
      title.assign(line.view());
    } else {
      write_formatted(con, kLineEcho, {line});
    }
  }

  // The values array must hold the series too: a caller whose array is
  // shorter than its maximum count gets the length message, not an overrun.
  if (count > max_count || static_cast<std::int64_t>(count) > static_cast<std::int64_t>(values.size())) {
    write_formatted(con, kLengthError, {id, count, max_count});
    pause(con, " ");
    stop(kExitFailure, " ");
  }

  InternalSource exponent_field(line.view().substr(kExponentColumn - 1, kExponentWidth));
  read_formatted(exponent_field, kExponent, {exponent});
  InternalSource format_field(line.view().substr(kFormatColumn - 1, kFormatWidth));
  read_formatted(format_field, kFormat, {data_format});

  // The data read is one statement over as many records as the layout needs.
  // A count below 1 reads no values, but the statement still runs: its layout
  // must be usable and it takes one record, as any read does.
  const std::size_t n = count > 0 ? static_cast<std::size_t>(count) : 0;
  const std::span<float> series = values.first(n);
  if (read_compact_values(unit, layout(data_format.view()), series, Handles::both) != Outcome::done)
    data_error(id, first_year, count, data_format, line, unit, con);

  const float scale = power_of_ten(exponent);
  for (float& v : series) v *= scale;

  ++counter;
}

}  // namespace ringave
