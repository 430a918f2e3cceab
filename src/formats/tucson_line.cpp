// The wide parse of a Tucson data line: the year and the ten value fields of
// an "(a8,i4,10i6)" line, columns 9-72, classified and converted sixteen
// columns at a time, without a branch per character. The in-place parse of
// tucson_read.cpp and the layout engine stay behind it for every line it
// refuses.
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "formats/tucson_line.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#include <tmmintrin.h>
#endif

namespace ringave {

namespace {

#if defined(__SSE2__)

// Columns 9-72 as bits 0-63: the year (bits 0-3) and ten value fields of six
// columns (bits 4-9, 10-15, ..., 58-63).
constexpr std::uint64_t field_bits(int which) {
  std::uint64_t bits = std::uint64_t{1} << (which == 0 ? 0 : 3);  // first / last column of the year
  for (int k = 0; k < 10; ++k) bits |= std::uint64_t{1} << (4 + 6 * k + (which == 0 ? 0 : 5));
  return bits;
}
constexpr std::uint64_t kFirstColumns = field_bits(0);
constexpr std::uint64_t kLastColumns = field_bits(1);
constexpr std::uint64_t kYearColumns = 0xF;
constexpr std::uint64_t kYearLastColumn = 0x8;

// What the four 16-column loads of columns 9-72 tell: per column a bit of
// each class, and the digits taken two columns at a time.
struct Columns {
  std::uint64_t blanks = 0;
  std::uint64_t digits = 0;
  std::uint64_t signs = 0;    // '-' or '+'; only looked for when some column is neither blank nor digit
  std::uint64_t minuses = 0;
  // Columns 9+2i and 10+2i as one number, 10 x first digit + second, where
  // a column that holds no digit counts as 0: pair i in 16-bit lane i % 8
  // of pairs[i / 8].
  __m128i pairs[4];
};

inline __m128i columns_at(const char* line, int i) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + 8 + 16 * i));
}

// kPairs: also the digit pairs (the SSE2 conversion needs them).
template <bool kPairs = true>
inline void classify(const char* line, Columns& c) {
  const __m128i zero = _mm_set1_epi8('0');
  const __m128i nine = _mm_set1_epi8(9);
  const __m128i low_byte = _mm_set1_epi16(0x00FF);
  const __m128i ten = _mm_set1_epi16(10);
  for (int i = 0; i < 4; ++i) {
    const __m128i text = columns_at(line, i);
    // Digits are the bytes whose distance from '0' is at most 9 (unsigned).
    const __m128i value = _mm_sub_epi8(text, zero);
    const __m128i digit = _mm_cmpeq_epi8(_mm_min_epu8(value, nine), value);
    const __m128i blank = _mm_cmpeq_epi8(text, _mm_set1_epi8(' '));
    const int shift = 16 * i;
    c.blanks |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(blank))} << shift;
    c.digits |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(digit))} << shift;
    if constexpr (kPairs) {
      // Each 16-bit lane holds two columns, the first in its low byte.
      const __m128i digits = _mm_and_si128(value, digit);
      c.pairs[i] =
          _mm_add_epi16(_mm_mullo_epi16(_mm_and_si128(digits, low_byte), ten), _mm_srli_epi16(digits, 8));
    }
  }
}

// The signs among columns 9-72, for a line that has columns which are
// neither blank nor digit.
void classify_signs(const char* line, Columns& c) {
  for (int i = 0; i < 4; ++i) {
    const __m128i text = columns_at(line, i);
    const __m128i minus = _mm_cmpeq_epi8(text, _mm_set1_epi8('-'));
    const __m128i sign = _mm_or_si128(minus, _mm_cmpeq_epi8(text, _mm_set1_epi8('+')));
    const int shift = 16 * i;
    c.signs |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(sign))} << shift;
    c.minuses |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(minus))} << shift;
  }
}

// Whether every field of columns 9-72 is right-justified plain text: blanks,
// then at most one sign, then digits to its last column. Blanks are then
// the only columns that count as nothing, so the pairs give the magnitudes.
bool right_justified(const char* line, Columns& c) {
  const std::uint64_t nonblank = ~c.blanks;
  // A blank after a nonblank column of the same field.
  if ((((nonblank & ~kLastColumns) << 1) & c.blanks) != 0) return false;
  if ((c.blanks | c.digits) == ~std::uint64_t{0}) return true;
  classify_signs(line, c);
  if ((c.blanks | c.digits | c.signs) != ~std::uint64_t{0}) return false;
  // A sign after a nonblank column of the same field.
  return (c.signs & ~kFirstColumns & (nonblank << 1)) == 0;
}

