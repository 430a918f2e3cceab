// The Tucson writer: one series written as Tucson data lines in thousandths
// of a millimetre, the first line ending at the end of its decade, ten values
// on every later line, closed by the stop marker -9999.
//
// Lines are formatted straight into the sink's room where it offers one
// (an output file's buffer), several dozen at a time, else one by one
// through put(). A full line of ten ring widths of 0 to 9999 thousandths,
// nearly every line of a file, is converted ten values at a time and its
// fields copied from a table of their texts.
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
// The missing-value code of a value field: a year without a value.
constexpr std::int32_t kMissingThousandths = -999;

// Columns of the series ID on a line of this year; the year takes the rest
// of columns 1-12. -1000 itself does not fit the five columns of the 7-5
// year, so it takes the 6-6 split.
int id_columns_for(std::int64_t line_year) {
  if (line_year >= -999) return 8;
  if (line_year <= -1001 && line_year >= -9999) return 7;
  return 6;
}

// The year as written: a year beyond 32 bits is clamped to them, still far
// too wide for the year's columns, so it is written as asterisks like any
// number too wide for its field.
std::int32_t year_field(std::int64_t line_year) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(line_year, INT32_MIN, INT32_MAX));
}

// The numbers 0 to 9999 as an I6 field writes them, right-justified in six
// columns ("     0" to "  9999"), and two blanks after: eight columns,
// copied as one word. Nearly every ring width in thousandths of a
// millimetre comes from here, and every year from 0 on (columns 3-6). The
// fields of a line are copied left to right, so the two blanks of each
// copy go under the next field; after the last field they stand in the two
// columns after it.
struct SixColumns {
  std::array<std::array<char, 8>, 10000> text{};
  constexpr SixColumns() {
    for (int v = 0; v < 10000; ++v) {
      std::array<char, 8>& t = text[static_cast<std::size_t>(v)];
      t.fill(' ');
      int rest = v;
      for (std::size_t c = 5; c >= 2 && (c == 5 || rest != 0); --c) {
        t[c] = static_cast<char>('0' + rest % 10);
        rest /= 10;
      }
    }
  }
};
constexpr SixColumns kSixColumns;

inline bool in_table(std::int32_t v) { return static_cast<std::uint32_t>(v) < 10000u; }
inline const char* six_columns(std::int32_t v) { return kSixColumns.text[static_cast<std::size_t>(v)].data(); }

// Numbers outside the table, out of line: they are rare, and the loops
// that write the common ones stay small.
[[gnu::noinline]] void put_wide(char* p, int w, std::int32_t v) { put_integer(p, w, v); }

// An I6 field at p, as put_integer writes it; from the table, with the two
// columns after the field blanked, for 0 to 9999.
inline void put_field(char* p, std::int32_t v) {
  if (in_table(v)) {
    std::memcpy(p, six_columns(v), 8);
  } else {
    put_wide(p, 6, v);
  }
}

// The ID and the year of a line, columns 1-12. The year -999 to 9999 of an
// "(a8,i4,10i6)" line comes from the table, a negative one with its sign in
// the blank before its first digit.
inline void put_id_and_year(char* rec, const Field<8>& id, std::int64_t line_year) {
  std::memcpy(rec, id.data(), 8);  // the year overwrites what it does not leave to the ID
  if (line_year >= -999 && line_year <= 9999) {
    const auto magnitude = static_cast<std::int32_t>(line_year < 0 ? -line_year : line_year);
    std::memcpy(rec + 8, six_columns(magnitude) + 2, 4);
    if (line_year < 0) rec[magnitude < 10 ? 10 : magnitude < 100 ? 9 : 8] = '-';
  } else {
    const int id_cols = id_columns_for(line_year);
    put_wide(rec + id_cols, 12 - id_cols, year_field(line_year));
  }
}

