// Item views: what a read fills or a write takes, one element of a statement's
// item list. An item points at the caller's variable; nothing is copied or
// allocated. A run of reals stands for as many items as it has elements.
//
// Writes may pass temporaries (a limit, a literal number, a string_view);
// reads must pass variables. A string_view item is for writing only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>

#include "records/field.h"

namespace ringave {

enum class ItemKind : std::uint8_t { integer, real, chars, logical, reals };

struct Item {
  ItemKind kind;
  void* ptr;
  std::int32_t len;  // chars: field length; reals: element count; otherwise 1

  Item(const std::int32_t& v) : kind(ItemKind::integer), ptr(const_cast<std::int32_t*>(&v)), len(1) {}
  Item(const float& v) : kind(ItemKind::real), ptr(const_cast<float*>(&v)), len(1) {}
  Item(const bool& v) : kind(ItemKind::logical), ptr(const_cast<bool*>(&v)), len(1) {}
  template <std::size_t N>
  Item(const Field<N>& f)
      : kind(ItemKind::chars), ptr(const_cast<char*>(f.data())), len(static_cast<std::int32_t>(N)) {}
  Item(std::span<float> run) : kind(ItemKind::reals), ptr(run.data()), len(static_cast<std::int32_t>(run.size())) {}
  // Character text for writing (a literal, a view of a field).
  Item(std::string_view text)
      : kind(ItemKind::chars), ptr(const_cast<char*>(text.data())), len(static_cast<std::int32_t>(text.size())) {}
  Item(const char* text) : Item(std::string_view(text)) {}
  // A character field given as pointer and length (for fields of other shapes).
  static Item chars(char* p, std::int32_t n) { return Item(std::string_view(p, static_cast<std::size_t>(n))); }

  std::int32_t& integer() const { return *static_cast<std::int32_t*>(ptr); }
  float& real() const { return *static_cast<float*>(ptr); }
  bool& logical() const { return *static_cast<bool*>(ptr); }
  char* chars_ptr() const { return static_cast<char*>(ptr); }
  float* reals_ptr() const { return static_cast<float*>(ptr); }
};

using Items = std::initializer_list<Item>;

}  // namespace ringave
