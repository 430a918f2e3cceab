// Everything a run holds, made once at start-up and reused for every file
// (and, by a caller that keeps it, for every run): the series table, the
// series on its way between a file and the table, the averaging's work
// arrays and the file list. Sized by the limits in run/limits.h; the readers
// and the averaging take their capacities from these sizes.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "averaging/treemean.h"
#include "formats/series.h"
#include "run/file_list.h"
#include "run/limits.h"
#include "run/series_table.h"

namespace ringave {

struct RunStorage {
  // Points the series at its value storage. Throws std::bad_alloc when the
  // table cannot be made.
  RunStorage() { series.values = series_values; }
  RunStorage(const RunStorage&) = delete;
  RunStorage& operator=(const RunStorage&) = delete;

  SeriesTable table;
  // One series on its way from a reader to the table; its values hold
  // kLengthLimit. The driver points the values at the table row the series
  // goes to, and at series_values for a series beyond the table's rows.
  Series series;
  std::array<float, kLengthLimit> series_values{};
  // The averaging's work arrays: a key, a tree span, an ID slot and a tree
  // ID per table row, a sum and a count per year a row can hold. The sums
  // and counts stay all zero between files.
  std::array<std::int32_t, kSeriesLimit> keys{};
  std::array<std::int32_t, kSeriesLimit> distinct{};
  std::array<float, kLengthLimit> year_sums{};
  std::array<float, kLengthLimit> year_counts{};
  std::array<std::int32_t, kSeriesLimit> tree_first{};
  std::array<std::int32_t, kSeriesLimit> tree_last{};
  std::array<std::int32_t, kSeriesLimit> last_rows{};
  std::array<IdRow, kSeriesLimit> id_rows{};
  std::array<std::string, kSeriesLimit> tree_ids{};
  FileList files;

  AveragingWork work() {
    return {keys, distinct, year_sums, year_counts, tree_first, tree_last, last_rows, id_rows, tree_ids};
  }
};

}  // namespace ringave
