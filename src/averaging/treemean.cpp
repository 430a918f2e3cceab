#include "averaging/treemean.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

#include "averaging/series_checks.h"
#include "averaging/tree_keys.h"
#include "records/outcome.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ringave {

namespace {

constexpr float kNoValue = std::numeric_limits<float>::quiet_NaN();

// The series must fit the table and the work arrays; the run stops before
// anything changes when they do not.
void check_rows(const CoreTable& t, const AveragingWork& w) {
  const std::size_t n = static_cast<std::size_t>(t.rows);
  std::size_t table_rows = std::min({t.ids.size(), t.first_years.size(), t.last_years.size(), t.counts.size()});
  if (t.row_length > 0) table_rows = std::min(table_rows, t.values.size() / t.row_length);
  if (n > table_rows || n > w.keys.size() || n > w.distinct.size() || n > w.tree_first.size() ||
      n > w.tree_last.size() || n > w.last_rows.size() || n > w.id_rows.size() || n > w.tree_ids.size())
    stop(ErrorCode::table_rows, "sbr treemean:  more series than the table holds",
         "more series than ringave's table holds for averaging");
}

// The years each tree's cores cover, from the first year of its earliest
// core with values to the last year of its latest: tree_first[k] and
// tree_last[k] (first > last for a tree of empty cores). Stops the run,
// before anything changes, for a tree that spans more than `year_limit`
// years, and for a series that ends after the year 2147483647.
void tree_spans(const CoreTable& t, AveragingWork& w, std::int32_t trees, std::int32_t year_limit) {
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  for (std::int32_t k = 0; k < trees; ++k) {
    w.tree_first[static_cast<std::size_t>(k)] = kMax;
    w.tree_last[static_cast<std::size_t>(k)] = std::numeric_limits<std::int32_t>::min();
  }
  for (std::int32_t m = 0; m < t.rows; ++m) {
    const auto r = static_cast<std::size_t>(m);
    if (t.counts[r] < 1) continue;  // an empty series covers no year
    const std::int64_t last = static_cast<std::int64_t>(t.first_years[r]) + t.counts[r] - 1;
    if (last > kMax)
      stop(ErrorCode::year_range, "sbr treemean:  a series ends after the year 2147483647",
           "series " + std::string(t.series_rows().whole_id(r)) + " (series " + std::to_string(m + 1) +
               " of the file) ends after the year 2147483647: correct its first year",
           {0, std::string(t.series_rows().whole_id(r)), m + 1});
    const auto k = static_cast<std::size_t>(w.keys[r]);
    w.tree_first[k] = std::min(w.tree_first[k], t.first_years[r]);
    w.tree_last[k] = std::max(w.tree_last[k], static_cast<std::int32_t>(last));
  }
  for (std::int32_t k = 0; k < trees; ++k) {
    const auto i = static_cast<std::size_t>(k);
    const std::int64_t first = w.tree_first[i];
    const std::int64_t last = w.tree_last[i];
    if (last < first || last - first + 1 <= year_limit) continue;
    const std::string tree = w.tree_ids[i], most = std::to_string(year_limit);
    stop(ErrorCode::tree_years,
         "File " + std::string(t.name) + ": tree " + tree + " spans the years " + std::to_string(first) + " to " +
             std::to_string(last) + ", more than " + most + " years (Max: record length)",  // pinned console text
         "tree " + tree + " spans the years " + std::to_string(first) + " to " + std::to_string(last) +
             ": ringave averages a tree over at most " + most +
             " years; check its cores' first years and the tree-number positions");
  }
}

// The bits of a single-precision value and back, and a mask of all ones
// for true: the averaging's loops select with masks, not branches.
inline std::uint32_t bits_of(float v) { return std::bit_cast<std::uint32_t>(v); }
inline float from_bits(std::uint32_t u) { return std::bit_cast<float>(u); }
inline std::uint32_t all_ones_if(bool b) { return 0u - static_cast<std::uint32_t>(b); }

#if defined(__SSE2__)
// Adds four values of a core to their years' sums and counts. A value that
// is not a number is a missing value: a mask turns it and its 1 into 0.
inline void add_four(__m128 v, float* sums, float* counts, bool any_missing) {
  const __m128 one = _mm_set1_ps(1.0f);
  const __m128 has = _mm_cmpord_ps(v, v);  // all ones but for not a number
  _mm_storeu_ps(sums, _mm_add_ps(_mm_loadu_ps(sums), any_missing ? _mm_and_ps(v, has) : v));
  _mm_storeu_ps(counts, _mm_add_ps(_mm_loadu_ps(counts), any_missing ? _mm_and_ps(one, has) : one));
}
#endif

// Adds core[0 .. n) to sums[0 .. n) and counts[0 .. n), one year each: a
// value adds itself and 1, a missing value (not a number) 0 and 0. Sixteen
// years at a time where the vector instructions are, through the masks
// only when one of the sixteen is missing; the sums are the same either way.
void add_core(const float* core, std::int32_t n, float* sums, float* counts) {
  std::int32_t j = 0;
#if defined(__SSE2__)
  for (; j + 16 <= n; j += 16) {
    const __m128 a = _mm_loadu_ps(core + j), b = _mm_loadu_ps(core + j + 4), c = _mm_loadu_ps(core + j + 8),
                 d = _mm_loadu_ps(core + j + 12);
    const bool any_missing = _mm_movemask_ps(_mm_or_ps(_mm_cmpunord_ps(a, b), _mm_cmpunord_ps(c, d))) != 0;
    add_four(a, sums + j, counts + j, any_missing);
    add_four(b, sums + j + 4, counts + j + 4, any_missing);
    add_four(c, sums + j + 8, counts + j + 8, any_missing);
    add_four(d, sums + j + 12, counts + j + 12, any_missing);
  }
  for (; j + 4 <= n; j += 4) {
    const __m128 a = _mm_loadu_ps(core + j);
    add_four(a, sums + j, counts + j, _mm_movemask_ps(_mm_cmpunord_ps(a, a)) != 0);
  }
#endif
  for (; j < n; ++j) {
    const float v = core[j];
    const std::uint32_t keep = all_ones_if(v == v);  // false only for not a number
    sums[j] += from_bits(bits_of(v) & keep);
    counts[j] += from_bits(bits_of(1.0f) & keep);
  }
}

// Adds the values of every core of tree k into the year sums and counts, in
// table order: the cores in rows `first` to `last`; year slot j is the
// tree's first year + j.
void sum_tree(const CoreTable& t, AveragingWork& w, std::int32_t k, std::int32_t first, std::int32_t last) {
  const std::int32_t base = w.tree_first[static_cast<std::size_t>(k)];
  for (std::int32_t m = first; m <= last; ++m) {
    const auto r = static_cast<std::size_t>(m);
    if (w.keys[r] != k || t.counts[r] < 1) continue;
    const std::int32_t js = t.first_years[r] - base;
    add_core(t.values.data() + r * t.row_length, t.counts[r], w.sums.data() + js, w.counts.data() + js);
  }
}

// Stores the mean of every year of tree k's span in row k from slot 0 on,
// with its first year, count and last year, and clears the sums and counts
// it used. A year without a value (no core covers it, or every core that
// does is missing there) gets not a number. Returns false when no year of
// the span has a value: the row then gets count 0.
bool store_mean(CoreTable& t, AveragingWork& w, std::size_t k) {
  const std::int32_t first = w.tree_first[k];
  const std::int32_t last = w.tree_last[k];
  bool any_value = false;
  if (last >= first) {
    float* tree = t.values.data() + k * t.row_length;
    const std::int32_t n = last - first + 1;
    float* const sums = w.sums.data();
    float* const counts = w.counts.data();
    for (std::int32_t j = 0; j < n; ++j) {
      // Counts are 0 or more, so a count of zero bits is no value: the
      // quotient (not a number then) is replaced by kNoValue through a mask,
      // with no branch, so the compiler does several years at once.
      const float mean = sums[j] / counts[j];
      const std::uint32_t has = all_ones_if(bits_of(counts[j]) != 0);
      tree[j] = from_bits((bits_of(mean) & has) | (bits_of(kNoValue) & ~has));
      sums[j] = 0.0f;
      counts[j] = 0.0f;
    }
    // The first year is some core's first: it has a value unless that core
    // is missing there, and only then is the rest looked at.
    any_value = !std::isnan(tree[0]) || std::any_of(tree, tree + n, [](float v) { return !std::isnan(v); });
    t.first_years[k] = first;
    t.counts[k] = any_value ? n : 0;
  } else {
    // Only empty cores: no values; the first year stays as the row had it.
    t.counts[k] = 0;
  }
  t.last_years[k] = static_cast<std::int32_t>(static_cast<std::int64_t>(t.first_years[k]) + t.counts[k] - 1);
  return any_value || last < first;
}

}  // namespace

