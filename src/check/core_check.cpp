#include "check/core_check.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "check/filter.h"
#include "check/lag_r.h"

namespace ringave {

namespace {

constexpr float kNone = std::numeric_limits<float>::quiet_NaN();

std::int64_t floor_div(std::int64_t a, std::int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// The filtered series of every core and the site's sum and count of tree
// means per year; then, a tree at a time, the tree's sum and count of its
// cores' filtered values per year, from which each of its cores' master and
// tree reference are made without its own tree or itself.
class Checker {
 public:
  explicit Checker(const CheckInput& in) : in_(in) {}
  std::optional<std::string> prepare(std::int64_t longest_tree);
  std::size_t trees() const { return cores_of_.size(); }
  std::span<const std::size_t> cores_of(std::size_t k) const { return cores_of_[k]; }
  // Makes tree k the current tree, whose cores check() takes.
  void load_tree(std::size_t k);
  CoreCheck check(std::size_t c);

 private:
  void filter_all();
  void sum_trees();
  std::span<const float> filtered(std::size_t c) const {
    return std::span<const float>(filtered_).subspan(at_[c], static_cast<std::size_t>(count(c)));
  }
  std::int32_t count(std::size_t c) const { return std::max(in_.counts[c], 0); }
  void make_references(std::size_t c, bool& tree_has_others);
  void low_segments(std::size_t c, CoreCheck& out) const;

  const CheckInput& in_;
  std::vector<float> filtered_;
  std::vector<std::size_t> at_;
  std::int64_t first_year_ = 0, years_ = 0;     // the file's year axis
  std::vector<std::int64_t> tree_first_, tree_years_;
  std::vector<std::vector<std::size_t>> cores_of_;  // each tree's cores, in file order
  std::vector<float> tree_sum_, tree_count_;     // the current tree, over its own years
  std::vector<double> site_sum_;                 // over the axis
  std::vector<std::int32_t> site_count_;
  std::vector<float> master_, mates_;            // the current core's references
  LagCorrelator with_master_, with_mates_;
};

std::optional<std::string> Checker::prepare(std::int64_t longest_tree) {
  const auto trees = static_cast<std::size_t>(std::max(in_.trees, 0));
  tree_first_.assign(trees, std::numeric_limits<std::int64_t>::max());
  std::vector<std::int64_t> tree_last(trees, std::numeric_limits<std::int64_t>::min());
  bool any = false;
  std::int64_t last = 0;
  for (std::size_t c = 0; c < in_.counts.size(); ++c) {
    if (count(c) == 0) continue;
    const std::int64_t f = in_.first_years[c], l = f + count(c) - 1;
    const auto k = static_cast<std::size_t>(in_.tree[c]);
    tree_first_[k] = std::min(tree_first_[k], f);
    tree_last[k] = std::max(tree_last[k], l);
    first_year_ = any ? std::min(first_year_, f) : f;
    last = any ? std::max(last, l) : l;
    any = true;
  }
  years_ = any ? last - first_year_ + 1 : 0;
  if (years_ > kCheckYearLimit)
    return "its cores span " + std::to_string(years_) + " years, more than the " + std::to_string(kCheckYearLimit) +
           " the check works over";
  tree_years_.assign(trees, 0);
  for (std::size_t k = 0; k < trees; ++k) {
    if (tree_last[k] < tree_first_[k]) continue;
    tree_years_[k] = tree_last[k] - tree_first_[k] + 1;
    if (tree_years_[k] > longest_tree)
      return "a tree spans " + std::to_string(tree_years_[k]) + " years, more than the " +
             std::to_string(longest_tree) + " the check works over";
  }
  cores_of_.assign(trees, {});
  for (std::size_t c = 0; c < in_.counts.size(); ++c)
    if (count(c) > 0) cores_of_[static_cast<std::size_t>(in_.tree[c])].push_back(c);
  filter_all();
  sum_trees();
  return std::nullopt;
}

void Checker::filter_all() {
  at_.assign(in_.counts.size(), 0);
  std::size_t total = 0;
  for (std::size_t c = 0; c < in_.counts.size(); ++c) {
    at_[c] = total;
    total += static_cast<std::size_t>(count(c));
  }
  filtered_.assign(total, kNone);
  FilterWork work;
  for (std::size_t c = 0; c < in_.counts.size(); ++c) {
    const std::span<const float> widths = in_.values.subspan(c * in_.row_length, static_cast<std::size_t>(count(c)));
    filter_core(widths, std::span<float>(filtered_).subspan(at_[c], widths.size()), work);
  }
}

void Checker::load_tree(std::size_t k) {
  tree_sum_.assign(static_cast<std::size_t>(tree_years_[k]), 0.0F);
  tree_count_.assign(static_cast<std::size_t>(tree_years_[k]), 0.0F);
  for (const std::size_t c : cores_of_[k]) {
    const std::span<const float> x = filtered(c);
    const auto base = static_cast<std::size_t>(in_.first_years[c] - tree_first_[k]);
    for (std::size_t i = 0; i < x.size(); ++i) {
      if (std::isnan(x[i])) continue;
      tree_sum_[base + i] += x[i];
      tree_count_[base + i] += 1.0F;
    }
  }
}

void Checker::sum_trees() {
  site_sum_.assign(static_cast<std::size_t>(years_), 0.0);
  site_count_.assign(static_cast<std::size_t>(years_), 0);
  for (std::size_t k = 0; k < cores_of_.size(); ++k) {
    load_tree(k);
    for (std::size_t j = 0; j < tree_sum_.size(); ++j) {
      if (tree_count_[j] == 0.0F) continue;
      const auto y = static_cast<std::size_t>(tree_first_[k] + static_cast<std::int64_t>(j) - first_year_);
      site_sum_[y] += tree_sum_[j] / tree_count_[j];
      ++site_count_[y];
    }
  }
}

// The master of core c (the mean of the other trees' means where at least
// kLeastMasterTrees give a value) and its mates' mean (the other cores of
// its tree), for the core's years and kLargestLag years either side.
void Checker::make_references(std::size_t c, bool& tree_has_others) {
  const std::span<const float> x = filtered(c);
  const std::size_t n = x.size() + 2 * kLargestLag;
  master_.assign(n, kNone);
  mates_.assign(n, kNone);
  tree_has_others = false;
  const auto k = static_cast<std::size_t>(in_.tree[c]);
  const std::int64_t start = in_.first_years[c] - kLargestLag;
  for (std::size_t j = 0; j < n; ++j) {
    const std::int64_t year = start + static_cast<std::int64_t>(j);
    if (year < first_year_ || year >= first_year_ + years_) continue;
    const std::int64_t in_tree = year - tree_first_[k];
    float sum = 0.0F, cores = 0.0F;
    if (in_tree >= 0 && in_tree < tree_years_[k]) {
      sum = tree_sum_[static_cast<std::size_t>(in_tree)];
      cores = tree_count_[static_cast<std::size_t>(in_tree)];
    }
    const auto y = static_cast<std::size_t>(year - first_year_);
    const bool tree_there = cores > 0.0F;
    const std::int32_t others = site_count_[y] - (tree_there ? 1 : 0);
    if (others >= kLeastMasterTrees)
      master_[j] = static_cast<float>((site_sum_[y] - (tree_there ? sum / cores : 0.0F)) / others);
    // The core's own value leaves its tree's sum for its mates' mean.
    const std::int64_t own = static_cast<std::int64_t>(j) - kLargestLag;
    const bool mine = own >= 0 && own < static_cast<std::int64_t>(x.size()) && !std::isnan(x[static_cast<std::size_t>(own)]);
    const float mates = cores - (mine ? 1.0F : 0.0F);
    if (mates > 0.0F) {
      mates_[j] = (sum - (mine ? x[static_cast<std::size_t>(own)] : 0.0F)) / mates;
      tree_has_others = true;
    }
  }
}

// The 50-year segments that begin at multiples of kSegmentStep and lie
// inside the core, each judged against the master in place.
void Checker::low_segments(std::size_t c, CoreCheck& out) const {
  const std::int64_t first = in_.first_years[c], last = first + count(c) - 1;
  for (std::int64_t a = floor_div(first + kSegmentStep - 1, kSegmentStep) * kSegmentStep;
       a + kSegmentLength - 1 <= last; a += kSegmentStep) {
    const auto from = static_cast<std::size_t>(a - first), to = from + kSegmentLength;
    const LagR here = with_master_.at(0, from, to);
    if (here.years < kLeastSegmentYears || !(here.r < critical_r(here.years))) continue;
    std::int32_t best = 0;
    float best_r = here.r;
    for (std::int32_t s = -kLargestLag; s <= kLargestLag; ++s) {
      const LagR r = with_master_.at(s, from, to);
      if (r.years >= kLeastSegmentYears && r.r > best_r) best_r = r.r, best = s;
    }
    out.segments.push_back({static_cast<std::int32_t>(a), best});
  }
}

CoreCheck Checker::check(std::size_t c) {
  CoreCheck out;
  if (count(c) == 0) return out;
  bool has_mates = false;
  make_references(c, has_mates);
  const std::span<const float> x = filtered(c);
  LagR master[kLags], mates[kLags];
  with_master_.take(x, master_);
  with_master_.all(master);
  if (has_mates) {
    with_mates_.take(x, mates_);
    mates[kLargestLag] = with_mates_.at(0, 0, x.size());
    if (!std::isnan(mates[kLargestLag].r)) out.tree_r = mates[kLargestLag].r;
  }
  if (master[kLargestLag].years >= kLeastOverlap) {
    judge(master, Basis::master, out);
    low_segments(c, out);
  } else if (has_mates && mates[kLargestLag].years >= kLeastOverlap) {
    with_mates_.all(mates);  // the other lags only where the tree is the basis
    judge(mates, Basis::tree, out);
  } else {
    out.overlap = std::max(master[kLargestLag].years, has_mates ? mates[kLargestLag].years : 0);
  }
  return out;
}

}  // namespace

const char* flag_name(Flag flag) {
  switch (flag) {
    case Flag::ok: return "ok";
    case Flag::shifted: return "shifted";
    case Flag::weak: return "weak";
    case Flag::too_short: return "short";
    case Flag::pair: return "pair";
  }
  return "";
}

const char* basis_name(Basis basis) {
  return basis == Basis::master ? "master" : basis == Basis::tree ? "tree" : "";
}

void judge(std::span<const LagR> lags, Basis basis, CoreCheck& out) {
  const LagR& here = lags[kLargestLag];
  out.basis = basis;
  out.overlap = here.years;
  out.r = std::isnan(here.r) ? 0.0F : here.r;
  std::int32_t best = 0;
  float best_r = out.r;
  for (std::int32_t s = -kLargestLag; s <= kLargestLag; ++s) {
    const LagR& l = lags[static_cast<std::size_t>(s + kLargestLag)];
    if (l.years >= kLeastOverlap && l.r > best_r) best_r = l.r, best = s;
  }
  out.shift = best;
  out.r_at_shift = best_r;
  const LagR& at = lags[static_cast<std::size_t>(best + kLargestLag)];
  const bool better = best != 0 && best_r >= critical_r(at.years) && best_r - out.r >= kClearlyBetter;
  const bool low = out.r < critical_r(here.years);
  if (basis == Basis::tree)
    out.flag = better || low ? Flag::pair : Flag::ok;
  else
    out.flag = better ? Flag::shifted : low ? Flag::weak : Flag::ok;
}

CheckResult check_cores(const CheckInput& in, std::int64_t longest_tree) {
  CheckResult result;
  Checker checker(in);
  result.not_made = checker.prepare(longest_tree);
  if (result.not_made) return result;
  result.cores.resize(in.counts.size());
  for (std::size_t k = 0; k < checker.trees(); ++k) {
    checker.load_tree(k);
    for (const std::size_t c : checker.cores_of(k)) result.cores[c] = checker.check(c);
  }
  return result;
}

}  // namespace ringave
