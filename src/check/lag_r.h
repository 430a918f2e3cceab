// Pearson's r of a filtered core against a reference series (a site master,
// the mean of the other cores of its tree) at every lag from -kLargestLag to
// +kLargestLag years, over the years both have a value at that lag, and the
// critical value of r that the check holds it to.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace ringave {

inline constexpr std::int32_t kLargestLag = 10;
inline constexpr std::int32_t kLags = 2 * kLargestLag + 1;

// r and the number of common years at one lag; r is not a number under 3
// common years or without variance.
struct LagR {
  float r = 0.0F;
  std::int32_t years = 0;
};

// Values and presence as plain numbers: a missing value is 0 with
// presence 0, so that every year enters every sum without a branch.
struct PlainSeries {
  std::vector<float> v, m, v2;
  void take(std::span<const float> s);
};

// The core `x` (value i for year first + i) and the reference `ref` (value
// j for year first - kLargestLag + j, so ref.size() == x.size() + 2 *
// kLargestLag), both not a number where they have no value, taken once for
// all the lags and segments asked of them.
class LagCorrelator {
 public:
  void take(std::span<const float> x, std::span<const float> ref);
  // r of the core moved by `shift` years (x[i] against the reference at
  // year first + i + shift), over x's values i in [from, to).
  LagR at(std::int32_t shift, std::size_t from, std::size_t to) const;
  // r at every lag over all of x: out[s + kLargestLag] for lag s.
  void all(std::span<LagR, kLags> out) const;
  std::size_t size() const { return x_.v.size(); }

 private:
  PlainSeries x_, ref_;
};

// The one-tailed 99 % critical value of r over n pairs (n - 2 degrees of
// freedom): r above it is significant at 99 %. From Student's t quantile
// (the Cornish-Fisher expansion of the normal one, within 0.1 % of the
// tables from 10 degrees of freedom on). n < 12 gives 1.
double critical_r(std::int32_t n);

}  // namespace ringave
