#include "records/numeric_field.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace ringave {
namespace numeric_detail {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

// One pass over the field as a small state machine (sign, mantissa,
// exponent letter, exponent) whose states share the digit buffer and its
// counters; split up, each piece would need all of them, so it stays whole.
const char* exact_real_field(std::string_view f, std::int32_t d, float& out) {
  constexpr int kMaxDigits = 120;
  char buf[kMaxDigits + 32];
  int nd = 0;
  bool sticky = false;
  std::int64_t dropped = 0;    // significant digits left out of buf
  std::int64_t frac = 0;       // digits after the point
  bool mantissa_digits = false;
  bool point = false;
  bool neg = false;
  // 0: nothing yet, 1: mantissa, 2: after exponent letter, 3: exponent sign
  // or digits seen.
  int phase = 0;
  bool exp_neg = false;
  bool exp_digits = false;
  std::int64_t exp = 0;

  for (char c : f) {
    if (is_blank(c)) continue;
    if (c >= '0' && c <= '9') {
      if (phase >= 2) {
        exp_digits = true;
        phase = 3;
        if (exp < 1000000000) exp = exp * 10 + (c - '0');
        continue;
      }
      phase = 1;
      mantissa_digits = true;
      if (point) ++frac;
      if (nd == 0 && c == '0') continue;  // leading zero
      if (nd < kMaxDigits) {
        buf[nd++] = c;
      } else {
        ++dropped;
        if (c != '0') sticky = true;
      }
      continue;
    }
    if (c == '.') {
      if (point || phase >= 2) return kIllegalCharacter;
      point = true;
      phase = 1;
      continue;
    }
    if (c == '+' || c == '-') {
      if (phase == 0) {
        neg = c == '-';
        phase = 1;
      } else if (phase == 1) {  // a sign after the mantissa starts the exponent
        exp_neg = c == '-';
        phase = 3;
      } else if (phase == 2) {
        exp_neg = c == '-';
        phase = 3;
      } else {
        return kIllegalCharacter;
      }
      continue;
    }
    if (c == 'E' || c == 'e' || c == 'D' || c == 'd' || c == 'Q' || c == 'q') {
      if (phase >= 2) return kIllegalCharacter;
      phase = 2;
      continue;
    }
    return kIllegalCharacter;
  }
  const bool has_exp = phase >= 2;
  if (has_exp && (!exp_digits || !mantissa_digits)) return kIllegalCharacter;
  if (nd == 0) {
    out = 0.0f;
    return nullptr;
  }
  if (!point) frac = d < 0 ? 0 : d;
  std::int64_t scale = (exp_neg ? -exp : exp) - frac + dropped;
  if (sticky) {
    buf[nd++] = '1';
    --scale;
  }
  if (scale > 100000) scale = 100000;
  if (scale < -100000) scale = -100000;
  char* p = buf + nd;
  *p++ = 'e';
  p = std::to_chars(p, buf + sizeof(buf) - 1, scale).ptr;
  *p = '\0';
  const float v = std::strtof(buf, nullptr);
  if (std::isinf(v)) return kNumericOverflow;
  out = neg ? -v : v;
  return nullptr;
}

}  // namespace numeric_detail
}  // namespace ringave
