#include "averaging/series_checks.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>

#include "averaging/treemean.h"

namespace ringave {

namespace {

void warn_twice(const CoreTable& t, const IdRow& e, Reporter& reporter) {
  const auto r = static_cast<std::size_t>(e.row);
  const std::string text = "series " + std::to_string(e.row + 1) + " " + std::string(t.series_rows().whole_id(r)) +
                           ": the ID occurs twice, as series " + std::to_string(e.first_row + 1) + " and " +
                           std::to_string(e.row + 1) + "; both are averaged as cores";
  reporter.warning({text, text + "\n"});
}

// Marks in scratch[0 .. n), left in row order, every row whose ID occurs in
// an earlier row, with that row. Sorting keeps this at n log n for the
// largest files.
void mark_repeated_ids(const CoreTable& t, std::span<IdRow> scratch, std::size_t n) {
  for (std::size_t r = 0; r < n; ++r) {
    std::uint64_t id;
    std::memcpy(&id, t.ids[r].data(), sizeof id);
    scratch[r] = {id, static_cast<std::int32_t>(r), -1};
  }
  // IDs whose first 8 characters agree are told apart by their whole IDs.
  const SeriesRows rows = t.series_rows();
  const auto whole = [&](const IdRow& e) { return rows.whole_id(static_cast<std::size_t>(e.row)); };
  const auto by_id = [&](const IdRow& a, const IdRow& b) {
    if (a.id != b.id) return a.id < b.id;
    const std::string_view wa = whole(a), wb = whole(b);
    return wa != wb ? wa < wb : a.row < b.row;
  };
  std::sort(scratch.begin(), scratch.begin() + static_cast<std::ptrdiff_t>(n), by_id);
  for (std::size_t i = 1; i < n; ++i)
    if (scratch[i].id == scratch[i - 1].id && whole(scratch[i]) == whole(scratch[i - 1]))
      scratch[i].first_row = scratch[i - 1].first_row >= 0 ? scratch[i - 1].first_row : scratch[i - 1].row;
  std::sort(scratch.begin(), scratch.begin() + static_cast<std::ptrdiff_t>(n),
            [](const IdRow& a, const IdRow& b) { return a.row < b.row; });
}

}  // namespace

void check_series_ids(const CoreTable& table, std::span<IdRow> scratch, const KeyRule& rule, Reporter& reporter) {
  static_assert(sizeof(std::uint64_t) == Field<8>::size());
  if (table.rows <= 0) return;
  const auto n = std::min(static_cast<std::size_t>(table.rows), scratch.size());
  mark_repeated_ids(table, scratch, n);
  const SeriesRows rows = table.series_rows();
  for (std::size_t r = 0; r < n; ++r) {
    rule.warn(rows, static_cast<std::int32_t>(r), reporter);
    if (scratch[r].first_row >= 0) warn_twice(table, scratch[r], reporter);
  }
}

}  // namespace ringave
