// Checks of the series IDs of one file that the averaging relies on without
// being able to verify them: every series comes from the site of the first
// one, and no ID stands for two series. Neither stops the run; each case is
// a warning, so the user learns which trees mix what.
#pragma once

#include <cstdint>
#include <span>

#include "records/reporter.h"

namespace ringave {

struct CoreTable;

// One series ID with its row, the scratch of the search for IDs that occur
// more than once.
struct IdRow {
  std::uint64_t id;
  std::int32_t row;
  std::int32_t first_row;  // the row where the ID occurs first; -1 when this is it
};

// Warns, in row order, of every series whose site code (the ID's characters
// before the tree number) differs from row 0's, naming both codes (unless
// `site_codes` is false: trees kept by site code), and of
// every series whose ID occurs in an earlier row, naming both series
// numbers (rows counted from 1). Uses scratch[0 .. table.rows), which must
// hold that many entries.
void check_series_ids(const CoreTable& table, std::span<IdRow> scratch, std::int32_t key_first, std::int32_t key_last,
                      Reporter& reporter, bool site_codes = true);

}  // namespace ringave
