// The Tucson reader's quick path for the common later line of a series:
// checked and converted in one pass, with SSSE3 or AVX2 where the processor
// has them (chosen once at start-up), a block of lines at a time.
// The full parse (tucson_line.cpp, tucson_read.cpp) decides every line it
// refuses.
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "formats/tucson_columns.h"
#include "formats/tucson_line.h"

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace ringave {

namespace {

#if defined(__SSE2__)
using namespace tucson_columns;

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

// The same with AVX2, thirty-two columns at a time: the classification of
// columns 9-72 in two loads, value fields 0-3 and 4-7 each converted in one
// register (two loads of two fields side by side), fields 8-9 and the year
// as with SSSE3.
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
  const Magnitudes rest = magnitudes_ssse3(line);  // fields 8-9 and the year; the rest goes unused
  return {rest.year, _mm256_castsi256_si128(ordered), _mm256_extracti128_si256(ordered, 1), rest.f8};
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
// converts the digit pairs of its classification; SSSE3 and AVX2 convert
// from the text itself and need no pairs.
struct Sse2 {
  static void classify(const char* line, Columns& c) { tucson_columns::classify<true>(line, c); }
  static Magnitudes convert(const char*, const Columns& c) { return magnitudes(c.pairs); }
};
// Not always_inline, these: they are inlined where the caller allows the
// instructions they use.
struct Ssse3 {
  static void classify(const char* line, Columns& c) { tucson_columns::classify<false>(line, c); }
  [[gnu::target("ssse3")]] static Magnitudes convert(const char* line, const Columns&) {
    return magnitudes_ssse3(line);
  }
};
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
[[gnu::target("ssse3")]] bool take_plain_line_ssse3(std::string_view record, const LineExpectation& expect,
                                                    float* values) {
  return take_one<Ssse3>(record, expect, values);
}
[[gnu::target("ssse3")]] std::size_t take_plain_lines_ssse3(std::string_view text, LineExpectation& expect,
                                                            float* values, std::size_t max_lines) {
  return take_many<Ssse3>(text, expect, values, max_lines);
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
  if (__builtin_cpu_supports("ssse3")) paths.push_back({"SSSE3", take_plain_line_ssse3, take_plain_lines_ssse3});
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
