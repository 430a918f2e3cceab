#include "averaging/key_rules.h"

#include <utility>
#include <variant>

#include "averaging/map_rule.h"
#include "averaging/pattern_rule.h"
#include "averaging/text_rules.h"

namespace ringave {

namespace {

struct RuleEntry {
  std::string_view name;
  std::string_view argument;  // what follows the colon, as help names it; empty: none
  MadeRule (*make)(std::string_view argument);
};

template <class Rule>
MadeRule plain_rule(std::string_view) {
  return {std::make_shared<const Rule>()};
}

MadeRule column_rule(std::string_view name) { return {std::make_shared<const ColumnRule>(std::string(name))}; }

// A map file that cannot be read fails the run (exit status 1), naming it.
MadeRule map_rule(std::string_view file) {
  auto read = read_tree_map(std::string(file));
  if (auto* error = std::get_if<std::string>(&read)) return {nullptr, std::move(*error)};
  return {std::get<0>(std::move(read))};
}

// A pattern that does not compile is a usage error.
MadeRule pattern_rule(std::string_view regex) {
  auto made = PatternRule::make(regex);
  if (auto* error = std::get_if<std::string>(&made))
    return {nullptr, "-t pattern:" + std::string(regex) + ": " + *error, true};
  return {std::get<0>(std::move(made))};
}

// One line per rule, in the order messages name them.
const RuleEntry kRules[] = {
    {"tag", "", plain_rule<TagRule>},
    {"id", "", plain_rule<IdRule>},
    {"header", "", plain_rule<HeaderRule>},
    {"column", "NAME", column_rule},
    {"map", "FILE", map_rule},
    {"pattern", "REGEX", pattern_rule},
};

// The entry `text` names and the argument after its colon.
std::optional<std::pair<const RuleEntry*, std::string_view>> entry_of(std::string_view text) {
  const std::size_t colon = text.find(':');
  const std::string_view name = text.substr(0, colon);
  for (const RuleEntry& e : kRules)
    if (e.name == name) return std::pair{&e, colon == std::string_view::npos ? std::string_view{} : text.substr(colon + 1)};
  return std::nullopt;
}

}  // namespace

bool names_key_rule(std::string_view text) { return entry_of(text).has_value(); }

MadeRule make_key_rule(std::string_view text) {
  const auto entry = entry_of(text);
  if (!entry) return {nullptr, "-t '" + std::string(text) + "': no such tree-key rule", true};
  const auto& [e, argument] = *entry;
  const std::string name(e->name);
  if (e->argument.empty() && text.size() > name.size())
    return {nullptr, "-t " + name + " takes nothing after its name: give -t " + name, true};
  if (!e->argument.empty() && argument.empty())
    return {nullptr,
            "-t " + name + " needs a " + std::string(e->argument) + " after a colon: -t " + name + ":" +
                std::string(e->argument),
            true};
  return e->make(argument);
}

std::string key_rule_names() {
  std::string names;
  const std::size_t n = std::size(kRules);
  for (std::size_t i = 0; i < n; ++i) {
    if (i > 0) names += i + 1 == n ? " or " : ", ";
    names.append(kRules[i].name);
    if (!kRules[i].argument.empty()) names.append(":").append(kRules[i].argument);
  }
  return names;
}

}  // namespace ringave
