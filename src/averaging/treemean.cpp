#include "averaging/treemean.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <limits>
#include <string>

#include "averaging/tree_keys.h"
#include "records/layout.h"
#include "records/outcome.h"

namespace ringave {

namespace {

// Years the year sums hold: E .. E + 3000.
constexpr std::int32_t kYearCapacity = 3001;
// Series whose keys the key lists hold.
constexpr std::int32_t kKeyCapacity = 2001;

// Working storage, made once and reused for every file. The year sums and
// counts are left all zero after every tree.
struct Work {
  std::array<std::int32_t, kKeyCapacity> keys{};
  std::array<std::int32_t, kKeyCapacity> distinct{};
  std::array<float, kYearCapacity> sums{};
  std::array<float, kYearCapacity> counts{};
};

Work& work() {
  static Work w;
  return w;
}

}  // namespace

void treemean(std::int32_t length_limit, std::int32_t series_limit, std::span<float> values,
              std::span<Field<8>> ids, std::span<std::int32_t> first_years, std::span<std::int32_t> last_years,
              std::span<std::int32_t> counts, std::int32_t& rows, std::int32_t start, std::int32_t stop) {
  const std::int32_t n = rows;
  if (n <= 0) {
    rows = 0;
    return;
  }

  // The rows the table really has: never index past any of its columns.
  std::size_t table_rows = std::min({ids.size(), first_years.size(), last_years.size(), counts.size()});
  if (series_limit >= 0) table_rows = std::min(table_rows, static_cast<std::size_t>(series_limit));
  if (length_limit > 0) table_rows = std::min(table_rows, values.size() / static_cast<std::size_t>(length_limit));
  if (n > kKeyCapacity || static_cast<std::size_t>(n) > table_rows) {
    ringave::stop(kExitFailure, "sbr treemean:  more series than the table holds");
  }
  // A tree series holds one value per year of its span, so the span is bound
  // by the slots of a row as well as by the year sums.
  const std::int32_t year_limit = std::max(0, std::min(kYearCapacity, length_limit));

  // Earliest year E: the smallest first year of the series that have values.
  // An empty series covers no year.
  bool any_values = false;
  std::int32_t earliest = 0;
  for (std::int32_t m = 0; m < n; ++m) {
    if (counts[static_cast<std::size_t>(m)] < 1) continue;
    const std::int32_t first = first_years[static_cast<std::size_t>(m)];
    if (!any_values || first < earliest) earliest = first;
    any_values = true;
  }
  // Every series with values must end within the year sums, and its last
  // year must be a year. Checked before the table or the sums change.
  for (std::int32_t m = 0; m < n; ++m) {
    const std::int64_t count = counts[static_cast<std::size_t>(m)];
    if (count < 1) continue;
    const std::int64_t last = static_cast<std::int64_t>(first_years[static_cast<std::size_t>(m)]) + count - 1;
    if (last - earliest + 1 > year_limit) {
      ringave::stop(kExitFailure,
                    "sbr treemean:  the series of the file span more than " + std::to_string(year_limit) + " years");
    }
    if (last > std::numeric_limits<std::int32_t>::max()) {
      ringave::stop(kExitFailure, "sbr treemean:  a series ends after the year 2147483647");
    }
  }

  Work& w = work();
  Field<8> site;
  site_code(ids[0], start, stop, site);
  for (std::int32_t m = 0; m < n; ++m) {
    w.keys[static_cast<std::size_t>(m)] = read_tree_key(ids[static_cast<std::size_t>(m)], start, stop);
  }
  Field<15> id_text;
  tree_id_layout(start, stop, id_text);
  const Layout& id_layout = layout(id_text.trimmed());
  std::int32_t trees = 0;
  nodups(w.keys, n, w.distinct, trees);

  const std::size_t row_length = static_cast<std::size_t>(length_limit);
  for (std::int32_t k = 0; k < trees; ++k) {
    const std::int32_t key = w.distinct[static_cast<std::size_t>(k)];
    // Sum the cores of tree k, in table order. Its first core lies in row k
    // or later (trees are numbered in order of first appearance), and every
    // row before k already holds an earlier tree; the keys come from the key
    // list, which is what the IDs of rows k.. still read as.
    std::int32_t lo = year_limit;
    std::int32_t hi = -1;
    for (std::int32_t m = k; m < n; ++m) {
      if (w.keys[static_cast<std::size_t>(m)] != key) continue;
      const std::int32_t count = counts[static_cast<std::size_t>(m)];
      if (count < 1) continue;
      const std::int32_t js = first_years[static_cast<std::size_t>(m)] - earliest;
      const std::int32_t je = js + count - 1;
      lo = std::min(lo, js);
      hi = std::max(hi, je);
      const float* core = values.data() + static_cast<std::size_t>(m) * row_length;
      for (std::int32_t j = js; j <= je; ++j) {
        w.sums[static_cast<std::size_t>(j)] += core[j - js];
        w.counts[static_cast<std::size_t>(j)] += 1.0f;
      }
    }

    // Store the mean of every year of the span in place; a year that no core
    // covers (a gap between the cores) gets 0, the code of a missing ring.
    const std::size_t row = static_cast<std::size_t>(k);
    if (hi >= lo) {
      float* tree = values.data() + row * row_length;
      for (std::int32_t j = lo; j <= hi; ++j) {
        const float c = w.counts[static_cast<std::size_t>(j)];
        tree[j - lo] = c > 0.0f ? w.sums[static_cast<std::size_t>(j)] / c : 0.0f;
        w.sums[static_cast<std::size_t>(j)] = 0.0f;
        w.counts[static_cast<std::size_t>(j)] = 0.0f;
      }
      first_years[row] = earliest + lo;
      counts[row] = hi - lo + 1;
    } else {
      // Only empty cores: no values; the first year stays as the row had it.
      counts[row] = 0;
    }
    last_years[row] = static_cast<std::int32_t>(static_cast<std::int64_t>(first_years[row]) + counts[row] - 1);
    compose_tree_id(id_layout, site, key, start, stop, ids[row]);
  }
  rows = trees;
}

}  // namespace ringave
