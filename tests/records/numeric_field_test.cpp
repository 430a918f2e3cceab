// Numeric fields have short paths beside the general ones. Real fields (Fw.d)
// holding a plain decimal of few digits skip strtof; whatever the path, the
// value must be the correctly rounded single-precision value of the decimal
// the field spells, which strtof gives: compared here on many random fields.
// The plain integer field of the Tucson fast path must agree with the
// general integer field wherever it accepts a field.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <tuple>

#include "records/numeric_field.h"
#include "records/outcome.h"
#include "records/record_io.h"
#include "records/transfer.h"

namespace ringave {
namespace {

// The decimal the field spells, as strtof reads it: blanks dropped, the
// exponent (after a letter or a sign that follows the mantissa) added up,
// and without a point the last d digits of the mantissa are the fraction.
float reference(const std::string& field, int d) {
  std::string s;
  for (char c : field) s += c == ' ' ? "" : std::string(1, c);
  if (s.find_first_of("0123456789") == std::string::npos) return 0.0f;
  std::size_t e = s.find_first_of("eE");
  const bool letter = e != std::string::npos;
  if (!letter) e = s.find_first_of("+-", 1);
  long exponent = e == std::string::npos ? 0 : std::strtol(s.c_str() + e + letter, nullptr, 10);
  std::string mantissa = s.substr(0, e);
  if (mantissa.find('.') == std::string::npos) exponent -= d;
  return std::strtof((mantissa + "e" + std::to_string(exponent)).c_str(), nullptr) + 0.0f;  // +0 for -0
}

// The field read with (Fw.d), w its length, against the reference bit for bit.
void expect_bits(const std::string& field, int d) {
  InternalSource src(field);
  float got = -12345.0f;
  EXPECT_EQ(read_formatted(src, "(f" + std::to_string(field.size()) + "." + std::to_string(d) + ")", {got}, Handles::error),
            Outcome::done) << "[" << field << "] d=" << d;
  const float want = reference(field, d);
  EXPECT_EQ(std::memcmp(&got, &want, 4), 0) << "[" << field << "] d=" << d << ": " << got << " vs " << want;
}

TEST(RealField, HandMadeFieldsMatchStrtof) {
  const std::pair<const char*, int> cases[] = {
      {"     351", 0}, {"     351", 2}, {"    -351", 3}, {"  1.5   ", 0}, {"   .1   ", 0}, {"-.1", 0}, {"+.25", 0},
      {"0.3", 0}, {"16777215", 0}, {"16777216", 0}, {"16777217", 0}, {"16777217", 3}, {"9999999", 7}, {"1 2 3", 1},
      {"0.0000000001", 0}, {"0.00000000001", 0}, {"0000000123", 5}, {"123456789", 9}, {"1234567890", 10},
      {"3.4028235e38", 0}, {"1.5e-3", 0}, {"15-3", 0}, {"  -0.0", 0}, {"-0", 0}, {"        ", 2}, {"8388609", 1},
      {"33554431", 1}, {"0.1", 0}, {"0.7", 0}, {"9.999999", 0}, {"5.-1", 0},
  };
  for (const auto& [field, d] : cases) expect_bits(field, d);
}

// The short path takes what Tucson and Compact files hold (digits below
// 2^24, up to ten decimals) and leaves the rest to strtof.
TEST(RealField, ShortPathTakesThePlainFields) {
  const std::tuple<const char*, int, bool> cases[] = {
      {"12345678", 0, true},       {"167772150", 0, false},  {"000012345678", 0, true},   {"16777215", 0, true},
      {"16777216", 0, false},      {"-351", 3, true},        {"0.0000000001", 0, true},   {"0.00000000001", 0, false},
      {"12345678901", 10, false},  {"1234", 10, true},       {"1234", 11, false},         {"1.5e-3", 0, false},
      {".-1", 0, false},           {"+-1", 0, false},
  };
  for (const auto& [field, d, taken] : cases) {
    float v = 0.0f;
    EXPECT_EQ(numeric_detail::plain_real_field(field, d, v), taken) << field << " d=" << d;
  }
}

TEST(RealField, RandomFieldsMatchStrtof) {
  std::mt19937_64 rng(24);
  for (int i = 0; i < 200000 && !HasFailure(); ++i) {
    std::string f;
    if (rng() % 3 == 0) f += rng() % 2 ? '-' : '+';
    const int ndig = 1 + static_cast<int>(rng() % 12);
    const int point = rng() % 2 ? static_cast<int>(rng() % (ndig + 1)) : -1;
    for (int k = 0; k < ndig; ++k) {
      if (k == point) f += '.';
      f += static_cast<char>('0' + rng() % 10);
      if (rng() % 16 == 0) f += ' ';
    }
    if (point == ndig) f += '.';
    if (rng() % 10 == 0) f += "e" + std::to_string(static_cast<int>(rng() % 20) - 10);
    f.insert(0, rng() % 4, ' ');
    expect_bits(f, static_cast<int>(rng() % 13));
  }
}

}  // namespace
}  // namespace ringave
