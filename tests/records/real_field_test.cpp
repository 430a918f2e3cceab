// Real fields (Fw.d) are read by a short path when they hold a plain decimal
// of few digits, and through strtof otherwise. Whatever the path, the value
// must be the correctly rounded single-precision value of the decimal the
// field spells, which strtof gives: compared here on many random fields.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "records/outcome.h"
#include "records/record_io.h"
#include "records/transfer.h"

namespace ringave {
namespace {

// The field read with (Fw.d), w its length.
float read_field(const std::string& field, int d) {
  const std::string text = "(f" + std::to_string(field.size()) + "." + std::to_string(d) + ")";
  InternalSource src(field);
  float v = -12345.0f;
  EXPECT_EQ(read(src, text, {v}, Handles::error), Outcome::done) << "[" << field << "] d=" << d;
  return v;
}

// The decimal the field spells, as strtof reads it: blanks dropped, the
// exponent (after a letter or a sign that follows the mantissa) added up,
// and without a point the last d digits of the mantissa are the fraction.
float reference(const std::string& field, int d) {
  std::string s;
  for (char c : field)
    if (c != ' ') s.push_back(c);
  if (s.find_first_of("0123456789") == std::string::npos) return 0.0f;
  std::size_t e = s.find_first_of("eE");
  if (e == std::string::npos) e = s.find_first_of("+-", 1);
  std::string mantissa = s.substr(0, e);
  long exponent = 0;
  if (e != std::string::npos) exponent = std::strtol(s.c_str() + e + (s[e] == 'e' || s[e] == 'E' ? 1 : 0), nullptr, 10);
  if (mantissa.find('.') == std::string::npos) exponent -= d;
  mantissa += "e" + std::to_string(exponent);
  return std::strtof(mantissa.c_str(), nullptr);
}

void expect_bits(const std::string& field, int d) {
  const float got = read_field(field, d);
  float want = reference(field, d);
  if (want == 0.0f) want = 0.0f;  // an all-zero field is +0 whatever its sign
  std::uint32_t a, b;
  std::memcpy(&a, &got, 4);
  std::memcpy(&b, &want, 4);
  EXPECT_EQ(a, b) << "[" << field << "] d=" << d << ": " << got << " vs " << want;
}

TEST(RealField, HandMadeFieldsMatchStrtof) {
  struct Case {
    const char* field;
    int d;
  };
  const Case cases[] = {
      {"     351", 0},      {"     351", 2},       {"    -351", 3},     {"  1.5   ", 0},       {"   .1   ", 0},
      {"-.1", 0},           {"+.25", 0},           {"0.3", 0},          {"16777215", 0},      {"16777216", 0},
      {"16777217", 0},      {"16777217", 3},       {"9999999", 7},      {"1 2 3", 1},         {"0.0000000001", 0},
      {"0.00000000001", 0}, {"0000000123", 5},     {"123456789", 9},   {"1234567890", 10},   {"3.4028235e38", 0},
      {"1.5e-3", 0},        {"15-3", 0},           {"  -0.0", 0},       {"-0", 0},             {"        ", 2},
      {"8388609", 1},       {"33554431", 1},       {"0.1", 0},          {"0.7", 0},            {"9.999999", 0},
  };
  for (const Case& c : cases) expect_bits(c.field, c.d);
}

TEST(RealField, RandomFieldsMatchStrtof) {
  std::mt19937_64 rng(24);
  for (int i = 0; i < 200000; ++i) {
    std::string f;
    if (rng() % 3 == 0) f.push_back(rng() % 2 ? '-' : '+');
    const int ndig = 1 + static_cast<int>(rng() % 12);
    const int point = rng() % 2 ? static_cast<int>(rng() % (ndig + 1)) : -1;
    for (int k = 0; k < ndig; ++k) {
      if (k == point) f.push_back('.');
      f.push_back(static_cast<char>('0' + rng() % 10));
      if (rng() % 16 == 0) f.push_back(' ');
    }
    if (point == ndig) f.push_back('.');
    if (rng() % 10 == 0) f += "e" + std::to_string(static_cast<int>(rng() % 20) - 10);
    f.insert(0, rng() % 4, ' ');
    const int d = static_cast<int>(rng() % 13);
    expect_bits(f, d);
    if (::testing::Test::HasFailure()) break;
  }
}

}  // namespace
}  // namespace ringave
