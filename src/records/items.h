// Item views: what a read fills or a write takes, one element of a statement's
// item list. An item points at the caller's variable; nothing is copied or
// allocated. A run of reals stands for as many items as it has elements.
//
// Reads take ReadItems, made only from variables the read may change (a
// non-const reference): a constant or a temporary in a read's item list does
// not compile. Writes take WriteItems, made from values or const references:
// a limit, a literal number, a string_view, a Field. An item refers to its
// variable for the statement only; nothing keeps it afterwards.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>

#include "records/field.h"

namespace ringave {

// A single real is made as a run of one; `real` is the kind of each element
// a statement takes from a run.
enum class ItemKind : std::uint8_t { integer, real, chars, logical, reals };

// A character field given as pointer and length, for fields of other shapes
// than Field<N> (a raw record buffer): readable through a char*, writable
// through either.
struct CharRun {
  char* data;
  std::int32_t len;
};
struct ConstCharRun {
  const char* data;
  std::int32_t len;
};

// What both kinds of item share; the engine walks this. `ptr` is only
// written through when the item was made as a ReadItem.
struct Item {
  ItemKind kind;
  const void* ptr;
  std::int32_t len;  // chars: field length; reals: element count; otherwise 1

  // A character field of n characters at p (n >= 0): a read fills it, a
  // write takes it.
  static CharRun chars(char* p, std::int32_t n) { return {p, n}; }
  static ConstCharRun chars(const char* p, std::int32_t n) { return {p, n}; }
};

struct ReadItem : Item {
  ReadItem(std::int32_t& v) : Item{ItemKind::integer, &v, 1} {}
  ReadItem(float& v) : Item{ItemKind::reals, &v, 1} {}  // a run of one
  ReadItem(bool& v) : Item{ItemKind::logical, &v, 1} {}
  template <std::size_t N>
  ReadItem(Field<N>& f) : Item{ItemKind::chars, f.data(), static_cast<std::int32_t>(N)} {}
  ReadItem(std::span<float> run) : Item{ItemKind::reals, run.data(), static_cast<std::int32_t>(run.size())} {}
  ReadItem(CharRun run) : Item{ItemKind::chars, run.data, run.len} {}
};

struct WriteItem : Item {
  WriteItem(const std::int32_t& v) : Item{ItemKind::integer, &v, 1} {}
  WriteItem(const float& v) : Item{ItemKind::reals, &v, 1} {}  // a run of one
  WriteItem(const bool& v) : Item{ItemKind::logical, &v, 1} {}
  template <std::size_t N>
  WriteItem(const Field<N>& f) : Item{ItemKind::chars, f.data(), static_cast<std::int32_t>(N)} {}
  WriteItem(std::span<const float> run)
      : Item{ItemKind::reals, run.data(), static_cast<std::int32_t>(run.size())} {}
  WriteItem(std::string_view text) : Item{ItemKind::chars, text.data(), static_cast<std::int32_t>(text.size())} {}
  WriteItem(const char* text) : WriteItem(std::string_view(text)) {}
  WriteItem(CharRun run) : Item{ItemKind::chars, run.data, run.len} {}
  WriteItem(ConstCharRun run) : Item{ItemKind::chars, run.data, run.len} {}
};

using ReadItems = std::initializer_list<ReadItem>;
using WriteItems = std::initializer_list<WriteItem>;

}  // namespace ringave