// A full line whose ten value fields f[0 .. 10) the table holds, into rec
// (80 columns): the fields copied one after the other (the blanks after the
// last are columns 73-74), the tag in columns 75-80.
inline void put_full_line(char* rec, const Field<8>& id, std::int64_t line_year, const std::int32_t* f,
                          const Field<6>& tag) {
  put_id_and_year(rec, id, line_year);
#pragma GCC unroll 10
  for (int k = 0; k < 10; ++k) std::memcpy(rec + 12 + 6 * k, six_columns(f[k]), 8);
  std::memcpy(rec + 74, tag.data(), 6);
}

// Formats one data line into rec (80 columns) as write_tucson_line
// describes it; returns its length.
inline std::size_t format_line(char* rec, const Field<8>& id, std::int64_t line_year, const std::int32_t* f, int n,
                               const Field<6>& tag) {
  n = std::clamp(n, 1, 10);
  if (n == 10 && std::all_of(f, f + 10, in_table)) {
    put_full_line(rec, id, line_year, f, tag);
    return 80;
  }
  put_id_and_year(rec, id, line_year);
  for (int k = 0; k < n; ++k) put_field(rec + 12 + 6 * k, f[k]);
  if (n < 10) return 12 + 6 * static_cast<std::size_t>(n);
  // Columns 73-74 blank, the tag in columns 75-80.
  rec[72] = ' ';
  rec[73] = ' ';
  std::memcpy(rec + 74, tag.data(), 6);
  return 80;
}

#if defined(__SSE2__)
// Four values at a time, with the same single-precision product and sum as
// thousandths(), the half taking the product's sign (-0 rounds to 0 either
// way), truncated, 999 made 1000, -999 made -1000 and -9999 made -10000;
// the same numbers as thousandths() gives for products that are numbers
// below 2^23 in magnitude (exact()). Not a number is never exact.
inline __m128 products(const float* values) { return _mm_mul_ps(_mm_loadu_ps(values), _mm_set1_ps(1000.0f)); }

inline __m128 exact(__m128 product) {
  return _mm_cmplt_ps(_mm_andnot_ps(_mm_set1_ps(-0.0f), product), _mm_set1_ps(8388608.0f));
}

inline __m128 halved(__m128 product) {
  return _mm_add_ps(product, _mm_or_ps(_mm_and_ps(product, _mm_set1_ps(-0.0f)), _mm_set1_ps(0.5f)));
}

inline __m128i rounded(__m128 product) {
  const __m128i n = _mm_cvttps_epi32(halved(product));
  // 999 becomes 1000, -999 and -9999 move one further from zero: each
  // comparison gives -1 where it holds.
  const __m128i away = _mm_or_si128(_mm_cmpeq_epi32(n, _mm_set1_epi32(kMissingThousandths)),
                                    _mm_cmpeq_epi32(n, _mm_set1_epi32(kStopThousandths)));
  return _mm_add_epi32(_mm_sub_epi32(n, _mm_cmpeq_epi32(n, _mm_set1_epi32(999))), away);
}

inline void store(std::int32_t* out, __m128i n) { _mm_storeu_si128(reinterpret_cast<__m128i*>(out), n); }

// Values 0 .. 3 into out[0 .. 4); false, with nothing stored, when one of
// them is beyond the exact products.
inline bool four_thousandths(const float* values, std::int32_t* out) {
  const __m128 p = products(values);
  if (_mm_movemask_ps(exact(p)) != 0xF) return false;
  store(out, rounded(p));
  return true;
}

// The ten values of a full line as thousandths in 16 bits, when every one
// is a number of the table: values 0-7 in `low`, 6-9 in lanes 0-3 of
// `high`. Each is rounded as rounded() does it for the numbers 0 and up
// (a negative one, -999 and -9999 among them, is beyond the table either
// way), then narrowed: a number beyond 16 bits becomes -32768 or 32767,
// beyond the table like any product that is not exact (not a number, an
// infinity and 2^31 or more give INT32_MIN, the rest of 2^23 or more a
// number beyond the table).
struct TenFields {
  __m128i low;
  __m128i high;
};

