// Tree-key rules: how the series of one file make trees. A rule gives every
// series a tree key (the series of one tree share it, those of different
// trees never do), gives each tree its tree ID, and may add warnings of its
// own about the IDs. A rule sees each series' ID as the Tucson and Compact
// ID field holds it, its whole ID (any length) and what its file says of it
// besides its values (a header's keys, a table's metadata columns). The
// averaging (treemean) takes any rule and knows nothing of how a key is
// found: it asks for the keys of all rows once, before it adds a value, and
// for each tree's ID once, before the table changes. The rules:
// fixed_positions.h, text_rules.h; made by name in key_rules.h.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "records/field.h"
#include "records/outcome.h"
#include "records/reporter.h"

namespace ringave {

// What a file says of its series besides their values, by row: the value of
// the field named `key` (compared in any case) of row `row`, if the series
// has one.
class SeriesFields {
 public:
  virtual ~SeriesFields() = default;
  virtual std::optional<std::string_view> value(std::size_t row, std::string_view key) const = 0;
};

// The series of one file as a rule reads them, row r for row r.
struct SeriesRows {
  std::span<const Field<8>> ids;  // the 8-character ID field: a longer ID's first 8 characters
  // The whole ID of each row, empty where ids[r] holds all of it; an empty
  // span when no row has one (Tucson and Compact files).
  std::span<const std::string> names = {};
  const SeriesFields* fields = nullptr;  // none: no series says anything besides its values

  std::size_t size() const { return ids.size(); }
  // Row r's whole ID: its name, or its ID field without trailing blanks.
  std::string_view whole_id(std::size_t r) const {
    return r < names.size() && !names[r].empty() ? std::string_view(names[r]) : ids[r].trimmed();
  }
  std::optional<std::string_view> field(std::size_t r, std::string_view key) const {
    return fields ? fields->value(r, key) : std::nullopt;
  }
};

// A series whose tree key the rule cannot read: the row of the series
// (0-based) and what the key's place holds. For fixed positions, the read's
// fatal report (the record layer's message, statement and unit, with `where`
// left to the front door, which words it); for the other rules `plain` says
// what is wrong with the series, in the command line's words, after
// "series 'ID' (series N of the file) ". The averaging throws it.
struct UnreadableKey : Error {
  std::int32_t row = 0;
  std::string held;
};

class KeyRule {
 public:
  virtual ~KeyRule() = default;

  // Where the rule finds the key, as messages and the picture name it:
  // "positions 4-5", "the tree tag", "column tag".
  virtual std::string place() const = 0;

  // Sets keys[r] to the tree key of row r for every row of `rows`: equal
  // for the rows of one tree, different for rows of different trees (any
  // values of the type). May use scratch[0 .. rows.size()). `keys` and
  // `scratch` hold at least rows.size() entries. Returns the first row
  // whose key cannot be read, the keys then undefined; nothing when every
  // key reads.
  virtual std::optional<UnreadableKey> keys(const SeriesRows& rows, std::span<std::int32_t> keys,
                                            std::span<std::int32_t> scratch) const = 0;

  // The tree ID of the tree whose first row is `first_row` and whose key is
  // `key`, as keys() gave them for these `rows`: its site text, then its
  // tree text, any length, no trailing blanks.
  virtual std::string tree_id(const SeriesRows& rows, std::int32_t first_row, std::int32_t key) const = 0;

  // Warns of what this rule finds doubtful in row `row` (after keys() read
  // every key); the averaging asks in row order, before its own warning
  // about the row. None by default.
  virtual void warn(const SeriesRows& rows, std::int32_t row, Reporter& reporter) const {
    (void)rows, (void)row, (void)reporter;
  }
};

}  // namespace ringave
