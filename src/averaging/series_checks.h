// Checks of the series IDs of one file that the averaging relies on without
// being able to verify them: no ID stands for two series, and what the key
// rule doubts (with fixed positions and the first series' site code: every
// series comes from that site). None stops the run; each case is a
// warning, so the user learns which trees mix what.
#pragma once

#include <cstdint>
#include <span>

#include "averaging/key_rule.h"
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

// Warns, in row order, of what the rule finds doubtful in a series ID
// (KeyRule::warn) and of every series whose ID occurs in an earlier row,
// naming both series numbers (rows counted from 1). Uses scratch[0 ..
// table.rows), which must hold that many entries.
void check_series_ids(const CoreTable& table, std::span<IdRow> scratch, const KeyRule& rule, Reporter& reporter);

}  // namespace ringave
