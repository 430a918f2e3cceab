// The tree-key rule of a map file (-t map:FILE): a CSV table (RFC 4180:
// comma-separated, quoted cells with "" for a quotation mark inside, LF or
// CR LF line ends) whose header row names the columns `series` and `tree`,
// and optionally `site` (any case, any order; other columns are passed
// over). Each row gives the tree of one series by its whole ID; the tree ID
// is the site, then the tree. A series the map does not name has no tree.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>

#include "averaging/text_rules.h"

namespace ringave {

class MapRule final : public TextRule {
 public:
  // `trees`: each series' whole ID and its tree ID; `file`: the map's name.
  MapRule(std::string file, std::unordered_map<std::string, std::string> trees)
      : file_(std::move(file)), trees_(std::move(trees)) {}
  std::string place() const override { return "the map file " + file_; }
  TreeText tree_text(const SeriesRows& rows, std::size_t row) const override;

 private:
  std::string file_;
  std::unordered_map<std::string, std::string> trees_;
};

// The rule of the map text `text` of the file `file`, or what is wrong with
// it: "FILE: line N: ..." (a quoted cell not closed, a quotation mark inside
// an unquoted cell, a header without `series` or `tree`, a row without a
// cell for them, an empty series or tree, a series given two trees). Blank
// lines are passed over; a byte-order mark at the start is not read as text.
std::variant<std::shared_ptr<const MapRule>, std::string> parse_tree_map(std::string_view text,
                                                                         const std::string& file);

// The same for the map file `file`, read whole; also fails naming the file
// when it cannot be read.
std::variant<std::shared_ptr<const MapRule>, std::string> read_tree_map(const std::string& file);

}  // namespace ringave
