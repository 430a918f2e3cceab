// The values of a Heidelberg block: the numbers of a data line, read by
// whitespace (next_number) or, for the common line of a tree's values (ten
// 6-column fields, each a blank, blanks and 1 to 5 digits), all at once
// (ten_fields, which takes only lines the general read takes the same way);
// their scaling to millimetres; and where they go, year by year.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>

#include "formats/heidelberg.h"
#include "records/record_io.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ringave::heidelberg {

// The blanks that part the numbers of a data line (the units have already
// turned tabs into blanks and dropped carriage returns).
struct Blanks {
  bool is[256] = {};
  constexpr Blanks() {
    for (const char c : {' ', '\t', '\r', '\f', '\v'}) is[static_cast<unsigned char>(c)] = true;
  }
};
inline constexpr Blanks kBlanks;
inline bool blank_at(const char* p) { return kBlanks.is[static_cast<unsigned char>(*p)]; }

// The next whole number of a data line from `p` on (blanks before it passed
// over): an optional sign and 1 to 9 digits ending at a blank or the line's
// end `e`, `p` set past it. Token::end at the line's end; Token::wrong for
// any other word, `p` set past it.
enum class Token { number, end, wrong };
inline Token next_number(const char*& p, const char* e, std::int32_t& v) {
  while (p < e && blank_at(p)) ++p;
  if (p == e) return Token::end;
  const bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  const char* const digits = p;
  const char* const most = e - digits > 9 ? digits + 9 : e;
  std::int32_t n = 0;
  while (p < most && static_cast<unsigned>(*p - '0') < 10u) n = n * 10 + (*p++ - '0');
  if (p == digits || (p < e && !blank_at(p))) {
    while (p < e && !blank_at(p)) ++p;
    return Token::wrong;
  }
  v = negative ? -n : n;
  return Token::number;
}

// Positions 0 .. 63 of a line of ten 6-column fields: the weight of each
// digit in its field's number (the first column of a field is a blank and
// weighs nothing, as do the columns past the tenth field).
struct FieldWeights {
  alignas(16) std::int16_t w[64] = {};
  constexpr FieldWeights() {
    const std::int16_t powers[6] = {0, 10000, 1000, 100, 10, 1};
    for (int q = 0; q < 60; ++q) w[q] = powers[q % 6];
  }
};
inline constexpr FieldWeights kFieldWeights;

// The common line of a tree's values, ten 6-column fields, each a blank, then
// blanks, then 1 to 5 digits, and a line feed in column 61: its ten numbers
// into v[0 .. 10), true. Reads p[0 .. 64): the caller makes sure they are
// there. Every line it takes, the general read (next_number) takes the same
// way; it declines every other line, and every line where SSE2 is missing.
inline bool ten_fields(const char* p, std::int32_t* v) {
#if defined(__SSE2__)
  constexpr std::uint64_t kLine = (1ull << 60) - 1;
  constexpr std::uint64_t kFirsts = 0x041041041041041ull;  // columns 1, 7, .., 55 of the fields
  constexpr std::uint64_t kLasts = kFirsts << 5;
  if (p[60] != '\n') return false;
  const __m128i zero = _mm_set1_epi8('0'), nine = _mm_set1_epi8(9), blank = _mm_set1_epi8(' ');
  __m128i digits[4];
  std::uint64_t is_digit = 0, is_blank = 0;
  for (int i = 0; i < 4; ++i) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
    const __m128i d = _mm_sub_epi8(bytes, zero);
    const __m128i digit = _mm_cmpeq_epi8(_mm_min_epu8(d, nine), d);
    digits[i] = _mm_and_si128(d, digit);
    is_digit |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(digit))) << (16 * i);
    is_blank |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, blank))))
                << (16 * i);
  }
  // Blanks and digits only; each field a blank first, a digit last, and no
  // blank after a digit inside it.
  if (((is_digit | is_blank) & kLine) != kLine || (is_blank & kFirsts) != kFirsts ||
      (is_digit & kLasts) != kLasts || ((is_digit << 1) & is_blank & kLine & ~kFirsts) != 0)
    return false;
  // Each digit times its weight, summed in pairs of columns: three pairs a field.
  alignas(16) std::int32_t pairs[32];
  const __m128i none = _mm_setzero_si128();
  for (int i = 0; i < 4; ++i) {
    const __m128i* weights = reinterpret_cast<const __m128i*>(kFieldWeights.w + 16 * i);
    _mm_store_si128(reinterpret_cast<__m128i*>(pairs + 8 * i),
                    _mm_madd_epi16(_mm_unpacklo_epi8(digits[i], none), _mm_load_si128(weights)));
    _mm_store_si128(reinterpret_cast<__m128i*>(pairs + 8 * i + 4),
                    _mm_madd_epi16(_mm_unpackhi_epi8(digits[i], none), _mm_load_si128(weights + 1)));
  }
  for (int f = 0; f < 10; ++f) v[f] = pairs[3 * f] + pairs[3 * f + 1] + pairs[3 * f + 2];
  return true;
#else
  (void)p;
  (void)v;
  return false;
#endif
}

// A unit's numbers in millimetres: as the hundredths they are (times 10 for
// tenths, 100 for millimetres) times 0.01f, thousandths then times 0.1f, as
// the Tucson reader scales its stored hundredths (the other units times 1.0f,
// which changes no bit).
struct Scale {
  std::int64_t hundredths = 1;
  float tail = 1.0f;
  explicit Scale(HeidelbergUnit unit)
      : hundredths(unit == HeidelbergUnit::tenths ? 10 : unit == HeidelbergUnit::millimetres ? 100 : 1),
        tail(unit == HeidelbergUnit::thousandths ? 0.1f : 1.0f) {}
  float of(std::int32_t v) const { return static_cast<float>(static_cast<std::int64_t>(v) * hundredths) * 0.01f * tail; }
};

// What the values of a block give, year by year.
struct Years {
  float* out;
  std::int64_t capacity;
  Scale scale;
  std::int64_t years = 0;
  std::int64_t last_nonzero = -1;
  std::int64_t first_negative = -1;

  // One year: its value (a chronology's count of 0 gives none) and whether
  // any of its numbers is not 0.
  void take(std::int32_t value, bool none, bool nonzero) {
    const std::int64_t y = years++;
    if (nonzero) last_nonzero = y;
    if (y >= capacity) return;
    out[y] = none ? std::numeric_limits<float>::quiet_NaN() : scale.of(value);
    if (!none && value < 0 && first_negative < 0) first_negative = y;
  }
};

// Takes the common lines of a tree's values (heidelberg::ten_fields), a
// block of the file at a time (Unit::take_lines): a run of them goes by
// without a call per line.
class PlainTreeLines final : public LineTaker {
 public:
  explicit PlainTreeLines(Years& got) : got_(got) {}

  std::size_t take(std::string_view text, std::size_t& lines) override {
    constexpr std::size_t kLineBytes = 61, kRead = 64;
    std::size_t at = 0;
    std::int32_t v[10];
    for (lines = 0; text.size() - at >= kRead && heidelberg::ten_fields(text.data() + at, v); ++lines) {
      for (const std::int32_t n : v) got_.take(n, false, n != 0);
      at += kLineBytes;
    }
    return at;
  }

 private:
  Years& got_;
};

}  // namespace ringave::heidelberg