std::int32_t treemean(CoreTable& table, AveragingWork& work, const KeyRule& rule, Reporter& reporter) {
  if (table.rows <= 0) return 0;
  check_rows(table, work);
  // A tree series holds one value per year of its span, so the span is bound
  // by the slots of a row as well as by the year sums.
  const auto year_limit = static_cast<std::int32_t>(
      std::min({work.sums.size(), work.counts.size(), table.row_length,
                static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())}));

  // The keys and tree IDs first, from the IDs as read: the table is not
  // changed before every key is known.
  const std::int32_t trees = find_trees(rule, table.series_rows(), work.keys, work.distinct, work.tree_ids);
  check_series_ids(table, work.id_rows, rule, reporter);
  tree_spans(table, work, trees, year_limit);

  // Tree k's first core lies in row k or later, and after tree k-1's (trees
  // are numbered in order of first appearance); every row before k already
  // holds an earlier tree. The tree of every row is in work.keys, so the
  // IDs are not read again, and the last row of each tree in
  // work.last_rows, so the sums visit no row after it.
  for (std::int32_t m = 0; m < table.rows; ++m) {
    work.last_rows[static_cast<std::size_t>(work.keys[static_cast<std::size_t>(m)])] = m;
  }
  std::int32_t first_row = 0;
  for (std::int32_t k = 0; k < trees; ++k) {
    const auto i = static_cast<std::size_t>(k);
    while (work.keys[static_cast<std::size_t>(first_row)] != k) ++first_row;
    sum_tree(table, work, k, first_row, work.last_rows[i]);
    const bool has_values = store_mean(table, work, i);
    const std::string& tree_id = work.tree_ids[i];
    table.ids[i] = Field<8>(tree_id);
    if (!table.names.empty()) {
      if (tree_id.size() > Field<8>::size()) table.names[i] = tree_id;
      else table.names[i].clear();
    }
    if (!has_values) {
      const std::string text = "tree " + tree_id +
                               ": every year of its cores is a missing value; the tree is not written";
      reporter.warning({text, text + "\n"});
    }
  }
  return trees;
}

}  // namespace ringave
