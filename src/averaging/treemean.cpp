#include "averaging/treemean.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <string>

#include "averaging/tree_keys.h"
#include "records/outcome.h"

namespace ringave {

namespace {

// The first and last year slot (counted from the earliest first year) that
// a tree's cores cover; empty when last < first.
struct Span {
  std::int32_t first;
  std::int32_t last;
};

// Checks that the table can be averaged with these work arrays and returns
// the earliest first year of the series that have values (0 when none has).
// Stops the run before anything changes when it cannot.
std::int32_t check_spans(const CoreTable& t, const AveragingWork& w, std::int32_t year_limit) {
  const std::size_t n = static_cast<std::size_t>(t.rows);
  std::size_t table_rows = std::min({t.ids.size(), t.first_years.size(), t.last_years.size(), t.counts.size()});
  if (t.row_length > 0) table_rows = std::min(table_rows, t.values.size() / t.row_length);
  if (n > table_rows || n > w.keys.size() || n > w.distinct.size())
    stop(kExitFailure, "sbr treemean:  more series than the table holds");

  // An empty series covers no year.
  bool any_values = false;
  std::int32_t earliest = 0;
  for (std::size_t m = 0; m < n; ++m) {
    if (t.counts[m] < 1) continue;
    if (!any_values || t.first_years[m] < earliest) earliest = t.first_years[m];
    any_values = true;
  }
  // Every series with values must end within the year sums, and its last
  // year must be a year.
  for (std::size_t m = 0; m < n; ++m) {
    const std::int64_t count = t.counts[m];
    if (count < 1) continue;
    const std::int64_t last = static_cast<std::int64_t>(t.first_years[m]) + count - 1;
    if (last - earliest + 1 > year_limit)
      stop(kExitFailure,
           "sbr treemean:  the series of the file span more than " + std::to_string(year_limit) + " years");
    if (last > std::numeric_limits<std::int32_t>::max())
      stop(kExitFailure, "sbr treemean:  a series ends after the year 2147483647");
  }
  return earliest;
}

// Adds the values of every core of tree `key` into the year sums and counts,
// in table order, from row `from` on (the tree's first core lies there or
// later). A slot holding not a number is no value. Returns the years the
// cores cover with values.
Span sum_tree(const CoreTable& t, AveragingWork& w, std::int32_t key, std::int32_t from, std::int32_t earliest,
              std::int32_t year_limit) {
  Span span{year_limit, -1};
  for (std::int32_t m = from; m < t.rows; ++m) {
    const auto r = static_cast<std::size_t>(m);
    if (w.keys[r] != key || t.counts[r] < 1) continue;
    const float* core = t.values.data() + r * t.row_length;
    // Not-a-number slots at either end are years the core does not cover.
    std::int32_t a = 0;
    std::int32_t b = t.counts[r] - 1;
    while (a <= b && std::isnan(core[a])) ++a;
    while (b > a && std::isnan(core[b])) --b;
    if (a > b) continue;
    const std::int32_t js = t.first_years[r] - earliest;
    span.first = std::min(span.first, js + a);
    span.last = std::max(span.last, js + b);
    float* sums = w.sums.data() + js;
    float* counts = w.counts.data() + js;
    for (std::int32_t j = a; j <= b; ++j) {
      // Adding 0 leaves a sum as it is: no branch in the loop.
      const bool value = !std::isnan(core[j]);
      sums[j] += value ? core[j] : 0.0f;
      counts[j] += value ? 1.0f : 0.0f;
    }
  }
  return span;
}

// Stores the mean of every year of `span` in row `row` from slot 0 on, with
// its first year, count and last year, and clears the sums and counts it
// used. A year without a value gets 0, the code of a missing ring.
void store_mean(CoreTable& t, AveragingWork& w, std::size_t row, Span span, std::int32_t earliest) {
  if (span.last >= span.first) {
    float* tree = t.values.data() + row * t.row_length;
    for (std::int32_t j = span.first; j <= span.last; ++j) {
      const auto y = static_cast<std::size_t>(j);
      tree[j - span.first] = w.counts[y] > 0.0f ? w.sums[y] / w.counts[y] : 0.0f;
      w.sums[y] = 0.0f;
      w.counts[y] = 0.0f;
    }
    t.first_years[row] = earliest + span.first;
    t.counts[row] = span.last - span.first + 1;
  } else {
    // Only empty cores: no values; the first year stays as the row had it.
    t.counts[row] = 0;
  }
  t.last_years[row] = static_cast<std::int32_t>(static_cast<std::int64_t>(t.first_years[row]) + t.counts[row] - 1);
}

}  // namespace

std::int32_t treemean(CoreTable& table, AveragingWork& work, std::int32_t key_first, std::int32_t key_last,
                      TreeSites sites) {
  if (table.rows <= 0) return 0;
  // A tree series holds one value per year of its span, so the span is bound
  // by the slots of a row as well as by the year sums.
  const auto year_limit = static_cast<std::int32_t>(
      std::min({work.sums.size(), work.counts.size(), table.row_length,
                static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())}));
  const std::int32_t earliest = check_spans(table, work, year_limit);

  const Field<8> site = site_code(table.ids[0], key_first, key_last);
  for (std::int32_t m = 0; m < table.rows; ++m) {
    const auto r = static_cast<std::size_t>(m);
    work.keys[r] = read_tree_key(table.ids[r], key_first, key_last);
  }
  if (sites == TreeSites::own) key_by_own_site(table.ids, work.keys, work.distinct, table.rows, key_first, key_last);
  const std::int32_t trees = nodups(work.keys, table.rows, work.distinct);

  // Tree k's first core lies in row k or later (trees are numbered in order
  // of first appearance), and every row before k already holds an earlier
  // tree; the keys come from the key list, which is what the IDs of rows k..
  // still read as.
  for (std::int32_t k = 0; k < trees; ++k) {
    const std::int32_t key = work.distinct[static_cast<std::size_t>(k)];
    const Span span = sum_tree(table, work, key, k, earliest, year_limit);
    store_mean(table, work, static_cast<std::size_t>(k), span, earliest);
    table.ids[static_cast<std::size_t>(k)] = sites == TreeSites::own
                                                 ? own_site_tree_id(table.ids, key, key_first, key_last)
                                                 : compose_tree_id(site, key, key_first, key_last);
  }
  return trees;
}

}  // namespace ringave
