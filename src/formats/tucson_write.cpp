// trrw mode "mw": one series written as Tucson data lines in thousandths of a
// millimetre, the first line ending at the end of its decade, ten values on
// every later line, closed by the stop marker -9999.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "formats/tucson_line.h"
#include "records/layout.h"
#include "records/transfer.h"

namespace ringave {

namespace {

constexpr std::int32_t kStopThousandths = -9999;

struct LineLayouts {
  const Layout& short_line;  // fields only, ends with the last field
  const Layout& full_line;   // ten fields, then the tag in columns 75-80
};

// The split of columns 1-12 follows the line's own year: -1000 itself does
// not fit the five columns of the 7-5 year, so it takes the 6-6 layout.
const LineLayouts& layouts_for(std::int64_t line_year) {
  static const LineLayouts k84{layout("(a8,i4,10i6)"), layout("(a8,i4,10i6,t75,a)")};
  static const LineLayouts k75{layout("(a7,i5,10i6)"), layout("(a7,i5,10i6,t75,a)")};
  static const LineLayouts k66{layout("(a6,i6,10i6)"), layout("(a6,i6,10i6,t75,a)")};
  if (line_year >= -999) return k84;
  if (line_year <= -1001 && line_year >= -9999) return k75;
  return k66;
}

// One data line of n fields (1 to 10). The item list of a statement is fixed
// at compile time, hence one statement per field count.
void write_line(RecordSink& sink, const LineLayouts& lay, const Field<8>& id, std::int32_t year,
                const std::int32_t* f, int n, const Field<6>& tag) {
  const Layout& s = lay.short_line;
  switch (n) {
    case 1: write(sink, s, {id, year, f[0]}); break;
    case 2: write(sink, s, {id, year, f[0], f[1]}); break;
    case 3: write(sink, s, {id, year, f[0], f[1], f[2]}); break;
    case 4: write(sink, s, {id, year, f[0], f[1], f[2], f[3]}); break;
    case 5: write(sink, s, {id, year, f[0], f[1], f[2], f[3], f[4]}); break;
    case 6: write(sink, s, {id, year, f[0], f[1], f[2], f[3], f[4], f[5]}); break;
    case 7: write(sink, s, {id, year, f[0], f[1], f[2], f[3], f[4], f[5], f[6]}); break;
    case 8: write(sink, s, {id, year, f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7]}); break;
    case 9: write(sink, s, {id, year, f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8]}); break;
    default:
      write(sink, lay.full_line, {id, year, f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], f[9], tag});
      break;
  }
}

}  // namespace

std::int32_t thousandths(float value) {
  const float product = value * 1000.0f;
  // Not a number, infinite, or beyond 32 bits: no conversion, asterisks.
  if (!(std::fabs(product) < 2147483648.0f)) return kFieldOverflow;
  // From 2^23 on a float holds no fraction; adding a half would round it.
  if (std::fabs(product) >= 8388608.0f) return static_cast<std::int32_t>(product);
  const float halved = product >= 0.0f ? product + 0.5f : product - 0.5f;
  const std::int32_t n = static_cast<std::int32_t>(halved);
  return n == 999 ? 1000 : n;
}

void write_tucson_series(const Field<8>& id, std::int32_t first_year, std::int32_t count,
                         std::span<const float> values, RecordSink& sink, const Field<6>& tag) {
  if (count < 1) return;
  // Never look past the array the caller handed in.
  const std::int64_t n_values = std::min<std::int64_t>(count, static_cast<std::int64_t>(values.size()));

  // Years are carried in 64 bits so a series starting near the end of the
  // 32-bit range cannot overflow; a year that does not fit is written as
  // asterisks, like any number too wide for its field.
  std::int64_t line_year = first_year;
  int fields = decade_fields(first_year);
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
      f[k] = thousandths(values[static_cast<std::size_t>(pos - 1)]);
    }
    const std::int32_t year =
        (line_year >= INT32_MIN && line_year <= INT32_MAX) ? static_cast<std::int32_t>(line_year) : kFieldOverflow;
    write_line(sink, layouts_for(line_year), id, year, f, n, tag);
    if (finished) return;
    line_year += n;
    fields = 10;
  }
}

}  // namespace ringave
