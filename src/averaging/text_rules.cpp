#include "averaging/text_rules.h"

#include <unordered_map>

namespace ringave {

std::optional<UnreadableKey> TextRule::keys(const SeriesRows& rows, std::span<std::int32_t> keys,
                                            std::span<std::int32_t>) const {
  std::unordered_map<std::string, std::int32_t> first_row;
  first_row.reserve(rows.size());
  for (std::size_t r = 0; r < rows.size(); ++r) {
    TreeText t = tree_text(rows, r);
    if (t.unreadable.empty() && t.id.empty()) t.unreadable = "gives an empty tree ID by " + place();
    if (!t.unreadable.empty()) {
      UnreadableKey bad{};
      bad.plain = std::move(t.unreadable);
      bad.row = static_cast<std::int32_t>(r);
      bad.held = std::move(t.held);
      return bad;
    }
    keys[r] = first_row.try_emplace(std::move(t.id), static_cast<std::int32_t>(r)).first->second;
  }
  return std::nullopt;
}

std::string TextRule::tree_id(const SeriesRows& rows, std::int32_t first_row, std::int32_t) const {
  return tree_text(rows, static_cast<std::size_t>(first_row)).id;
}

TreeText IdRule::tree_text(const SeriesRows& rows, std::size_t row) const {
  TreeText t;
  t.id = rows.whole_id(row);
  if (t.id.empty()) t.unreadable = "has an empty ID, which -t id cannot make a tree of";
  return t;
}

}  // namespace ringave