inline bool ten_in_table(const float* values, TenFields& t) {
  const __m128i thousand = _mm_set1_epi16(999), limit = _mm_set1_epi16(10000);
  t.low = _mm_packs_epi32(_mm_cvttps_epi32(halved(products(values))), _mm_cvttps_epi32(halved(products(values + 4))));
  const __m128i six_to_nine = _mm_cvttps_epi32(halved(products(values + 6)));
  t.high = _mm_packs_epi32(six_to_nine, six_to_nine);
  // 999 becomes 1000; the sign bit of each lane then tells whether it is 0 to 9999.
  t.low = _mm_sub_epi16(t.low, _mm_cmpeq_epi16(t.low, thousand));
  t.high = _mm_sub_epi16(t.high, _mm_cmpeq_epi16(t.high, thousand));
  const __m128i in = _mm_and_si128(_mm_andnot_si128(t.low, _mm_cmplt_epi16(t.low, limit)),
                                   _mm_andnot_si128(t.high, _mm_cmplt_epi16(t.high, limit)));
  return _mm_movemask_epi8(_mm_srai_epi16(in, 15)) == 0xFFFF;
}

inline void put_six(char* p, int v) { std::memcpy(p, six_columns(v), 8); }

// The ten value fields of a full line at rec, columns 13-74, from the
// table: each copy's two blanks go under the next field, the last one's
// are columns 73-74.
inline void put_ten(char* rec, const TenFields& t) {
  put_six(rec + 12, _mm_extract_epi16(t.low, 0));
  put_six(rec + 18, _mm_extract_epi16(t.low, 1));
  put_six(rec + 24, _mm_extract_epi16(t.low, 2));
  put_six(rec + 30, _mm_extract_epi16(t.low, 3));
  put_six(rec + 36, _mm_extract_epi16(t.low, 4));
  put_six(rec + 42, _mm_extract_epi16(t.low, 5));
  put_six(rec + 48, _mm_extract_epi16(t.low, 6));
  put_six(rec + 54, _mm_extract_epi16(t.low, 7));
  put_six(rec + 60, _mm_extract_epi16(t.high, 2));
  put_six(rec + 66, _mm_extract_epi16(t.high, 3));
}
#endif

// thousandths() of values[0 .. n) into out[0 .. n), four at a time where
// the products allow.
inline void convert(const float* values, int n, std::int32_t* out) {
  int k = 0;
#if defined(__SSE2__)
  while (k + 4 <= n && four_thousandths(values + k, out + k)) k += 4;
  // The last one to three values (none after a line of 4 or 8, which the
  // loop took whole) with those before them, converted a second time to
  // the same numbers.
  if (k + 4 > n && n >= 4 && four_thousandths(values + n - 4, out + n - 4)) k = n;
#endif
  for (; k < n; ++k) out[k] = thousandths(values[k]);
}

// The most a line takes: 80 columns and its line feed.
constexpr std::size_t kLineBytes = 81;
// Lines formatted into one room of the sink.
constexpr std::size_t kRoomLines = 48;

// The lines of one series, one after the other: where the next one starts
// (its year, the values it takes from, the value fields it holds) and
// whether the stop marker is written.
struct SeriesLines {
  SeriesLines(const Series& series, const Field<6>& tag)
      : s(series),
        tag(tag),
        // Never look past the values the series holds.
        n_values(std::min<std::int64_t>(series.count, static_cast<std::int64_t>(series.values.size()))),
        line_year(series.first_year),
        fields(decade_fields(series.first_year)) {
    // Columns 74-81 of a full line: the blank before the tag, the tag and
    // the line feed.
    end_of_full[0] = ' ';
    std::memcpy(end_of_full.data() + 1, tag.data(), 6);
    end_of_full.back() = '\n';
  }

  const Series& s;
  const Field<6>& tag;
  const std::int64_t n_values;
  std::int64_t pos = 0;
  // Years are carried in 64 bits so a series starting near the end of the
  // 32-bit range cannot overflow.
  std::int64_t line_year;
  int fields;
  bool done = false;
  std::array<char, 8> end_of_full{};

