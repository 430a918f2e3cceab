#include "check/lag_r.h"

#include <cmath>
#include <limits>
#include <vector>

namespace ringave {

namespace {

// The sums of one lag, in kLanes partial sums each so that the compiler can
// keep them in vector registers (a float sum in one accumulator may not be
// reordered).
constexpr std::size_t kLanes = 8;

struct Sums {
  double n = 0, x = 0, y = 0, xx = 0, yy = 0, xy = 0;
};

Sums sums_at(const PlainSeries& a, const PlainSeries& b, std::size_t offset, std::size_t from, std::size_t to) {
  float n[kLanes] = {}, x[kLanes] = {}, y[kLanes] = {}, xx[kLanes] = {}, yy[kLanes] = {}, xy[kLanes] = {};
  const float* av = a.v.data();
  const float* am = a.m.data();
  const float* a2 = a.v2.data();
  const float* bv = b.v.data() + offset;
  const float* bm = b.m.data() + offset;
  const float* b2 = b.v2.data() + offset;
  std::size_t i = from;
  for (; i + kLanes <= to; i += kLanes)
    for (std::size_t k = 0; k < kLanes; ++k) {
      n[k] += am[i + k] * bm[i + k];
      x[k] += av[i + k] * bm[i + k];
      y[k] += am[i + k] * bv[i + k];
      xx[k] += a2[i + k] * bm[i + k];
      yy[k] += am[i + k] * b2[i + k];
      xy[k] += av[i + k] * bv[i + k];
    }
  for (; i < to; ++i) {
    n[0] += am[i] * bm[i];
    x[0] += av[i] * bm[i];
    y[0] += am[i] * bv[i];
    xx[0] += a2[i] * bm[i];
    yy[0] += am[i] * b2[i];
    xy[0] += av[i] * bv[i];
  }
  Sums s;
  for (std::size_t k = 0; k < kLanes; ++k) {
    s.n += n[k];
    s.x += x[k];
    s.y += y[k];
    s.xx += xx[k];
    s.yy += yy[k];
    s.xy += xy[k];
  }
  return s;
}

LagR pearson(const Sums& s) {
  LagR out;
  out.years = static_cast<std::int32_t>(std::lround(s.n));
  const double vx = s.xx - s.x * s.x / s.n, vy = s.yy - s.y * s.y / s.n;
  if (out.years < 3 || vx <= 0.0 || vy <= 0.0) {
    out.r = std::numeric_limits<float>::quiet_NaN();
    return out;
  }
  out.r = static_cast<float>((s.xy - s.x * s.y / s.n) / std::sqrt(vx * vy));
  return out;
}

}  // namespace

void PlainSeries::take(std::span<const float> s) {
  v.resize(s.size());
  m.resize(s.size());
  v2.resize(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    const bool has = !std::isnan(s[i]);
    v[i] = has ? s[i] : 0.0F;
    m[i] = has ? 1.0F : 0.0F;
    v2[i] = v[i] * v[i];
  }
}

void LagCorrelator::take(std::span<const float> x, std::span<const float> ref) {
  x_.take(x);
  ref_.take(ref);
}

LagR LagCorrelator::at(std::int32_t shift, std::size_t from, std::size_t to) const {
  return pearson(sums_at(x_, ref_, static_cast<std::size_t>(shift + kLargestLag), from, to));
}

void LagCorrelator::all(std::span<LagR, kLags> out) const {
  for (std::int32_t s = -kLargestLag; s <= kLargestLag; ++s) out[static_cast<std::size_t>(s + kLargestLag)] = at(s, 0, size());
}

double critical_r(std::int32_t n) {
  if (n < 12) return 1.0;
  const double z = 2.3263478740408408;  // the normal distribution's 99 % quantile
  const double nu = n - 2;
  const double z2 = z * z, z3 = z2 * z, z5 = z3 * z2, z7 = z5 * z2, z9 = z7 * z2;
  const double t = z + (z3 + z) / 4.0 / nu + (5 * z5 + 16 * z3 + 3 * z) / 96.0 / (nu * nu) +
                   (3 * z7 + 19 * z5 + 17 * z3 - 15 * z) / 384.0 / (nu * nu * nu) +
                   (79 * z9 + 776 * z7 + 1482 * z5 - 1920 * z3 - 945 * z) / 92160.0 / (nu * nu * nu * nu);
  return t / std::sqrt(nu + t * t);
}

}  // namespace ringave
