// Tree-key rules that read a tree ID as text, of any length, from each
// series' whole ID or from what its file says of it: the series whose tree
// IDs are equal make one tree. The tree ID is the site text, if any, then
// the tree text.
//
//   IdRule      -t id: every series its own tree, its whole ID the tree ID.
//   TagRule     -t tag: the tag + core letters scheme of forest plots: an
//               optional site prefix of letters, a tag number of any length,
//               optional core letters (3337A, 070622B, 142220, PLOT12a); the
//               tree is the prefix and the number without leading zeros
//               (030525A and 30525B are tree 30525).
//   ColumnRule  -t column:NAME: the tree is the value of the series' field
//               NAME (a table's metadata column), its name in any case.
//   HeaderRule  -t header: the header's TreeNo or TreeNumber, after its
//               SiteCode when it has one (keys in any case).
//
// The map and pattern rules: map_rule.h, pattern_rule.h.
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

class TagRule final : public TextRule {
 public:
  std::string place() const override { return "the tag in the series ID"; }
  TreeText tree_text(const SeriesRows& rows, std::size_t row) const override;
};

// The tag number of an ID of the tag + core letters scheme: its digits
// (from the first digit), when the ID is letters, digits, letters.
std::optional<std::string_view> tag_digits(std::string_view id);

// Whether `-t auto` takes the tag rule for these series: every whole ID
// has the tag scheme's form, and the tag numbers' digit runs are not all
// of one length (where they are, fixed positions fit, and win).
bool tags_vary_in_length(const SeriesRows& rows);

class ColumnRule final : public TextRule {
 public:
  explicit ColumnRule(std::string name) : name_(std::move(name)) {}
  std::string place() const override { return "column " + name_; }
  TreeText tree_text(const SeriesRows& rows, std::size_t row) const override;

 private:
  std::string name_;
};

class HeaderRule final : public TextRule {
 public:
  std::string place() const override { return "the header's TreeNo"; }
  TreeText tree_text(const SeriesRows& rows, std::size_t row) const override;
};

}  // namespace ringave