  // Formats the next line at rec with its line feed; returns its end, at
  // most kLineBytes on. A line of `fields` values, or the values left and
  // the stop marker after them: the stop marker may stand alone on a line
  // of its own.
  char* next(char* rec) {
    const std::int64_t left = n_values - pos;
    const int n = left >= fields ? fields : static_cast<int>(left);
    std::int32_t f[10];
    convert(s.values.data() + pos, n, f);
    done = n < fields;
    if (done) f[n] = kStopThousandths;
    const std::size_t length = format_line(rec, s.id, line_year, f, done ? n + 1 : n, tag);
    pos += n;
    line_year += n;
    fields = 10;
    rec[length] = '\n';
    return rec + length + 1;
  }

  // Formats at rec the full lines from here on whose ten values are all
  // numbers of the table, at most `most` of them, and adds their number to
  // `lines`; returns their end. None without the vector instructions.
  char* table_lines(char* rec, std::size_t most, std::size_t& lines) {
#if defined(__SSE2__)
    if (fields != 10) return rec;
    const std::size_t full = static_cast<std::size_t>((n_values - pos) / 10);
    const float* values = s.values.data() + pos;
    const float* const end = values + 10 * std::min(most, full);
    TenFields t;
    for (; values != end && ten_in_table(values, t); values += 10) {
      __builtin_prefetch(values + 512);  // the series comes from memory: ask 2 KB ahead
      put_id_and_year(rec, s.id, line_year);
      put_ten(rec, t);
      std::memcpy(rec + 73, end_of_full.data(), end_of_full.size());
      rec += kLineBytes;
      line_year += 10;
    }
    const std::int64_t taken = values - (s.values.data() + pos);
    pos += taken;
    lines += static_cast<std::size_t>(taken / 10);
#else
    static_cast<void>(most);
    static_cast<void>(lines);
#endif
    return rec;
  }
};

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
  // Not a number (a year without a value): the missing-value code.
  // Infinite, or beyond 32 bits: no conversion, asterisks.
  if (!(std::fabs(product) < 2147483648.0f)) return std::isnan(value) ? kMissingThousandths : kFieldOverflow;
  // From 2^23 on a float holds no fraction; adding a half would round it.
  if (std::fabs(product) >= 8388608.0f) return static_cast<std::int32_t>(product);
  const float halved = product >= 0.0f ? product + 0.5f : product - 0.5f;
  const std::int32_t n = static_cast<std::int32_t>(halved);
  // No value field reads as a stop marker or as the missing-value code.
  if (n == 999) return 1000;
  if (n == kMissingThousandths || n == kStopThousandths) return n - 1;
  return n;
}

void thousandths(const float* values, int n, std::int32_t* out) { convert(values, n, out); }

int tucson_id_columns(const Series& s) {
  if (s.count < 1) return 8;
  // Lines start at the first year, then at each decade; only lines of years
  // before -999 give the ID fewer columns.
  const std::int64_t first = s.first_year, stop_year = first + s.count;
  int columns = id_columns_for(first);
  for (std::int64_t year = first + decade_fields(first); year <= stop_year && year < -999; year += 10)
    columns = std::min(columns, id_columns_for(year));
  return columns;
}

void write_tucson_series(RecordSink& sink, const Series& s, const Field<6>& tag) {
  if (s.count < 1) return;
  SeriesLines lines(s, tag);
  while (!lines.done) {
    if (char* const room = sink.room(kRoomLines * kLineBytes)) {
      char* end = room;
      std::size_t n = 0;
      while (n < kRoomLines && !lines.done) {
        end = lines.table_lines(end, kRoomLines - n, n);
        if (n == kRoomLines) break;
        end = lines.next(end);
        ++n;
      }
      sink.commit(end, n);
    } else {
      char rec[kLineBytes];
      const char* const end = lines.next(rec);
      sink.put(std::string_view(rec, static_cast<std::size_t>(end - rec) - 1), true);
    }
  }
}

}  // namespace ringave
