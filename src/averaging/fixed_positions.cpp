#include "averaging/fixed_positions.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <string_view>

#include "records/int_text.h"
#include "records/record_io.h"
#include "records/transfer.h"

namespace ringave {

namespace {

// What a key read leaves in its item when the field supplied no value (a null
// value: a leading comma, a slash, "r*"). No field of at most 8 characters
// can hold this number, so it cannot be mistaken for a key that was read.
constexpr std::int32_t kNoKey = std::numeric_limits<std::int32_t>::min();

// Kept by site code in a file of several, a row's key is the row of its
// tree's first core plus this: below 0, never a tree number.
constexpr std::int32_t kRowKey = std::numeric_limits<std::int32_t>::min();

std::string quoted(std::string_view text) {
  std::string q(1, '"');
  q.append(text);
  q += '"';
  return q;
}

// Keys by site code (the first `site_length` characters) and tree number,
// given keys[r] = the tree number of ids[r]: sets keys[r] to kRowKey plus
// the first row with the same site code and tree number. When every row has
// row 0's site code the tree numbers already are such keys and stay.
void key_by_own_site(std::span<const Field<8>> ids, std::span<std::int32_t> keys, std::span<std::int32_t> scratch,
                     std::size_t site_length) {
  const std::size_t rows = ids.size();
  const auto same_site = [&](std::size_t a, std::size_t b) {
    return std::equal(ids[a].data(), ids[a].data() + site_length, ids[b].data());
  };
  std::size_t r = 1;
  while (r < rows && same_site(0, r)) ++r;
  if (r >= rows) return;
  std::copy_n(keys.begin(), rows, scratch.begin());
  for (r = 0; r < rows; ++r) {
    std::size_t q = 0;
    // The row itself matches at the latest.
    while (scratch[q] != scratch[r] || !same_site(q, r)) ++q;
    keys[r] = kRowKey + static_cast<std::int32_t>(q);
  }
}

}  // namespace

FixedPositions::FixedPositions(std::int32_t key_first, std::int32_t key_last, TreeSites sites)
    : key_first_(key_first),
      key_last_(key_last),
      first_(std::clamp(key_first, 1, 9)),
      last_(std::min(key_last, 8)),
      sites_(sites) {}

std::string FixedPositions::place() const {
  return "positions " + std::to_string(key_first_) + "-" + std::to_string(key_last_);
}

Field<8> FixedPositions::site_code(const Field<8>& id) const {
  Field<8> site;
  std::copy_n(id.data(), first_ - 1, site.data());
  return site;
}

std::int32_t FixedPositions::number(const Field<8>& id) const {
  const std::string_view field(id.data() + (first_ - 1), static_cast<std::size_t>(std::max(last_ - first_ + 1, 0)));
  InternalSource source(field);
  std::int32_t key = kNoKey;
  read_list_directed(source, {key});  // no branches: an unreadable field throws
  if (key == kNoKey) throw fatal_error(kReadPastEnd, "READ", source.unit_label());
  if (key < 0) throw fatal_error(kIllegalCharacter, "READ", source.unit_label());
  return key;
}

std::optional<UnreadableKey> FixedPositions::keys(const SeriesRows& rows, std::span<std::int32_t> keys,
                                                  std::span<std::int32_t> scratch) const {
  const std::span<const Field<8>> ids = rows.ids;
  for (std::size_t r = 0; r < ids.size(); ++r) {
    try {
      keys[r] = number(ids[r]);
    } catch (const Error& fatal) {
      const auto width = static_cast<std::size_t>(std::max(last_ - first_ + 1, 0));
      return UnreadableKey{fatal, static_cast<std::int32_t>(r),
                           std::string(ids[r].view().substr(static_cast<std::size_t>(first_ - 1), width))};
    }
  }
  if (sites_ == TreeSites::own) key_by_own_site(ids, keys, scratch, static_cast<std::size_t>(first_ - 1));
  return std::nullopt;
}

std::string FixedPositions::tree_id(const SeriesRows& rows, std::int32_t first_row, std::int32_t key) const {
  return std::string(tree_field(rows.ids, first_row, key).trimmed());
}

Field<8> FixedPositions::tree_field(std::span<const Field<8>> ids, std::int32_t first_row, std::int32_t key) const {
  const Field<8>& core = ids[static_cast<std::size_t>(first_row)];
  Field<8> id = site_code(sites_ == TreeSites::own ? core : ids[0]);
  // A row key stands for the tree's first core, whose number is read again.
  const std::int32_t tree_number = key >= 0 ? key : number(core);
  if (last_ >= first_) put_integer(&id.col(static_cast<std::size_t>(first_)), last_ - first_ + 1, tree_number, '0');
  return id;
}

void FixedPositions::warn(const SeriesRows& rows, std::int32_t row, Reporter& reporter) const {
  if (sites_ != TreeSites::first_series) return;
  const std::span<const Field<8>> ids = rows.ids;
  const Field<8>& id = ids[static_cast<std::size_t>(row)];
  const Field<8> site = site_code(id), first_site = site_code(ids[0]);
  if (site == first_site) return;
  const std::string text = "series " + std::to_string(row + 1) + " " + std::string(id.trimmed()) + ": site code " +
                           quoted(site.trimmed()) + " differs from " + quoted(first_site.trimmed()) +
                           " of the first series; its tree is written under " + quoted(first_site.trimmed());
  reporter.warning({text, text + "\n"});
}

}  // namespace ringave
