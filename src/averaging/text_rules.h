// Tree-key rules that read a tree ID as text, of any length, from each
// series' whole ID or from what its file says of it: the series whose tree
// IDs are equal make one tree. The tree ID is the site text, if any, then
// the tree text.
//
//   IdRule      -t id: every series its own tree, its whole ID the tree ID.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "averaging/key_rule.h"

namespace ringave {

// The tree of one series, or why it has none.
struct TreeText {
  std::string id;          // the tree ID: site text, then tree text
  std::string unreadable;  // else: what is wrong with the series, in plain words
  std::string held;        // what the rule read, for the message
};

// The common part of the text rules: keys are the first row of each tree
// ID, found through a hash table in one pass.
class TextRule : public KeyRule {
 public:
  std::optional<UnreadableKey> keys(const SeriesRows& rows, std::span<std::int32_t> keys,
                                    std::span<std::int32_t> scratch) const override;
  std::string tree_id(const SeriesRows& rows, std::int32_t first_row, std::int32_t key) const override;

  // The tree of row `row`. An empty tree ID is refused by keys().
  virtual TreeText tree_text(const SeriesRows& rows, std::size_t row) const = 0;
};

class IdRule final : public TextRule {
 public:
  std::string place() const override { return "the whole series ID"; }
  TreeText tree_text(const SeriesRows& rows, std::size_t row) const override;
};

}  // namespace ringave
