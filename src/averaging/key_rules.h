// The tree-key rules the command line's -t names besides tree-number
// positions, in one table (key_rules.cpp): each by its name, alone ("tag")
// or with an argument after a colon ("column:tag"). A new rule is a class of
// its own (key_rule.h) and a line in that table; the averaging, the road
// and the outputs need no change.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "averaging/key_rule.h"

namespace ringave {

// A rule made from -t's text, or why it cannot be made: `usage` for a
// mistake in the text itself (exit status 2), else a file it names that
// cannot be read (exit status 1). `error` names the file and line where one
// is concerned.
struct MadeRule {
  std::shared_ptr<const KeyRule> rule;
  std::string error = {};
  bool usage = false;
};

// Whether `text` names a rule of the table ("tag", "column:..."); "auto" and
// positions are not such names. Pure.
bool names_key_rule(std::string_view text);

// Makes the rule `text` names (names_key_rule(text) true), doing once what
// is costly (reading a map file, compiling a pattern).
MadeRule make_key_rule(std::string_view text);

// The names of the table's rules as -t takes them, for messages:
// "tag, id, header, column:NAME, map:FILE or pattern:REGEX".
std::string key_rule_names();

}  // namespace ringave
