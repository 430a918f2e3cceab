// Fuzzes the tree-key rules made from text: a map file (the input's first
// byte even) or a pattern (odd: the first line the pattern, the rest the
// series IDs, one a line), then the trees of a few series IDs by the rule.
// A rule that cannot be made, or a series without a tree, is an answer, never
// a crash.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "averaging/map_rule.h"
#include "averaging/pattern_rule.h"
#include "averaging/tree_keys.h"

using namespace ringave;

namespace {

void trees_of(const KeyRule& rule, const std::vector<std::string>& ids) {
  std::vector<Field<8>> fields(ids.begin(), ids.end());
  const TreePartition p = partition_trees(rule, SeriesRows{fields, ids});
  (void)p;
}

std::vector<std::string> lines_of(std::string_view text) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at <= text.size() && lines.size() < 64;) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    lines.emplace_back(text.substr(at, end - at));
    at = end + 1;
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] % 2 == 0) {
    const auto map = parse_tree_map(text, "map.csv");
    if (const auto* rule = std::get_if<0>(&map)) trees_of(**rule, {"K1_091", "S38-BB", "3337A", "", "a-long-core-id"});
    return 0;
  }
  std::vector<std::string> lines = lines_of(text);
  const auto pattern = PatternRule::make(lines[0]);
  lines.erase(lines.begin());
  if (const auto* rule = std::get_if<0>(&pattern)) trees_of(**rule, lines);
  return 0;
}
