#include "records/numeric_field.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace ringave {
namespace numeric_detail {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

// A real field taken apart in one pass: its significant digits (at most
// kMaxDigits kept, the rest counted, a non-zero one among them remembered),
// where the decimal point stands, the sign and the exponent.
class RealText {
 public:
  // Takes one character; false when it cannot stand there.
  bool take(char c) {
    if (c >= '0' && c <= '9') {
      digit(c);
      return true;
    }
    if (c == '.') {
      if (point_ || part_ >= Part::exponent_letter) return false;
      point_ = true;
      part_ = Part::mantissa;
      return true;
    }
    if (c == '+' || c == '-') return sign(c == '-');
    if (c == 'E' || c == 'e' || c == 'D' || c == 'd' || c == 'Q' || c == 'q') {
      if (part_ >= Part::exponent_letter) return false;
      part_ = Part::exponent_letter;
      return true;
    }
    return false;
  }

  // The value, with d implied decimals where the field has no point; the
  // fault, or null.
  const char* value(std::int32_t d, float& out) {
    const bool has_exp = part_ >= Part::exponent_letter;
    if (has_exp && (!exp_digits_ || !mantissa_digits_)) return kIllegalCharacter;
    if (nd_ == 0) {
      out = 0.0f;
      return nullptr;
    }
    if (!point_) frac_ = d < 0 ? 0 : d;
    std::int64_t scale = (exp_neg_ ? -exp_ : exp_) - frac_ + dropped_;
    if (sticky_) {
      buf_[nd_++] = '1';
      --scale;
    }
    if (scale > 100000) scale = 100000;
    if (scale < -100000) scale = -100000;
    char* p = buf_ + nd_;
    *p++ = 'e';
    p = std::to_chars(p, buf_ + sizeof(buf_) - 1, scale).ptr;
    *p = '\0';
    const float v = std::strtof(buf_, nullptr);
    if (std::isinf(v)) return kNumericOverflow;
    out = neg_ ? -v : v;
    return nullptr;
  }

 private:
  // What the field has shown so far: nothing, the mantissa, an exponent
  // letter, an exponent sign or digits.
  enum class Part { none, mantissa, exponent_letter, exponent };
  static constexpr int kMaxDigits = 120;

  void digit(char c) {
    if (part_ >= Part::exponent_letter) {
      exp_digits_ = true;
      part_ = Part::exponent;
      if (exp_ < 1000000000) exp_ = exp_ * 10 + (c - '0');
      return;
    }
    part_ = Part::mantissa;
    mantissa_digits_ = true;
    if (point_) ++frac_;
    if (nd_ == 0 && c == '0') return;  // leading zero
    if (nd_ < kMaxDigits) {
      buf_[nd_++] = c;
    } else {
      ++dropped_;
      if (c != '0') sticky_ = true;
    }
  }

  // The mantissa's sign first; a sign after the mantissa or its exponent
  // letter starts the exponent; one in the exponent cannot stand there.
  bool sign(bool minus) {
    if (part_ == Part::exponent) return false;
    (part_ == Part::none ? neg_ : exp_neg_) = minus;
    part_ = part_ == Part::none ? Part::mantissa : Part::exponent;
    return true;
  }

  char buf_[kMaxDigits + 32];
  int nd_ = 0;
  bool sticky_ = false;
  std::int64_t dropped_ = 0;  // significant digits left out of buf_
  std::int64_t frac_ = 0;     // digits after the point
  bool mantissa_digits_ = false;
  bool point_ = false;
  bool neg_ = false;
  Part part_ = Part::none;
  bool exp_neg_ = false;
  bool exp_digits_ = false;
  std::int64_t exp_ = 0;
};

const char* exact_real_field(std::string_view f, std::int32_t d, float& out) {
  RealText text;
  for (char c : f) {
    if (is_blank(c)) continue;
    if (!text.take(c)) return kIllegalCharacter;
  }
  return text.value(d, out);
}

}  // namespace numeric_detail
}  // namespace ringave
