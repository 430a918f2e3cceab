// Tree-key rules: how the series IDs of one file make trees. A rule gives
// every series a tree key (the series of one tree share it, those of
// different trees never do), gives each tree its tree ID, and may add
// warnings of its own about the IDs. The averaging (treemean) takes any
// rule and knows nothing of how a key is found: it asks for the keys of all
// rows once, before it adds a value, and for each tree's ID once, before
// the table changes. The rules: fixed_positions.h.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "records/field.h"
#include "records/outcome.h"
#include "records/reporter.h"

namespace ringave {

// A series ID whose tree key the rule cannot read: the read's fatal report
// (the record layer's message, statement and unit, with `where` left to the
// front door, which words it), the row of the series (0-based) and what the
// key's place in the ID holds. The averaging throws it.
struct UnreadableKey : Error {
  std::int32_t row = 0;
  std::string held;
};

class KeyRule {
 public:
  virtual ~KeyRule() = default;

  // Where the rule finds the key in a series ID, as messages and the
  // picture name it: "positions 4-5".
  virtual std::string place() const = 0;

  // Sets keys[r] to the tree key of ids[r] for every row r of `ids`: equal
  // for the rows of one tree, different for rows of different trees (any
  // values of the type). May use scratch[0 .. ids.size()). `keys` and
  // `scratch` hold at least ids.size() entries. Returns the first row whose
  // key cannot be read, the keys then undefined; nothing when every key
  // reads.
  virtual std::optional<UnreadableKey> keys(std::span<const Field<8>> ids, std::span<std::int32_t> keys,
                                            std::span<std::int32_t> scratch) const = 0;

  // The tree ID of the tree whose first row is `first_row` and whose key is
  // `key`, as keys() gave them for these `ids`.
  virtual Field<8> tree_id(std::span<const Field<8>> ids, std::int32_t first_row, std::int32_t key) const = 0;

  // Warns of what this rule finds doubtful in the ID of row `row` (after
  // keys() read every key); the averaging asks in row order, before its own
  // warning about the row. None by default.
  virtual void warn(std::span<const Field<8>> ids, std::int32_t row, Reporter& reporter) const {
    (void)ids, (void)row, (void)reporter;
  }
};

}  // namespace ringave
