#include "averaging/text_rules.h"

#include <unordered_map>

namespace ringave {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// A field's value without the blanks around it.
std::string_view trimmed(std::string_view v) {
  const std::size_t from = v.find_first_not_of(" \t");
  if (from == std::string_view::npos) return {};
  return v.substr(from, v.find_last_not_of(" \t") - from + 1);
}

}  // namespace

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

std::optional<std::string_view> tag_digits(std::string_view id) {
  std::size_t i = 0;
  while (i < id.size() && is_letter(id[i])) ++i;
  const std::size_t from = i;
  while (i < id.size() && is_digit(id[i])) ++i;
  const std::size_t to = i;
  while (i < id.size() && is_letter(id[i])) ++i;
  if (to == from || i != id.size()) return std::nullopt;
  return id.substr(from, to - from);
}

TreeText TagRule::tree_text(const SeriesRows& rows, std::size_t row) const {
  TreeText t;
  const std::string_view id = rows.whole_id(row);
  const std::optional<std::string_view> digits = tag_digits(id);
  if (!digits) {
    t.unreadable = "is not a tree tag (letters, a tag number, core letters), as -t tag reads the IDs";
    t.held = id;
    return t;
  }
  // The site prefix, then the tag number without its leading zeros.
  const std::size_t from = static_cast<std::size_t>(digits->data() - id.data());
  std::string_view number = *digits;
  while (number.size() > 1 && number.front() == '0') number.remove_prefix(1);
  t.id.assign(id.substr(0, from)).append(number);
  return t;
}

bool tags_vary_in_length(const SeriesRows& rows) {
  std::size_t length = 0;
  bool varies = false;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const std::optional<std::string_view> digits = tag_digits(rows.whole_id(r));
    if (!digits) return false;
    if (r > 0 && digits->size() != length) varies = true;
    length = digits->size();
  }
  return varies;
}

TreeText ColumnRule::tree_text(const SeriesRows& rows, std::size_t row) const {
  TreeText t;
  const std::optional<std::string_view> value = rows.field(row, name_);
  if (!value) {
    t.unreadable = "has no column '" + name_ +
                   "' (-t column:NAME takes the tree from a metadata column of a table of one series per row)";
    return t;
  }
  t.id = trimmed(*value);
  if (t.id.empty()) t.unreadable = "has an empty cell in column '" + name_ + "', where its tree should be";
  return t;
}

TreeText HeaderRule::tree_text(const SeriesRows& rows, std::size_t row) const {
  TreeText t;
  std::optional<std::string_view> tree = rows.field(row, "TreeNo");
  if (!tree || trimmed(*tree).empty()) tree = rows.field(row, "TreeNumber");
  if (!tree || trimmed(*tree).empty()) {
    t.unreadable = "has no TreeNo or TreeNumber in its header, which -t header takes for its tree";
    return t;
  }
  if (const std::optional<std::string_view> site = rows.field(row, "SiteCode")) t.id = trimmed(*site);
  t.id.append(trimmed(*tree));
  return t;
}

}  // namespace ringave
