// The Tucson writer: one series written as Tucson data lines in thousandths
// of a millimetre, the first line ending at the end of its decade, ten values
// on every later line, closed by the stop marker -9999.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "formats/tucson.h"
#include "formats/tucson_line.h"
#include "records/int_text.h"
#include "records/layout.h"
#include "records/transfer.h"

namespace ringave {

namespace {

constexpr std::int32_t kStopThousandths = -9999;

// Columns of the series ID on a line of this year; the year takes the rest
// of columns 1-12. -1000 itself does not fit the five columns of the 7-5
// year, so it takes the 6-6 split.
int id_columns_for(std::int64_t line_year) {
  if (line_year >= -999) return 8;
  if (line_year <= -1001 && line_year >= -9999) return 7;
  return 6;
}

// The year as written: a year beyond 32 bits is written as asterisks, like
// any number too wide for its field.
std::int32_t year_field(std::int64_t line_year) {
  return (line_year >= INT32_MIN && line_year <= INT32_MAX) ? static_cast<std::int32_t>(line_year)
                                                            : kFieldOverflow;
}

}  // namespace

void write_tucson_line(RecordSink& sink, const Field<8>& id, std::int64_t line_year, const std::int32_t* f, int n,
                       const Field<6>& tag) {
  n = std::clamp(n, 1, 10);
  char rec[80];
  const int id_cols = id_columns_for(line_year);
  std::memcpy(rec, id.data(), static_cast<std::size_t>(id_cols));
  put_integer(rec + id_cols, 12 - id_cols, year_field(line_year));
  for (int k = 0; k < n; ++k) put_integer(rec + 12 + 6 * k, 6, f[k]);
  std::size_t len = 12 + 6 * static_cast<std::size_t>(n);
  if (n == 10) {
    // Columns 73-74 blank, the tag in columns 75-80.
    rec[72] = ' ';
    rec[73] = ' ';
    std::memcpy(rec + 74, tag.data(), 6);
    len = 80;
  }
  sink.put(std::string_view(rec, len), true);
}

void write_tucson_line_general(RecordSink& sink, const Field<8>& id, std::int64_t line_year, const std::int32_t* f,
                               int n, const Field<6>& tag) {
  static const Layout& k84 = layout("(a8,i4,10i6)");
  static const Layout& k75 = layout("(a7,i5,10i6)");
  static const Layout& k66 = layout("(a6,i6,10i6)");
  static const Layout& k84Full = layout("(a8,i4,10i6,t75,a)");
  static const Layout& k75Full = layout("(a7,i5,10i6,t75,a)");
  static const Layout& k66Full = layout("(a6,i6,10i6,t75,a)");
  const int id_cols = id_columns_for(line_year);
  const Layout& s = id_cols == 8 ? k84 : id_cols == 7 ? k75 : k66;
  const Layout& full = id_cols == 8 ? k84Full : id_cols == 7 ? k75Full : k66Full;
  const std::int32_t year = year_field(line_year);
  // The item list of a statement is fixed at compile time, hence one
  // statement per field count.
  switch (std::clamp(n, 1, 10)) {
    case 1: write_formatted(sink, s, {id, year, f[0]}); break;
    case 2: write_formatted(sink, s, {id, year, f[0], f[1]}); break;
    case 3: write_formatted(sink, s, {id, year, f[0], f[1], f[2]}); break;
    case 4: write_formatted(sink, s, {id, year, f[0], f[1], f[2], f[3]}); break;
    case 5: write_formatted(sink, s, {id, year, f[0], f[1], f[2], f[3], f[4]}); break;
    case 6: write_formatted(sink, s, {id, year, f[0], f[1], f[2], f[3], f[4], f[5]}); break;
    case 7: write_formatted(sink, s, {id, year, f[0], f[1], f[2], f[3], f[4], f[5], f[6]}); break;
    case 8: write_formatted(sink, s, {id, year, f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7]}); break;
    case 9: write_formatted(sink, s, {id, year, f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8]}); break;
    default:
      write_formatted(sink, full, {id, year, f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], f[9], tag});
      break;
  }
}

std::int32_t thousandths(float value) {
  const float product = value * 1000.0f;
  // Not a number (a year without a value): 0, the code of a missing ring.
  // Infinite, or beyond 32 bits: no conversion, asterisks.
  if (!(std::fabs(product) < 2147483648.0f)) return std::isnan(value) ? 0 : kFieldOverflow;
  // From 2^23 on a float holds no fraction; adding a half would round it.
  if (std::fabs(product) >= 8388608.0f) return static_cast<std::int32_t>(product);
  const float halved = product >= 0.0f ? product + 0.5f : product - 0.5f;
  const std::int32_t n = static_cast<std::int32_t>(halved);
  return n == 999 ? 1000 : n;
}

void write_tucson_series(RecordSink& sink, const Series& s) {
  if (s.count < 1) return;
  // Never look past the values the series holds.
  const std::int64_t n_values = std::min<std::int64_t>(s.count, static_cast<std::int64_t>(s.values.size()));
  const float* const values = s.values.data();

  // Years are carried in 64 bits so a series starting near the end of the
  // 32-bit range cannot overflow.
  std::int64_t line_year = s.first_year;
  int fields = decade_fields(s.first_year);
  std::int64_t pos = 0;
  std::int32_t f[10];
  for (;;) {
    bool finished = false;
    int n = fields;
    for (int k = 0; k < fields; ++k) {
      ++pos;
      if (pos > n_values) {
        f[k] = kStopThousandths;
        finished = true;
        n = k + 1;
        break;
      }
      f[k] = thousandths(values[pos - 1]);
    }
    write_tucson_line(sink, s.id, line_year, f, n, s.tag);
    if (finished) return;
    line_year += n;
    fields = 10;
  }
}

}  // namespace ringave
