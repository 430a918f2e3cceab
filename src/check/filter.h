// The filtered series of a core: its ring widths turned into a high-pass,
// serially uncorrelated index, so that the usual critical values of Pearson's
// r hold when cores are compared year by year. Every core of a file goes
// through the same filter:
//
//   1. the age trend: a discrete cubic smoothing spline (the Whittaker
//      smoother of second differences) whose frequency response is 50 % at
//      a period of 32 years; the ring widths are divided by it (the ratio
//      index, 1 on the trend);
//   2. ln(1 + index): the log transform that makes wide and narrow rings
//      weigh alike and still takes a zero ring (a locally absent ring, index
//      0, gives 0);
//   3. prewhitening: the residuals of an autoregressive model of order 0..5
//      (Yule-Walker, the order by Akaike's criterion), which remove the
//      year-to-year persistence of growth.
//
// A year without a value (not a number) or with a negative width is left
// out: the filter runs over each stretch of consecutive values on its own,
// and a stretch shorter than kShortestStretch years gives no filtered value.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace ringave {

inline constexpr std::int32_t kSplinePeriod = 32;     // years at which the trend keeps 50 %
inline constexpr std::int32_t kLargestArOrder = 5;    // the prewhitening's highest order
inline constexpr std::int32_t kShortestStretch = 20;  // fewer consecutive values: not filtered

// Work arrays of the filter, reused from core to core.
struct FilterWork {
  // The smoother's band matrix factorised for stretches of band_n years
  // (the cores of a file are often of one length, and the factor depends on
  // the length alone).
  std::vector<double> band;
  std::size_t band_n = 0;
  std::vector<double> trend;
  std::vector<double> index;
};

// Writes the filtered series of `widths` (value j for year first + j) to
// out[0 .. widths.size()), not a number where it has none: outside the
// stretches, and in the first years of each stretch that the autoregressive
// model needs as its past. `out` holds at least widths.size() values.
void filter_core(std::span<const float> widths, std::span<float> out, FilterWork& work);

// The trend of `y` by the smoother above, into `trend` (same size). Exposed
// for its tests: a straight line passes unchanged, a sine of 32 years keeps
// half its amplitude.
void smooth_trend(std::span<const double> y, std::span<double> trend, FilterWork& work);

}  // namespace ringave