// Pairs first .. first+2 in the low three 16-bit lanes (the fourth is
// whatever follows them).
template <int first>
__m128i three_pairs(const __m128i (&pairs)[4]) {
  constexpr int reg = first / 8;
  constexpr int lane = first % 8;
  if constexpr (lane + 3 <= 8) {
    return _mm_srli_si128(pairs[reg], 2 * lane);
  } else {
    return _mm_or_si128(_mm_srli_si128(pairs[reg], 2 * lane), _mm_slli_si128(pairs[reg + 1], 2 * (8 - lane)));
  }
}

// Value fields a and a+1 (pairs 2+3a .. 7+3a) as numbers in 32-bit lanes
// 0 and 1: one multiply-add gives 10^4 x first pair + 10^2 x second, and
// the third, per field; one shifted add sums them.
template <int a>
__m128i two_fields(const __m128i (&pairs)[4]) {
  const __m128i both = _mm_unpacklo_epi64(three_pairs<2 + 3 * a>(pairs), three_pairs<5 + 3 * a>(pairs));
  const __m128i parts = _mm_madd_epi16(both, _mm_setr_epi16(10000, 100, 1, 0, 10000, 100, 1, 0));
  const __m128i sums = _mm_add_epi32(parts, _mm_srli_epi64(parts, 32));
  return _mm_shuffle_epi32(sums, _MM_SHUFFLE(3, 1, 2, 0));
}

// The year and the ten value fields of a line as numbers, without their
// signs: fields 0-3, 4-7, and 8-9 in the low two lanes of the last.
struct Magnitudes {
  std::int32_t year;
  __m128i f0, f4, f8;
};

inline Magnitudes magnitudes(const __m128i (&pairs)[4]) {
  return {_mm_cvtsi128_si32(_mm_madd_epi16(pairs[0], _mm_setr_epi16(100, 1, 0, 0, 0, 0, 0, 0))),
          _mm_unpacklo_epi64(two_fields<0>(pairs), two_fields<2>(pairs)),
          _mm_unpacklo_epi64(two_fields<4>(pairs), two_fields<6>(pairs)), two_fields<8>(pairs)};
}

inline void store_fields(const Magnitudes& m, TucsonFields& out) {
  out.year = m.year;
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out.f), m.f0);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out.f + 4), m.f4);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out.f + 8), m.f8);
}

// The same numbers with SSSE3, from the text itself: columns 9-72 less '0'
// with saturation (blanks become 0; only blanks and digits may be there),
// each value field moved into eight bytes behind two zero bytes, then two
// multiply-adds and a horizontal add: (10 a + b, 10 c + d, 10 e + f) for
// "abcdef", then 10^4 x the first pair + 10^2 x the second and the third.
[[gnu::target("ssse3")]] inline __m128i two_fields_ssse3(const char* line, int offset, __m128i order) {
  const __m128i text = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + offset));
  const __m128i digits = _mm_shuffle_epi8(_mm_subs_epu8(text, _mm_set1_epi8('0')), order);
  const __m128i pairs = _mm_maddubs_epi16(digits, _mm_set1_epi16(0x010A));
  return _mm_madd_epi16(pairs, _mm_setr_epi16(0, 10000, 100, 1, 0, 10000, 100, 1));
}

