// Numeric fields of a record: the text of one integer or real field turned
// into its 32-bit value by the rules of the I and F layout elements, for the
// layout engine and list-directed reading.
//
// A fault is a message (const char*, null for none), not an Error: these
// parses run for every field of every record, and the transfer engine keeps
// the message in a register until a statement settles its outcome; only
// then, for an outcome the statement does not handle, does it become the
// record layer's fatal report (an Error). Building or throwing an Error per
// field would cost the readers their speed.
#pragma once

#include <cstdint>
#include <string_view>

#include "records/outcome.h"

namespace ringave {

// An integer field: blanks and tabs anywhere are ignored; one sign before
// the first digit; empty or a sign alone is 0. On success stores the value
// in `out` and returns nullptr. Otherwise leaves `out` as it was and returns
// the fault's message: kIllegalCharacter for any other character (a second
// sign, a sign after a digit, a point, a letter), kNumericOverflow for a
// value outside 32 bits. Never throws.
inline const char* parse_integer_field(std::string_view field, std::int32_t& out);

// A real field read with d implied decimals: blanks and tabs ignored; an
// optional sign, digits with at most one point, and an optional exponent (an
// E, D or Q letter with an optionally signed number, or a sign right after
// the digits). Without a point the last d digits are the fraction (d < 0
// counts as 0). Empty, a sign alone or no digit but zeros is 0. The result is
// the correctly rounded float of the decimal value. On success stores it in
// `out` and returns nullptr; otherwise leaves `out` as it was and returns
// kIllegalCharacter (a misplaced or unknown character, an exponent without
// digits or without a mantissa) or kNumericOverflow (beyond the float
// range). Never throws.
inline const char* parse_real_field(std::string_view field, std::int32_t d, float& out);

// ---------------------------------------------------------------------------
// Inline so that the layout engine's field loop and list-directed reading pay
// no call per field.

namespace numeric_detail {

// The common field (blanks, a leading sign, digits and a point, no
// exponent) skips strtof: when the digits m are below 2^24 and the
// fraction has k <= 10 digits, m and 10^k are both exact floats, so the one
// rounding of float(m) / 10^k gives the correctly rounded value that strtof
// would.
inline bool plain_real_field(std::string_view f, std::int32_t d, float& out) {
  static constexpr float kPow10[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
  std::uint32_t m = 0;
  std::int64_t frac = 0;
  bool point = false;
  bool neg = false;
  bool started = false;  // a digit, point or sign seen: a sign now would start an exponent
  for (char c : f) {
    if (c == ' ' || c == '\t') continue;
    const unsigned digit = static_cast<unsigned char>(c) - static_cast<unsigned>('0');
    if (digit < 10) {
      started = true;
      if (point) ++frac;
      m = m * 10 + digit;  // below 2^24 before: no overflow
      if (m >= (1u << 24)) return false;
      continue;
    }
    if (c == '.' && !point) {
      point = true;
      started = true;
      continue;
    }
    if ((c == '+' || c == '-') && !started) {
      neg = c == '-';
      started = true;
      continue;
    }
    return false;
  }
  if (m == 0) {
    out = 0.0f;
    return true;
  }
  const std::int64_t k = point ? frac : (d < 0 ? 0 : d);
  if (k > 10) return false;
  const float v = static_cast<float>(m) / kPow10[k];
  out = neg ? -v : v;
  return true;
}

// Any real field that plain_real_field refuses: the significant digits go
// into a stack buffer and are converted by strtof, which rounds correctly to
// float. Beyond 120 significant digits the rest is folded into one sticky
// digit: halfway points between floats need fewer digits than that, so the
// rounding stays correct.
const char* exact_real_field(std::string_view f, std::int32_t d, float& out);

}  // namespace numeric_detail

inline const char* parse_integer_field(std::string_view f, std::int32_t& out) {
  bool neg = false;
  bool started = false;
  bool over = false;
  std::uint64_t v = 0;
  for (char c : f) {
    if (c == ' ' || c == '\t') continue;
    if (c >= '0' && c <= '9') {
      started = true;
      if (!over) {
        v = v * 10 + static_cast<std::uint64_t>(c - '0');
        if (v > 2147483648ull) over = true;
      }
      continue;
    }
    if ((c == '+' || c == '-') && !started) {
      started = true;
      neg = c == '-';
      continue;
    }
    return kIllegalCharacter;
  }
  if (over || (!neg && v > 2147483647ull)) return kNumericOverflow;
  out = neg ? static_cast<std::int32_t>(-static_cast<std::int64_t>(v)) : static_cast<std::int32_t>(v);
  return nullptr;
}

inline const char* parse_real_field(std::string_view f, std::int32_t d, float& out) {
  if (numeric_detail::plain_real_field(f, d, out)) return nullptr;
  return numeric_detail::exact_real_field(f, d, out);
}

}  // namespace ringave
