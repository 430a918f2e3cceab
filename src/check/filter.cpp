#include "check/filter.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace ringave {

namespace {

constexpr float kNone = std::numeric_limits<float>::quiet_NaN();

// The smoother's weight of the second differences: its response
// 1 / (1 + lambda * (2 - 2 cos w)^2) is 1/2 at the period kSplinePeriod.
double smoothing_weight() {
  const double d = 2.0 - 2.0 * std::cos(2.0 * std::numbers::pi / kSplinePeriod);
  return 1.0 / (d * d);
}

// Where the trend comes near zero (a run of zero rings pulls it down), the
// index is taken against this share of the stretch's mean width instead, so
// that a ratio never explodes.
constexpr double kTrendFloor = 0.1;

bool usable(float w) { return std::isfinite(w) && w >= 0.0F; }

void factorise(std::size_t n, FilterWork& work);

// The residuals of the autoregressive model of `x` (centred here) whose
// order 0..kLargestArOrder has the least Akaike criterion, into out; the
// first `order` values, which lack their past, are not a number.
void prewhiten(std::span<double> x, std::span<float> out) {
  const std::size_t n = x.size();
  double mean = 0.0;
  for (const double v : x) mean += v;
  mean /= static_cast<double>(n);
  for (double& v : x) v -= mean;
  double c[kLargestArOrder + 1] = {};
  for (std::size_t k = 0; k <= kLargestArOrder; ++k)
    for (std::size_t t = k; t < n; ++t) c[k] += x[t] * x[t - k];
  double phi[kLargestArOrder + 1] = {}, best[kLargestArOrder + 1] = {}, prev[kLargestArOrder + 1] = {};
  double err = c[0];
  std::size_t order = 0;
  double best_aic = err > 0.0 ? static_cast<double>(n) * std::log(err) : 0.0;
  for (std::size_t p = 1; p <= kLargestArOrder && err > 0.0 && p * 4 < n; ++p) {
    double acc = c[p];
    for (std::size_t j = 1; j < p; ++j) acc -= phi[j] * c[p - j];
    const double k = acc / err;
    std::copy(std::begin(phi), std::end(phi), std::begin(prev));
    phi[p] = k;
    for (std::size_t j = 1; j < p; ++j) phi[j] = prev[j] - k * prev[p - j];
    err *= 1.0 - k * k;
    if (err <= 0.0) break;
    const double aic = static_cast<double>(n) * std::log(err) + 2.0 * static_cast<double>(p);
    if (aic < best_aic) {
      best_aic = aic;
      order = p;
      std::copy(std::begin(phi), std::end(phi), std::begin(best));
    }
  }
  for (std::size_t t = 0; t < n; ++t) {
    if (t < order) {
      out[t] = kNone;
      continue;
    }
    double e = x[t];
    for (std::size_t j = 1; j <= order; ++j) e -= best[j] * x[t - j];
    out[t] = static_cast<float>(e);
  }
}

// One stretch of consecutive usable widths.
void filter_stretch(std::span<const float> widths, std::span<float> out, FilterWork& work) {
  const std::size_t n = widths.size();
  work.index.resize(n);
  work.trend.resize(n);
  double mean = 0.0;
  for (std::size_t t = 0; t < n; ++t) mean += work.index[t] = widths[t];
  mean /= static_cast<double>(n);
  if (mean <= 0.0) {  // every ring absent: nothing to compare
    std::fill(out.begin(), out.end(), kNone);
    return;
  }
  smooth_trend(work.index, work.trend, work);
  for (std::size_t t = 0; t < n; ++t)
    work.index[t] = std::log(1.0F + static_cast<float>(work.index[t] / std::max(work.trend[t], kTrendFloor * mean)));
  prewhiten(work.index, out);
}

}  // namespace

void smooth_trend(std::span<const double> y, std::span<double> trend, FilterWork& work) {
  const std::size_t n = y.size();
  if (n < 4) {  // too short to bend: the trend is the series
    std::copy(y.begin(), y.end(), trend.begin());
    return;
  }
  // (I + lambda D'D) g = y, D the second differences: a symmetric band of
  // width 2, factorised as L L' with L's subdiagonals l1, l2 and the
  // reciprocal of its diagonal, inv0.
  if (work.band_n != n) factorise(n, work);
  const double* inv0 = work.band.data();
  const double* l1 = inv0 + n;
  const double* l2 = l1 + n;
  for (std::size_t i = 0; i < n; ++i) {
    double z = y[i];
    if (i >= 1) z -= l1[i] * trend[i - 1];
    if (i >= 2) z -= l2[i] * trend[i - 2];
    trend[i] = z * inv0[i];
  }
  for (std::size_t i = n; i-- > 0;) {
    double g = trend[i];
    if (i + 1 < n) g -= l1[i + 1] * trend[i + 1];
    if (i + 2 < n) g -= l2[i + 2] * trend[i + 2];
    trend[i] = g * inv0[i];
  }
}

namespace {

void factorise(std::size_t n, FilterWork& work) {
  const double lambda = smoothing_weight();
  work.band.assign(3 * n, 0.0);
  work.band_n = n;
  double* l0 = work.band.data();
  double* l1 = l0 + n;
  double* l2 = l1 + n;
  for (std::size_t i = 0; i < n; ++i) {
    const double d0 = (i == 0 || i == n - 1) ? 1.0 : (i == 1 || i == n - 2) ? 5.0 : 6.0;
    if (i >= 2) l2[i] = lambda / l0[i - 2];
    if (i >= 1) {
      const double d1 = (i == 1 || i == n - 1) ? -2.0 : -4.0;  // entry (i, i-1)
      l1[i] = (lambda * d1 - (i >= 2 ? l2[i] * l1[i - 1] : 0.0)) / l0[i - 1];
    }
    l0[i] = std::sqrt(1.0 + lambda * d0 - l1[i] * l1[i] - l2[i] * l2[i]);
  }
  for (std::size_t i = 0; i < n; ++i) l0[i] = 1.0 / l0[i];  // kept as its reciprocal
}

}  // namespace

void filter_core(std::span<const float> widths, std::span<float> out, FilterWork& work) {
  const std::size_t n = widths.size();
  std::size_t t = 0;
  while (t < n) {
    if (!usable(widths[t])) {
      out[t++] = kNone;
      continue;
    }
    std::size_t end = t;
    while (end < n && usable(widths[end])) ++end;
    const std::span<float> to = out.subspan(t, end - t);
    if (end - t < static_cast<std::size_t>(kShortestStretch))
      std::fill(to.begin(), to.end(), kNone);
    else
      filter_stretch(widths.subspan(t, end - t), to, work);
    t = end;
  }
}

}  // namespace ringave