[[gnu::target("ssse3")]] inline Magnitudes magnitudes_ssse3(const char* line) {
  constexpr char z = -1;  // a shuffle index that gives 0
  // Fields at bytes 0-5 and 6-11 of a load, or at 4-9 and 10-15.
  const __m128i front = _mm_setr_epi8(z, z, 0, 1, 2, 3, 4, 5, z, z, 6, 7, 8, 9, 10, 11);
  const __m128i back = _mm_setr_epi8(z, z, 4, 5, 6, 7, 8, 9, z, z, 10, 11, 12, 13, 14, 15);
  const __m128i f01 = two_fields_ssse3(line, 12, front), f23 = two_fields_ssse3(line, 24, front);
  const __m128i f45 = two_fields_ssse3(line, 36, front), f67 = two_fields_ssse3(line, 48, front);
  const __m128i f89 = two_fields_ssse3(line, 56, back);  // the last load ends with column 72
  const __m128i year = _mm_maddubs_epi16(_mm_subs_epu8(columns_at(line, 0), _mm_set1_epi8('0')), _mm_set1_epi16(0x010A));
  return {_mm_cvtsi128_si32(_mm_madd_epi16(year, _mm_setr_epi16(100, 1, 0, 0, 0, 0, 0, 0))),
          _mm_hadd_epi32(f01, f23), _mm_hadd_epi32(f45, f67), _mm_hadd_epi32(f89, f89)};
}

// The quick path's tests before the conversion (see take_plain_line): the
// record's length and tag, the ID, and the columns of the year and value
// fields.
template <bool kPairs>
[[gnu::always_inline]] inline bool plain_line_columns(std::string_view record, const LineExpectation& expect,
                                                      Columns& c) {
  constexpr std::size_t kDataColumns = 72;  // columns 1-72: ID, year, ten value fields
  constexpr std::size_t kTagColumn = 83;    // column 84, the one that tells a tag
  if (record.size() < kDataColumns || (record.size() > kTagColumn && record[kTagColumn] != ' ')) return false;
  const char* line = record.data();
  std::uint64_t id;
  std::memcpy(&id, line, sizeof id);
  if (((id ^ expect.id) & expect.id_mask) != 0 || line[7] == '-' || line[6] == '-') return false;
  // Blanks and digits only, each field's blanks before its digits, and a
  // digit in the year's last column (a line with blank year columns is no
  // data line). The year alone may hold a minus sign, right before its
  // digits: the years before 0 of a long chronology.
  classify<kPairs>(line, c);
  const std::uint64_t other = ~(c.blanks | c.digits);
  if ((other & ~kYearColumns) != 0 || (((~c.blanks & ~kLastColumns) << 1) & c.blanks) != 0 ||
      (c.digits & kYearLastColumn) == 0)
    return false;
  // One minus, no digit before it (the test above has ruled out a blank
  // after it).
  if (other != 0 &&
      ((other & (other - 1)) != 0 || (c.digits & (other - 1)) != 0 || line[8 + std::countr_zero(other)] != '-'))
    return false;
  c.minuses = other;
  return true;
}

// The quick path's tests after the conversion, and the store: the year
// with its sign, and no value field the stop marker.
[[gnu::always_inline]] inline bool store_plain_line(const Columns& c, const Magnitudes& m,
                                                    const LineExpectation& expect, float* values) {
  const std::int32_t year = c.minuses != 0 ? -m.year : m.year;
  if (year != expect.year) return false;
  const __m128i stop = _mm_set1_epi32(999);
  const __m128i marker = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi32(m.f0, stop), _mm_cmpeq_epi32(m.f4, stop)),
                                      _mm_unpacklo_epi64(_mm_cmpeq_epi32(m.f8, stop), _mm_setzero_si128()));
  if (_mm_movemask_epi8(marker) != 0) return false;
  const __m128 hundredth = _mm_set1_ps(0.01f);
  _mm_storeu_ps(values, _mm_mul_ps(_mm_cvtepi32_ps(m.f0), hundredth));
  _mm_storeu_ps(values + 4, _mm_mul_ps(_mm_cvtepi32_ps(m.f4), hundredth));
  _mm_storel_pi(reinterpret_cast<__m64*>(values + 8), _mm_mul_ps(_mm_cvtepi32_ps(m.f8), hundredth));
  return true;
}

#endif

}  // namespace

bool parse_tucson_line_wide(const char* line, TucsonFields& out) {
#if defined(__SSE2__)
  // Only the 8-4 split of columns 1-12; the others are rare (years before
  // -999) and left to the in-place parse.
  if (line[7] == '-' || line[6] == '-') return false;
  Columns c;
  classify(line, c);
  if (!right_justified(line, c)) return false;

  store_fields(magnitudes(c.pairs), out);
  if (c.minuses != 0) {
    if ((c.minuses & 0xF) != 0) out.year = -out.year;
    for (int k = 0; k < 10; ++k)
      if (((c.minuses >> (4 + 6 * k)) & 0x3F) != 0) out.f[k] = -out.f[k];
  }
  std::memcpy(out.id.data(), line, 8);
  out.tagged = line[83] != ' ';
  if (out.tagged) std::memcpy(out.tag.data(), line + 82, 6);
  return true;
#else
  (void)line;
  (void)out;
  return false;
#endif
}

