#include "averaging/tree_keys.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <string_view>

#include "records/int_text.h"
#include "records/outcome.h"
#include "records/record_io.h"
#include "records/transfer.h"

namespace ringave {

namespace {

// What a key read leaves in its item when the field supplied no value (a null
// value: a leading comma, a slash, "r*"). No field of at most 8 characters
// can hold this number, so it cannot be mistaken for a key that was read.
constexpr std::int32_t kNoKey = std::numeric_limits<std::int32_t>::min();

}  // namespace

std::int32_t group_by_tree(std::span<std::int32_t> keys, std::int32_t n, std::span<std::int32_t> distinct) {
  std::int32_t count = 0;
  std::int32_t highest = 0;  // the highest key so far
  if (n <= 0) return 0;
  const std::size_t limit = std::min({static_cast<std::size_t>(n), keys.size(), distinct.size()});
  for (std::size_t i = 0; i < limit; ++i) {
    const std::int32_t key = keys[i];
    // The cores of a tree mostly follow one another, and new trees mostly
    // come with rising keys: a key above every key so far is a new tree
    // without a search, and the search starts at the tree of the row before.
    std::int32_t d = count;
    if (count > 0 && key <= highest) {
      d = distinct[static_cast<std::size_t>(keys[i - 1])] == key ? keys[i - 1] : 0;
      while (d < count && distinct[static_cast<std::size_t>(d)] != key) ++d;
    }
    if (d == count) {
      distinct[static_cast<std::size_t>(count++)] = key;
      highest = count == 1 ? key : std::max(highest, key);
    }
    keys[i] = d;
  }
  return count;
}

KeyField key_field(std::int32_t key_first, std::int32_t key_last) {
  KeyField f;
  f.first = key_first < 1 ? 1 : (key_first > 9 ? 9 : key_first);
  f.last = key_last > 8 ? 8 : key_last;
  return f;
}

Field<8> site_code(const Field<8>& id, std::int32_t key_first, std::int32_t key_last) {
  Field<8> site;
  const KeyField f = key_field(key_first, key_last);
  for (std::size_t col = 1; col < static_cast<std::size_t>(f.first); ++col) site.col(col) = id.col(col);
  return site;
}

std::int32_t read_tree_key(const Field<8>& id, std::int32_t key_first, std::int32_t key_last) {
  const KeyField f = key_field(key_first, key_last);
  const std::string_view field(id.data() + (f.first - 1), static_cast<std::size_t>(f.width()));
  InternalSource source(field);
  std::int32_t key = kNoKey;
  read_list_directed(source, {key});  // no branches: an unreadable field ends the run
  if (key == kNoKey) throw FatalError{kReadPastEnd, "READ", source.unit_label()};
  if (key < 0) throw FatalError{kIllegalCharacter, "READ", source.unit_label()};
  return key;
}

Field<8> compose_tree_id(const Field<8>& site, std::int32_t key, std::int32_t key_first, std::int32_t key_last) {
  const KeyField f = key_field(key_first, key_last);
  Field<8> id;
  for (std::size_t col = 1; col < static_cast<std::size_t>(f.first); ++col) id.col(col) = site.col(col);
  if (f.width() > 0) put_integer(&id.col(static_cast<std::size_t>(f.first)), f.width(), key, '0');
  return id;
}

bool key_by_own_site(std::span<const Field<8>> ids, std::span<std::int32_t> keys, std::span<std::int32_t> scratch,
                     std::int32_t n, std::int32_t key_first, std::int32_t key_last) {
  const auto site_length = static_cast<std::size_t>(key_field(key_first, key_last).first - 1);
  const auto rows = static_cast<std::size_t>(std::max(n, 0));
  const auto same_site = [&](std::size_t a, std::size_t b) {
    return std::equal(ids[a].data(), ids[a].data() + site_length, ids[b].data());
  };
  std::size_t r = 1;
  while (r < rows && same_site(0, r)) ++r;
  if (r >= rows) return false;  // one site code: the numbers are the keys
  std::copy_n(keys.begin(), rows, scratch.begin());
  for (r = 0; r < rows; ++r) {
    std::size_t q = 0;
    // The row itself matches at the latest.
    while (scratch[q] != scratch[r] || !same_site(q, r)) ++q;
    keys[r] = static_cast<std::int32_t>(q);
  }
  return true;
}

Field<8> own_site_tree_id(std::span<const Field<8>> ids, std::int32_t first_row, std::int32_t key_first,
                          std::int32_t key_last) {
  const Field<8>& id = ids[static_cast<std::size_t>(first_row)];
  return compose_tree_id(site_code(id, key_first, key_last), read_tree_key(id, key_first, key_last), key_first,
                         key_last);
}

}  // namespace ringave
