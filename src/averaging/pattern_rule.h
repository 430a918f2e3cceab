// The tree-key rule of a regular expression (-t pattern:REGEX), matched by
// PCRE2 against each series' whole ID, all of it (as if between ^ and $):
// the named group `tree` is the tree text and the optional group `site` the
// site text; the tree ID is the site, then the tree. A series whose ID does
// not match, or matches with an empty tree, has no tree. The pattern is
// compiled once, with UTF-8 IDs read as UTF-8.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <variant>

#include "averaging/text_rules.h"

namespace ringave {

class PatternRule final : public TextRule {
 public:
  // The rule of `regex`, or what is wrong with it: PCRE2's message with the
  // offset in the pattern where it stopped, or a pattern without a group
  // named tree.
  static std::variant<std::shared_ptr<const PatternRule>, std::string> make(std::string_view regex);

  std::string place() const override { return "the pattern " + regex_; }
  TreeText tree_text(const SeriesRows& rows, std::size_t row) const override;

  struct Compiled;  // the compiled pattern and its match data

 private:
  PatternRule(std::string regex, std::shared_ptr<Compiled> compiled);
  std::string regex_;
  std::shared_ptr<Compiled> compiled_;
};

}  // namespace ringave
