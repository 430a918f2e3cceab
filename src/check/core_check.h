// The check of a file's cores before they are averaged: each core's
// filtered series (filter.h) against its site master, the mean of the
// filtered tree series of every other tree of the file, and against the
// other cores of its own tree, at every lag from -10 to +10 years
// (lag_r.h), in whole and in 50-year segments; and one flag per core from
// what that shows. Works from years, values and tree numbers alone: the
// IDs are the caller's.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "check/lag_r.h"

namespace ringave {

inline constexpr std::int32_t kLeastOverlap = 50;    // common years a comparison needs
inline constexpr std::int32_t kLeastMasterTrees = 3;  // other trees a master year needs
inline constexpr std::int32_t kSegmentLength = 50;
inline constexpr std::int32_t kSegmentStep = 25;      // segments begin at multiples of it
inline constexpr std::int32_t kLeastSegmentYears = 30;  // common years a segment needs to be judged
// How much better than in place another lag must correlate for a core to
// be flagged shifted (besides being significant at 99 %): a difference of
// r, chosen on real files with moved cores (tests/scripts/check_goals.py).
inline constexpr double kClearlyBetter = 0.16;

enum class Flag { ok, shifted, weak, too_short, pair };
enum class Basis { none, master, tree };

// "ok", "shifted", "weak", "short", "pair"; "master", "tree", "".
const char* flag_name(Flag flag);
const char* basis_name(Basis basis);

// A 50-year segment whose r with the site master in place is below its
// critical value: its first year and the lag at which it correlates best.
struct LowSegment {
  std::int32_t first = 0;
  std::int32_t shift = 0;
};

struct CoreCheck {
  Flag flag = Flag::too_short;
  Basis basis = Basis::none;  // what the core was judged against; none: short
  std::int32_t overlap = 0;   // common years with the basis in place
  float r = 0.0F;             // r with the basis in place (when judged)
  std::int32_t shift = 0;     // years to add to the core's dates for its best match
  float r_at_shift = 0.0F;
  std::optional<float> tree_r;  // r in place with its tree's other cores, where it has any
  std::vector<LowSegment> segments;
};

// The cores of a file: core c's values are values[c * row_length ..
// + counts[c]) for the years from first_years[c] on (not a number: no
// value), its tree tree[c] in 0 .. trees-1.
struct CheckInput {
  std::span<const std::int32_t> first_years;
  std::span<const std::int32_t> counts;
  std::span<const float> values;
  std::size_t row_length = 0;
  std::span<const std::int32_t> tree;
  std::int32_t trees = 0;
};

// The check of every core, in the order of the input; or, for a file whose
// trees are too far apart or too long for it (more than kCheckYearLimit
// years from the first core to the last, or a tree longer than
// `longest_tree` years), why it was not made.
inline constexpr std::int64_t kCheckYearLimit = 100000;
struct CheckResult {
  std::vector<CoreCheck> cores;
  std::optional<std::string> not_made;
};
CheckResult check_cores(const CheckInput& in, std::int64_t longest_tree);

// The flag of a core from its r at every lag with its basis (lags[s + 10]
// for lag s): the lag of the best r over at least kLeastOverlap years, and
// whether it is clearly better than in place or in place is weak. Sets
// flag, shift, r_at_shift, r and overlap.
void judge(std::span<const LagR> lags, Basis basis, CoreCheck& out);

}  // namespace ringave