#if defined(__SSE2__)
namespace {

// The two conversions of the quick path: from the digit pairs of the
// classification (SSE2), or from the text itself (SSSE3, which then needs
// no pairs).
struct Sse2 {
  static constexpr bool kPairs = true;
  static Magnitudes convert(const char*, const Columns& c) { return magnitudes(c.pairs); }
};
struct Ssse3 {
  static constexpr bool kPairs = false;
  // Not always_inline: it is inlined where the caller allows SSSE3.
  [[gnu::target("ssse3")]] static Magnitudes convert(const char* line, const Columns&) {
    return magnitudes_ssse3(line);
  }
};

template <class Convert>
[[gnu::always_inline]] inline bool take_one(std::string_view record, const LineExpectation& expect, float* values) {
  Columns c;
  return plain_line_columns<Convert::kPairs>(record, expect, c) &&
         store_plain_line(c, Convert::convert(record.data(), c), expect, values);
}

// Lines of exactly 72 columns, each followed by its line feed. A line feed
// in the columns checked above is ruled out (only blanks, digits and a
// minus pass there, and the expected ID comes from a record); one in the
// ID columns the mask leaves out is looked for here.
template <class Convert>
[[gnu::always_inline]] inline std::size_t take_many(std::string_view text, LineExpectation& expect, float* values,
                                                    std::size_t max_lines) {
  constexpr std::size_t kLine = kTucsonPlainLine;
  constexpr std::uint64_t kOnes = 0x0101010101010101u;
  const char* p = text.data();
  std::size_t left = text.size();
  std::size_t taken = 0;
  while (taken < max_lines && left > kLine && p[kLine] == '\n') {
    std::uint64_t id;
    std::memcpy(&id, p, sizeof id);
    const std::uint64_t x = id ^ (kOnes * '\n');  // a zero byte where the ID holds a line feed
    if ((((x - kOnes) & ~x & (kOnes << 7)) & ~expect.id_mask) != 0) break;
    if (!take_one<Convert>(std::string_view(p, kLine), expect, values)) break;
    expect.year += 10;
    values += 10;
    p += kLine + 1;
    left -= kLine + 1;
    ++taken;
  }
  return taken;
}

[[gnu::target("ssse3")]] bool take_plain_line_ssse3(std::string_view record, const LineExpectation& expect,
                                                    float* values) {
  return take_one<Ssse3>(record, expect, values);
}
[[gnu::target("ssse3")]] std::size_t take_plain_lines_ssse3(std::string_view text, LineExpectation& expect,
                                                            float* values, std::size_t max_lines) {
  return take_many<Ssse3>(text, expect, values, max_lines);
}
std::size_t take_plain_lines_sse2(std::string_view text, LineExpectation& expect, float* values,
                                  std::size_t max_lines) {
  return take_many<Sse2>(text, expect, values, max_lines);
}

}  // namespace
#endif

bool take_plain_line_sse2(std::string_view record, const LineExpectation& expect, float* values) {
#if defined(__SSE2__)
  return take_one<Sse2>(record, expect, values);
#else
  (void)record;
  (void)expect;
  (void)values;
  return false;
#endif
}

namespace {

struct QuickPath {
  TakePlainLine line;
  TakePlainLines lines;
};

#if !defined(__SSE2__)
std::size_t take_no_lines(std::string_view, LineExpectation&, float*, std::size_t) { return 0; }
#endif

QuickPath choose_quick_path() {
#if defined(__SSE2__)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("ssse3")) return {take_plain_line_ssse3, take_plain_lines_ssse3};
  return {take_plain_line_sse2, take_plain_lines_sse2};
#else
  return {take_plain_line_sse2, take_no_lines};
#endif
}

const QuickPath kQuickPath = choose_quick_path();

}  // namespace

extern const TakePlainLine kTakePlainLine = kQuickPath.line;
extern const TakePlainLines kTakePlainLines = kQuickPath.lines;

}  // namespace ringave
