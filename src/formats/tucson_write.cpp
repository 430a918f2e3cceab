// The Tucson writer: one series written as Tucson data lines in thousandths
// of a millimetre, the first line ending at the end of its decade, ten values
// on every later line, closed by the stop marker -9999.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "formats/tucson.h"
#include "formats/tucson_line.h"
#include "records/int_text.h"
#include "records/layout.h"
#include "records/transfer.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// The numbers 0 to 9999 as an I4 field writes them, right-justified in four
// columns ("   0" to "9999"): nearly every ring width in thousandths of a
// millimetre and every year from 0 on, written by one copy each.
struct FourColumns {
  std::array<std::array<char, 4>, 10000> text{};
  constexpr FourColumns() {
    for (int v = 0; v < 10000; ++v) {
      int rest = v;
      for (int c = 3; c >= 0; --c) {
        text[static_cast<std::size_t>(v)][static_cast<std::size_t>(c)] =
            (c == 3 || rest != 0) ? static_cast<char>('0' + rest % 10) : ' ';
        rest /= 10;
      }
    }
  }
};
constexpr FourColumns kFourColumns;

// Numbers outside the table, out of line: they are rare, and the loops
// that write the common ones stay small.
[[gnu::noinline]] void put_wide(char* p, int w, std::int32_t v) { put_integer(p, w, v); }

// An I field of w columns (4 or more) at p, as put_integer writes it: from
// the table for 0 to 9999.
inline void put_field(char* p, int w, std::int32_t v) {
  if (static_cast<std::uint32_t>(v) < 10000u) {
    std::memset(p, ' ', static_cast<std::size_t>(w - 4));
    std::memcpy(p + w - 4, kFourColumns.text[static_cast<std::size_t>(v)].data(), 4);
  } else {
    put_wide(p, w, v);
  }
}

// The year of an "(a8,i4,10i6)" line, -999 to 9999, into columns 9-12:
// from the table, a negative year with its sign in the blank before its
// first digit.
inline void put_year(char* p, std::int32_t year) {
  const auto magnitude = static_cast<std::size_t>(year < 0 ? -year : year);
  std::memcpy(p, kFourColumns.text[magnitude].data(), 4);
  if (year < 0) p[magnitude < 10 ? 2 : magnitude < 100 ? 1 : 0] = '-';
}

// The value fields of a full line: ten I6 fields from column 13 on.
inline void put_ten_values(char* rec, const std::int32_t* f) {
#pragma GCC unroll 10
  for (int k = 0; k < 10; ++k) put_field(rec + 12 + 6 * k, 6, f[k]);
}

// Formats one data line into rec (80 columns) as write_tucson_line
// describes it; returns its length.
inline std::size_t format_line(char* rec, const Field<8>& id, std::int64_t line_year, const std::int32_t* f, int n,
                               const Field<6>& tag) {
  n = std::clamp(n, 1, 10);
  const int id_cols = id_columns_for(line_year);
  std::memcpy(rec, id.data(), 8);  // the year overwrites what it does not leave to the ID
  if (line_year >= -999 && line_year <= 9999) {
    put_year(rec + 8, static_cast<std::int32_t>(line_year));
  } else {
    put_field(rec + id_cols, 12 - id_cols, year_field(line_year));
  }
  if (n < 10) {
    for (int k = 0; k < n; ++k) put_field(rec + 12 + 6 * k, 6, f[k]);
    return 12 + 6 * static_cast<std::size_t>(n);
  }
  // Columns 73-74 blank, the tag in columns 75-80, then the ten fields in
  // columns 13-72 up to them.
  rec[72] = ' ';
  rec[73] = ' ';
  std::memcpy(rec + 74, tag.data(), 6);
  put_ten_values(rec, f);
  return 80;
}

#if defined(__SSE2__)
// Four values at a time, with the same single-precision product and sum as
// thousandths(), the half taking the product's sign (-0 rounds to 0 either
// way), truncated; only for products that are numbers below 2^23 in
// magnitude.
inline __m128 products(const float* values) { return _mm_mul_ps(_mm_loadu_ps(values), _mm_set1_ps(1000.0f)); }

inline __m128 exact(__m128 product) {
  return _mm_cmplt_ps(_mm_andnot_ps(_mm_set1_ps(-0.0f), product), _mm_set1_ps(8388608.0f));
}

inline void store_rounded(__m128 product, std::int32_t* out) {
  const __m128 half = _mm_or_ps(_mm_and_ps(product, _mm_set1_ps(-0.0f)), _mm_set1_ps(0.5f));
  const __m128i n = _mm_cvttps_epi32(_mm_add_ps(product, half));
  // 999 becomes 1000: the comparison gives -1 where it holds.
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_sub_epi32(n, _mm_cmpeq_epi32(n, _mm_set1_epi32(999))));
}

// Values 0 .. 3 into out[0 .. 4); false, with nothing stored, when one of
// them is beyond the exact products.
inline bool four_thousandths(const float* values, std::int32_t* out) {
  const __m128 p = products(values);
  if (_mm_movemask_ps(exact(p)) != 0xF) return false;
  store_rounded(p, out);
  return true;
}

// A full line, values 0 .. 9, as values 0-3, 4-7 and 6-9 (6 and 7 twice).
inline bool ten_thousandths(const float* values, std::int32_t* out) {
  const __m128 a = products(values), b = products(values + 4), c = products(values + 6);
  if (_mm_movemask_ps(_mm_and_ps(_mm_and_ps(exact(a), exact(b)), exact(c))) != 0xF) return false;
  store_rounded(a, out);
  store_rounded(b, out + 4);
  store_rounded(c, out + 6);
  return true;
}

#endif

// thousandths() of values[0 .. n) into out[0 .. n), four at a time where
// the products allow.
inline void convert(const float* values, int n, std::int32_t* out) {
  int k = 0;
#if defined(__SSE2__)
  if (n == 10 && ten_thousandths(values, out)) return;
  while (k + 4 <= n && four_thousandths(values + k, out + k)) k += 4;
  // The last one to three values with the three or so before them, which
  // are converted a second time to the same numbers.
  if (k < n && k + 4 > n && n >= 4 && four_thousandths(values + n - 4, out + n - 4)) k = n;
#endif
  for (; k < n; ++k) out[k] = thousandths(values[k]);
}

}  // namespace

void write_tucson_line(RecordSink& sink, const Field<8>& id, std::int64_t line_year, const std::int32_t* f, int n,
                       const Field<6>& tag) {
  char rec[80];
  sink.put(std::string_view(rec, format_line(rec, id, line_year, f, n, tag)), true);
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

void thousandths(const float* values, int n, std::int32_t* out) { convert(values, n, out); }

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
    // A line of `fields` values, or the values left and the stop marker
    // after them: the stop marker may stand alone on a line of its own.
    const std::int64_t left = n_values - pos;
    const int n = left >= fields ? fields : static_cast<int>(left);
    convert(values + pos, n, f);
    pos += n;
    char rec[80];
    if (n < fields) {
      f[n] = kStopThousandths;
      sink.put(std::string_view(rec, format_line(rec, s.id, line_year, f, n + 1, s.tag)), true);
      return;
    }
    sink.put(std::string_view(rec, format_line(rec, s.id, line_year, f, n, s.tag)), true);
    line_year += n;
    fields = 10;
  }
}

}  // namespace ringave
