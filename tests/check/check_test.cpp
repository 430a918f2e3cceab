// The check's numerics: the trend's frequency response, the filter's
// handling of zero rings, gaps and negative widths, the critical values of
// r, and the flag a set of lagged correlations gives.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "check/core_check.h"
#include "check/filter.h"
#include "check/lag_r.h"

namespace ringave {
namespace {

constexpr float kNone = std::numeric_limits<float>::quiet_NaN();

TEST(CheckFilter, TrendKeepsHalfAtThirtyTwoYears) {
  struct Case {
    double period, least, most;  // the share of a sine's amplitude the trend keeps, mid-series
  } cases[] = {{8, 0.0, 0.02}, {32, 0.48, 0.52}, {200, 0.97, 1.0}};
  FilterWork work;
  for (const Case& c : cases) {
    std::vector<double> y(1000), trend(1000);
    for (std::size_t t = 0; t < y.size(); ++t) y[t] = std::sin(2 * std::numbers::pi * static_cast<double>(t) / c.period);
    smooth_trend(y, trend, work);
    double kept = 0;
    for (std::size_t t = 400; t < 600; ++t) kept = std::max(kept, std::fabs(trend[t]));
    EXPECT_GE(kept, c.least) << c.period;
    EXPECT_LE(kept, c.most) << c.period;
  }
  std::vector<double> line(50), trend(50);
  for (std::size_t t = 0; t < line.size(); ++t) line[t] = 3.0 + 0.5 * static_cast<double>(t);
  smooth_trend(line, trend, work);
  for (std::size_t t = 0; t < line.size(); ++t) EXPECT_NEAR(trend[t], line[t], 1e-6);
}

TEST(CheckFilter, ZeroRingsCountGapsAndNegativesSplit) {
  std::vector<float> widths(120);
  for (std::size_t t = 0; t < widths.size(); ++t) widths[t] = 1.0F + 0.3F * std::sin(static_cast<float>(t * t));
  widths[10] = 0.0F;    // a locally absent ring: filtered like any other
  widths[60] = kNone;   // a missing year, and a negative width: left out,
  widths[100] = -1.0F;  // the stretch after it (19 years) too short to filter
  std::vector<float> out(widths.size());
  FilterWork work;
  filter_core(widths, out, work);
  EXPECT_TRUE(std::isfinite(out[10]));
  EXPECT_TRUE(std::isnan(out[60]));
  EXPECT_TRUE(std::isfinite(out[59]) && std::isfinite(out[99]));
  for (std::size_t t = 100; t < widths.size(); ++t) EXPECT_TRUE(std::isnan(out[t])) << t;
}

TEST(CheckLags, CriticalValuesOfR) {
  // One-tailed 99 %: r = t / sqrt(n - 2 + t^2) with Student's t quantile.
  const struct {
    std::int32_t n;
    double r;
  } cases[] = {{11, 1.0}, {12, 0.6581}, {30, 0.4226}, {50, 0.3281}, {100, 0.2324}, {1000, 0.0736}};
  for (const auto& c : cases) EXPECT_NEAR(critical_r(c.n), c.r, 0.0001) << c.n;  // as tables give them
}

TEST(CheckLags, CoreMovedAgainstItsReference) {
  // The reference is the core dated 3 years later: the core correlates in
  // full when moved +3 years, and the years at each lag are the common ones.
  std::vector<float> x(80), ref(100, kNone);
  for (std::size_t i = 0; i < x.size(); ++i) x[i] = std::sin(static_cast<float>(i * i % 17));
  for (std::size_t i = 0; i < x.size(); ++i) ref[i + kLargestLag + 3] = x[i];
  LagCorrelator lc;
  lc.take(x, ref);
  LagR r[kLags];
  lc.all(r);
  EXPECT_NEAR(r[kLargestLag + 3].r, 1.0F, 1e-5);
  EXPECT_EQ(r[kLargestLag + 3].years, 80);
  EXPECT_EQ(r[kLargestLag].years, 77);
  EXPECT_LT(r[kLargestLag].r, 0.5F);
}

TEST(CheckFlags, FromTheLags) {
  struct Case {
    Basis basis;
    float in_place, other;  // r in place, and at lag `at`
    std::int32_t at, years;
    Flag flag;
    std::int32_t shift;
  } cases[] = {
      {Basis::master, 0.60F, 0.10F, 4, 200, Flag::ok, 0},
      {Basis::master, 0.05F, 0.70F, 10, 200, Flag::shifted, 10},
      {Basis::master, 0.05F, 0.70F, -1, 200, Flag::shifted, -1},
      {Basis::master, 0.45F, 0.55F, 2, 200, Flag::ok, 2},      // better, not clearly
      {Basis::master, 0.05F, 0.28F, 2, 60, Flag::weak, 2},     // better, not significant
      {Basis::master, 0.10F, 0.05F, 3, 120, Flag::weak, 0},
      {Basis::master, 0.10F, 0.90F, 5, 40, Flag::weak, 0},     // the lag's years too few
      {Basis::tree, 0.02F, 0.65F, -2, 120, Flag::pair, -2},
      {Basis::tree, 0.05F, 0.02F, 1, 120, Flag::pair, 0},
      {Basis::tree, 0.60F, 0.20F, 1, 120, Flag::ok, 0},
  };
  for (const Case& c : cases) {
    LagR lags[kLags];
    for (LagR& l : lags) l = {0.0F, c.years};
    lags[kLargestLag] = {c.in_place, c.at == 5 ? 200 : c.years};
    lags[static_cast<std::size_t>(kLargestLag + c.at)] = {c.other, c.years};
    CoreCheck out;
    judge(lags, c.basis, out);
    EXPECT_EQ(out.flag, c.flag) << c.in_place << " " << c.other << " at " << c.at;
    EXPECT_EQ(out.shift, c.shift) << c.in_place << " " << c.other << " at " << c.at;
  }
}

}  // namespace
}  // namespace ringave
