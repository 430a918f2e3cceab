// The columns of a Tucson data line as the vector parses see them: columns
// 9-72 (the year and ten value fields of an "(a8,i4,10i6)" line) classified
// sixteen at a time into bit masks, and the digits converted to numbers
// without a branch per character, for the quick path for later lines
// (tucson_quick.cpp); internal to src/formats/.
#pragma once

#include <cstdint>

#include "formats/tucson_line.h"

#if defined(__SSE2__)
#include <emmintrin.h>

namespace ringave::tucson_columns {

// Columns 9-72 as bits 0-63: the year (bits 0-3) and ten value fields of six
// columns (bits 4-9, 10-15, ..., 58-63).
constexpr std::uint64_t field_bits(int which) {
  std::uint64_t bits = std::uint64_t{1} << (which == 0 ? 0 : 3);  // first / last column of the year
  for (int k = 0; k < 10; ++k) bits |= std::uint64_t{1} << (4 + 6 * k + (which == 0 ? 0 : 5));
  return bits;
}
constexpr std::uint64_t kLastColumns = field_bits(1);
constexpr std::uint64_t kYearColumns = 0xF;
constexpr std::uint64_t kYearLastColumn = 0x8;

// What the four 16-column loads of columns 9-72 tell: per column a bit of
// each class, and the digits taken two columns at a time.
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

}  // namespace ringave::tucson_columns

#endif
