// What the formatted and the list-directed statements share, inside the
// record layer: stepping through a statement's items one scalar at a time,
// turning an outcome into a read's return value, and the record buffer of a
// write. Not for use outside src/records.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "records/items.h"
#include "records/outcome.h"
#include "records/record_io.h"

namespace ringave {

// One scalar of the statement: an item, or one element of a run of reals.
struct Slot {
  ItemKind kind;
  void* ptr;  // written through by reads only
  std::int32_t len;
};

// The items of one statement, a run of reals giving one Slot per element.
// Reads walk ReadItems, writes WriteItems; the views must outlive the cursor.
template <typename ItemType>
class ItemCursor {
 public:
  ItemCursor(const ItemType* begin, const ItemType* end) : it_(begin), end_(end) { settle(); }

  bool more() const { return it_ != end_; }

  // The next scalar. Precondition: more().
  Slot take() {
    Slot s;
    // A ReadItem holds a variable the read may change, and a write never
    // writes through a Slot: dropping const here is sound.
    void* const ptr = const_cast<void*>(it_->ptr);
    if (it_->kind == ItemKind::reals) {
      s = Slot{ItemKind::real, static_cast<float*>(ptr) + sub_, 1};
      ++sub_;
    } else {
      s = Slot{it_->kind, ptr, it_->len < 0 ? 0 : it_->len};
      ++it_;
    }
    settle();
    return s;
  }

 private:
  // Step over exhausted (or empty) runs of reals.
  void settle() {
    while (it_ != end_ && it_->kind == ItemKind::reals && sub_ >= it_->len) {
      ++it_;
      sub_ = 0;
    }
  }

  const ItemType* it_;
  const ItemType* end_;
  std::int32_t sub_ = 0;
};

// A read's return value for outcome `o`: o itself when the statement handles
// it (end of file becomes error when only the error branch is given), done
// as done. Throws the fatal report ("READ", the source's unit label) with
// kReadPastEnd for an unhandled end of file and `message` for an unhandled
// error.
inline Outcome settle_outcome(Outcome o, const char* message, Handles handles, const RecordSource& source) {
  if (o == Outcome::end_of_file) {
    if (handles_eof(handles)) return Outcome::end_of_file;
    if (handles_error(handles)) return Outcome::error;
    throw fatal_error(kReadPastEnd, "READ", source.unit_label());
  }
  if (o == Outcome::error) {
    if (handles_error(handles)) return Outcome::error;
    throw fatal_error(message, "READ", source.unit_label());
  }
  return o;
}

// The record buffer of a write statement, emptied: one buffer reused from
// statement to statement, so a write allocates nothing once it has grown. A
// sink's put() never starts another write, so one buffer is enough.
inline std::string& write_buffer() {
  static thread_local std::string rec;
  rec.clear();
  return rec;
}

}  // namespace ringave
