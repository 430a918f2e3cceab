// The Tucson reader's quick path for the common later line of a series:
// columns 9-72 (the year and ten value fields of an "(a8,i4,10i6)" line)
// classified into bit masks and the digits converted to numbers without a
// branch per character, a block of lines at a time. Two versions: SSE2, which
// every x86-64 processor has, and AVX2 where the processor has it (chosen once
// at start-up: with SSE2 alone, reading a full-capacity file took 30 % more
// instructions and 9-14 % more CPU time). An SSSE3 version went: where AVX2
// is, it went unused, and where it is not, SSE2 takes over. The full parse
// (parse_tucson_line, tucson_read.cpp) decides every line the quick path
// refuses.
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "formats/tucson_line.h"

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace ringave {

namespace {

#if defined(__SSE2__)
// Columns 9-72 as bits 0-63: the year (bits 0-3) and ten value fields of six
// columns (bits 4-9, 10-15, ..., 58-63); here the last column of each.
constexpr std::uint64_t last_columns() {
  std::uint64_t bits = std::uint64_t{1} << 3;
  for (int k = 0; k < 10; ++k) bits |= std::uint64_t{1} << (4 + 6 * k + 5);
  return bits;
}
constexpr std::uint64_t kLastColumns = last_columns();
constexpr std::uint64_t kYearColumns = 0xF;
constexpr std::uint64_t kYearLastColumn = 0x8;

// What the loads of columns 9-72 tell: per column a bit of each class, and
// (SSE2 only) the digits taken two columns at a time.
struct Columns {
  std::uint64_t blanks = 0;
  std::uint64_t digits = 0;
  std::uint64_t minuses = 0;
  // Columns 9+2i and 10+2i as one number, 10 x first digit + second, where
  // a column that holds no digit counts as 0: pair i in 16-bit lane i % 8
  // of pairs[i / 8].
  __m128i pairs[4];
};

inline __m128i columns_at(const char* line, int i) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + 8 + 16 * i));
}

// The classification and the digit pairs (the SSE2 conversion needs them).
inline void classify_sse2(const char* line, Columns& c) {
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
    // Each 16-bit lane holds two columns, the first in its low byte.
    const __m128i digits = _mm_and_si128(value, digit);
    c.pairs[i] = _mm_add_epi16(_mm_mullo_epi16(_mm_and_si128(digits, low_byte), ten), _mm_srli_epi16(digits, 8));
  }
}

// Pairs first .. first+2 in the low three 16-bit lanes (the fourth is
// whatever follows them).
template <int first>
inline __m128i three_pairs(const __m128i (&pairs)[4]) {
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
inline __m128i two_fields(const __m128i (&pairs)[4]) {
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

// The same with AVX2, thirty-two columns at a time: the classification of
// columns 9-72 in two loads, then the numbers from the text itself rather
// than from digit pairs: the columns less '0' with saturation (blanks become
// 0; only blanks and digits may be there), each value field moved into eight
// bytes behind two zero bytes, then two multiply-adds and a horizontal add:
// (10 a + b, 10 c + d, 10 e + f) for "abcdef", then 10^4 x the first pair +
// 10^2 x the second and the third. Value fields 0-3 and 4-7 are each
// converted in one register (two loads of two fields side by side), fields
// 8-9 and the year in 128 bits.
[[gnu::target("avx2")]] inline void masks_avx2(const char* at, std::uint64_t& blanks, std::uint64_t& digits) {
  const __m256i text = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
  const __m256i value = _mm256_sub_epi8(text, _mm256_set1_epi8('0'));
  const __m256i digit = _mm256_cmpeq_epi8(_mm256_min_epu8(value, _mm256_set1_epi8(9)), value);
  blanks = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(text, _mm256_set1_epi8(' '))));
  digits = static_cast<std::uint32_t>(_mm256_movemask_epi8(digit));
}

[[gnu::target("avx2")]] inline void classify_avx2(const char* line, Columns& c) {
  std::uint64_t blanks_low, digits_low, blanks_high, digits_high;
  masks_avx2(line + 8, blanks_low, digits_low);
  masks_avx2(line + 40, blanks_high, digits_high);
  c.blanks = blanks_low | blanks_high << 32;
  c.digits = digits_low | digits_high << 32;
}

[[gnu::target("avx2")]] inline __m256i four_fields_avx2(const char* line, int offset) {
  constexpr char z = -1;
  const __m256i front = _mm256_setr_epi8(z, z, 0, 1, 2, 3, 4, 5, z, z, 6, 7, 8, 9, 10, 11,  //
                                         z, z, 0, 1, 2, 3, 4, 5, z, z, 6, 7, 8, 9, 10, 11);
  const __m256i text =
      _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(line + offset))),
                              _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + offset + 12)), 1);
  const __m256i digits = _mm256_shuffle_epi8(_mm256_subs_epu8(text, _mm256_set1_epi8('0')), front);
  const __m256i pairs = _mm256_maddubs_epi16(digits, _mm256_set1_epi16(0x010A));
  return _mm256_madd_epi16(pairs, _mm256_setr_epi16(0, 10000, 100, 1, 0, 10000, 100, 1, 0, 10000, 100, 1, 0, 10000,
                                                    100, 1));
}

