#include "averaging/tree_keys.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <string_view>

#include "records/outcome.h"
#include "records/record_io.h"
#include "records/transfer.h"

namespace ringave {

namespace {

// The tree-ID layout template: the site-code width goes into characters 3-4,
// the tree-number width into characters 8-14.
constexpr std::string_view kTreeIdTemplate = "(a   ,i       )";

// What a key read leaves in its item when the field supplied no value (a null
// value: a leading comma, a slash, "r*"). No field of at most 8 characters
// can hold this number, so it cannot be mistaken for a key that was read.
constexpr std::int32_t kNoKey = std::numeric_limits<std::int32_t>::min();

}  // namespace

void nodups(std::span<const std::int32_t> keys, std::int32_t n, std::span<std::int32_t> distinct,
            std::int32_t& count) {
  count = 0;
  if (n <= 0) return;
  const std::size_t limit = std::min({static_cast<std::size_t>(n), keys.size(), distinct.size()});
  for (std::size_t i = 0; i < limit; ++i) {
    const std::int32_t key = keys[i];
    bool seen = false;
    for (std::int32_t d = 0; d < count; ++d) {
      if (distinct[static_cast<std::size_t>(d)] == key) {
        seen = true;
        break;
      }
    }
    if (!seen) distinct[static_cast<std::size_t>(count++)] = key;
  }
}

KeyField key_field(std::int32_t start, std::int32_t stop) {
  KeyField f;
  f.first = start < 1 ? 1 : (start > 9 ? 9 : start);
  f.last = stop > 8 ? 8 : stop;
  return f;
}

void site_code(const Field<8>& id, std::int32_t start, std::int32_t stop, Field<8>& site) {
  blank(site);
  const KeyField f = key_field(start, stop);
  for (std::size_t col = 1; col < static_cast<std::size_t>(f.first); ++col) site.col(col) = id.col(col);
}

std::int32_t read_tree_key(const Field<8>& id, std::int32_t start, std::int32_t stop) {
  const KeyField f = key_field(start, stop);
  const std::string_view field(id.data() + (f.first - 1), static_cast<std::size_t>(f.width()));
  InternalSource source(field);
  std::int32_t key = kNoKey;
  read_list_directed(source, {key});  // no branches: an unreadable field ends the run
  if (key == kNoKey) throw FatalError{kReadPastEnd, "READ", source.unit_label()};
  if (key < 0) throw FatalError{kIllegalCharacter, "READ", source.unit_label()};
  return key;
}

void tree_id_layout(std::int32_t start, std::int32_t stop, Field<15>& text) {
  const KeyField f = key_field(start, stop);
  const std::int32_t site_width = f.first - 1;
  const std::int32_t width = f.width();

  Field<15> built(kTreeIdTemplate);
  InternalSink site_part(&built.col(3), 2);
  write_formatted(site_part, "(i1)", {site_width});
  InternalSink width_part(&built.col(8), 7);
  write_formatted(width_part, "(i6)", {width});

  // Squeeze out the blanks. Without a site code the "a0," part (columns 2-6
  // of the template) is left out too: an a-descriptor of width 0 would write
  // the whole site code.
  blank(text);
  std::size_t n = 0;
  for (std::size_t col = 1; col <= built.size(); ++col) {
    const char ch = built.col(col);
    if (ch == ' ') continue;
    if (site_width == 0 && col >= 2 && col <= 6) continue;
    text.c[n++] = ch;
  }
}

void compose_tree_id(const Layout& id_layout, const Field<8>& site, std::int32_t key, std::int32_t start,
                     std::int32_t stop, Field<8>& id) {
  const KeyField f = key_field(start, stop);
  blank(id);
  InternalSink sink(id.data(), id.size());
  if (f.first > 1) {
    write_formatted(sink, id_layout, {site, key});
  } else {
    write_formatted(sink, id_layout, {key});
  }
  for (std::int32_t col = f.first; col <= f.last; ++col) {
    char& ch = id.col(static_cast<std::size_t>(col));
    if (ch == ' ') ch = '0';
  }
}

}  // namespace ringave