[[gnu::target("avx2")]] inline Magnitudes magnitudes_avx2(const char* line) {
  // Per 128-bit half: [f0 f1 f4 f5 | f2 f3 f6 f7], then the middle halves swapped.
  const __m256i sums = _mm256_hadd_epi32(four_fields_avx2(line, 12), four_fields_avx2(line, 36));
  const __m256i ordered = _mm256_permute4x64_epi64(sums, _MM_SHUFFLE(3, 1, 2, 0));
  // Fields 8-9 at bytes 4-9 and 10-15 of the load that ends with column 72.
  constexpr char z = -1;  // a shuffle index that gives 0
  const __m128i back = _mm_setr_epi8(z, z, 4, 5, 6, 7, 8, 9, z, z, 10, 11, 12, 13, 14, 15);
  const __m128i last = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + 56));
  const __m128i f89 = _mm_madd_epi16(
      _mm_maddubs_epi16(_mm_shuffle_epi8(_mm_subs_epu8(last, _mm_set1_epi8('0')), back), _mm_set1_epi16(0x010A)),
      _mm_setr_epi16(0, 10000, 100, 1, 0, 10000, 100, 1));
  const __m128i year = _mm_maddubs_epi16(_mm_subs_epu8(columns_at(line, 0), _mm_set1_epi8('0')), _mm_set1_epi16(0x010A));
  return {_mm_cvtsi128_si32(_mm_madd_epi16(year, _mm_setr_epi16(100, 1, 0, 0, 0, 0, 0, 0))),
          _mm256_castsi256_si128(ordered), _mm256_extracti128_si256(ordered, 1), _mm_hadd_epi32(f89, f89)};
}

// The quick path's tests before the conversion (see take_plain_line): the
// record's length and tag, the ID, and the columns of the year and value
// fields.
template <class Convert>
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
  Convert::classify(line, c);
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

// The versions of the quick path, by the instructions they use: SSE2
// converts the digit pairs of its classification; AVX2 converts from the
// text itself and needs no pairs.
struct Sse2 {
  static void classify(const char* line, Columns& c) { classify_sse2(line, c); }
  static Magnitudes convert(const char*, const Columns& c) { return magnitudes(c.pairs); }
};
// Not always_inline, these: they are inlined where the caller allows the
// instructions they use.
struct Avx2 {
  [[gnu::target("avx2")]] static void classify(const char* line, Columns& c) { classify_avx2(line, c); }
  [[gnu::target("avx2")]] static Magnitudes convert(const char* line, const Columns&) {
    return magnitudes_avx2(line);
  }
};

template <class Convert>
[[gnu::always_inline]] inline bool take_one(std::string_view record, const LineExpectation& expect, float* values) {
  Columns c;
  return plain_line_columns<Convert>(record, expect, c) &&
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
  LineExpectation next = expect;  // kept in registers, not through the reference
  while (taken < max_lines && left > kLine && p[kLine] == '\n') {
    std::uint64_t id;
    std::memcpy(&id, p, sizeof id);
    const std::uint64_t x = id ^ (kOnes * '\n');  // a zero byte where the ID holds a line feed
    if ((((x - kOnes) & ~x & (kOnes << 7)) & ~next.id_mask) != 0) break;
    if (!take_one<Convert>(std::string_view(p, kLine), next, values)) break;
    next.year += 10;
    values += 10;
    p += kLine + 1;
    left -= kLine + 1;
    ++taken;
  }
  expect.year = next.year;
  return taken;
}

[[gnu::target("avx2")]] bool take_plain_line_avx2(std::string_view record, const LineExpectation& expect,
                                                  float* values) {
  return take_one<Avx2>(record, expect, values);
}
[[gnu::target("avx2")]] std::size_t take_plain_lines_avx2(std::string_view text, LineExpectation& expect,
                                                          float* values, std::size_t max_lines) {
  return take_many<Avx2>(text, expect, values, max_lines);
}
bool take_plain_line_sse2(std::string_view record, const LineExpectation& expect, float* values) {
  return take_one<Sse2>(record, expect, values);
}
std::size_t take_plain_lines_sse2(std::string_view text, LineExpectation& expect, float* values,
                                  std::size_t max_lines) {
  return take_many<Sse2>(text, expect, values, max_lines);
}

#endif

}  // namespace

std::vector<QuickPath> quick_paths() {
  std::vector<QuickPath> paths;
#if defined(__SSE2__)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) paths.push_back({"AVX2", take_plain_line_avx2, take_plain_lines_avx2});
  paths.push_back({"SSE2", take_plain_line_sse2, take_plain_lines_sse2});
#else
  // Without the vector instructions every line goes the full way.
  paths.push_back({"none", [](std::string_view, const LineExpectation&, float*) { return false; },
                   [](std::string_view, LineExpectation&, float*, std::size_t) { return std::size_t{0}; }});
#endif
  return paths;
}

const QuickPath kQuickPath = quick_paths().front();

}  // namespace ringave
