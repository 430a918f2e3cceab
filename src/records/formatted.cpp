// The formatted statements: a compiled layout walked against records.
//
// A read or write walks the flat element list with a small fixed stack of
// group counters (Walker), takes items one scalar at a time (ItemCursor; a
// run of reals gives one scalar per element) and works on the record in
// place: reading looks at a string_view of the source's record, writing
// builds the record in one reusable buffer. Nothing is allocated per field or
// per record once the buffer has grown; a handled outcome is a return value,
// never an exception.

#include "records/formatted.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>

#include "records/numeric_field.h"
#include "records/statement.h"

namespace ringave {

namespace {

// Messages of faults that only this engine meets (a layout element that does
// not suit its item, or a layout that never gets to a data element).
constexpr const char* kNeedsNumber = "I layout element needs an integer or real item";
constexpr const char* kNeedsInteger = "I layout element needs an integer item on output";
constexpr const char* kNeedsReal = "F layout element needs a real item";
constexpr const char* kNeedsChars = "A layout element needs a character item";
constexpr const char* kNoRealOutput = "F layout element is not supported on output";
constexpr const char* kTextOnInput = "Quoted text in a layout used for reading";
constexpr const char* kNoProgress = "Layout repeats without transferring any item";

// Steps a walk may take between two data elements before it is taken for a
// layout that loops without transferring anything (a huge repeat count on a
// group of positions). No layout of the program comes near it.
constexpr std::int64_t kStepBudget = std::int64_t{1} << 20;

// Walks the element list: returns each data element once per repetition and
// every other element once per pass, and stays on End once there.
class Walker {
 public:
  explicit Walker(const Layout& layout)
      : el_(layout.elements().data()), n_(static_cast<std::int32_t>(layout.elements().size())) {}

  // The next element to act on, or nullptr when the element list is broken
  // (no End, a bad group partner, nesting too deep) or the walk loops
  // without reaching a data element.
  const Element* next() {
    if (rep_left_ > 0) {
      --rep_left_;
      return &el_[cur_];
    }
    for (;;) {
      if (idx_ < 0 || idx_ >= n_) return nullptr;
      if (++steps_ > kStepBudget) return nullptr;
      const Element& e = el_[idx_];
      switch (e.op) {
        case Op::GroupBegin:
          if (depth_ == kMaxGroupDepth + 1) return nullptr;
          stack_[depth_++] = Frame{idx_, e.rep};
          ++idx_;
          continue;
        case Op::GroupEnd: {
          if (depth_ == 0) return nullptr;
          Frame& f = stack_[depth_ - 1];
          if (--f.left > 0) {
            idx_ = f.begin + 1;
          } else {
            --depth_;
            ++idx_;
          }
          continue;
        }
        case Op::End:
          return &e;
        case Op::I:
        case Op::A:
        case Op::F:
          steps_ = 0;
          cur_ = idx_;
          rep_left_ = e.rep - 1;
          ++idx_;
          return &e;
        default:
          ++idx_;
          return &e;
      }
    }
  }

  bool looping() const { return steps_ > kStepBudget; }

  // Resume at the reversion point, its group counter started afresh.
  void revert(std::int32_t at) {
    idx_ = at;
    depth_ = 0;
    rep_left_ = 0;
  }

 private:
  struct Frame {
    std::int32_t begin;
    std::int32_t left;
  };
  const Element* el_;
  std::int32_t n_;
  std::int32_t idx_ = 0;
  std::int32_t cur_ = 0;
  std::int32_t rep_left_ = 0;
  std::int64_t steps_ = 0;
  int depth_ = 0;
  Frame stack_[kMaxGroupDepth + 1];
};

// Store an A field of w columns (starting at `start`, `avail` columns left
// in the record) into a character item of len.
void store_chars(std::string_view rec, std::size_t start, std::size_t w, char* item, std::size_t len) {
  const std::size_t avail = rec.size() - start;
  if (w <= len) {
    const std::size_t n = w < avail ? w : avail;
    if (n > 0) std::memcpy(item, rec.data() + start, n);
    std::memset(item + n, ' ', len - n);
  } else {
    const std::size_t first = w - len;  // field column (0-based) of the item's first character
    for (std::size_t k = 0; k < len; ++k) {
      const std::size_t j = first + k;
      item[k] = j < avail ? rec[start + j] : ' ';
    }
  }
}

// Put n characters at pos: a gap before pos becomes blanks, earlier text is
// overwritten. Writing nothing changes nothing (a gap stays open).
void put_text(std::string& rec, std::size_t& pos, const char* text, std::size_t n) {
  if (n == 0) return;
  if (pos > rec.size()) rec.append(pos - rec.size(), ' ');
  if (pos + n > rec.size()) rec.resize(pos + n);
  std::memcpy(rec.data() + pos, text, n);
  pos += n;
}

void put_blanks(std::string& rec, std::size_t& pos, std::size_t n) {
  if (n == 0) return;
  if (pos > rec.size()) rec.append(pos - rec.size(), ' ');
  if (pos + n > rec.size()) rec.resize(pos + n);
  std::memset(rec.data() + pos, ' ', n);
  pos += n;
}

// Reads the numeric field of an I or F element at pos (up to w columns,
// ended early by a comma, which is passed over) into the item; returns the
// fault, or null. Inlined: it is the per-field work of every reader.
[[gnu::always_inline]] inline const char* read_number(std::string_view rec, std::size_t& pos, const Element& e,
                                                      const Slot& s) {
  const auto w = static_cast<std::size_t>(e.w);
  const std::size_t avail = rec.size() - pos;
  const std::size_t n = std::min(w, avail);
  const char* start = rec.data() + pos;
  std::size_t k = 0;  // fields are a few columns: a plain loop beats memchr
  while (k < n && start[k] != ',') ++k;
  const std::string_view field(start, k);
  pos += k < n ? k + 1 : k;
  if (e.op == Op::I) {
    if (s.kind != ItemKind::integer && s.kind != ItemKind::real) return kNeedsNumber;
    std::int32_t v{};  // set by the parse unless it fails
    if (const char* fault = parse_integer_field(field, v)) return fault;
    if (s.kind == ItemKind::integer)
      *static_cast<std::int32_t*>(s.ptr) = v;
    else
      *static_cast<float*>(s.ptr) = static_cast<float>(v);
    return nullptr;
  }
  if (s.kind != ItemKind::real) return kNeedsReal;
  float v = 0.0f;
  if (const char* fault = parse_real_field(field, e.d, v)) return fault;
  *static_cast<float*>(s.ptr) = v;
  return nullptr;
}

// Writes an integer right-aligned in w columns at pos; one that does not fit
// fills them with '*' (none written for w 0).
void put_integer(std::string& rec, std::size_t& pos, std::int32_t value, std::int32_t width) {
  char digits[16];
  const auto r = std::to_chars(digits, digits + sizeof(digits), value);
  const std::size_t n = static_cast<std::size_t>(r.ptr - digits);
  const std::size_t w = width < 0 ? 0 : static_cast<std::size_t>(width);
  if (n > w) {
    if (w > 0) {
      put_blanks(rec, pos, w);
      std::memset(rec.data() + pos - w, '*', w);
    }
  } else {
    put_blanks(rec, pos, w - n);
    put_text(rec, pos, digits, n);
  }
}

[[noreturn]] void write_fault(const char* message, const RecordSink& sink) {
  throw fatal_error(message, "WRITE", sink.unit_label());
}

}  // namespace

// read_formatted and write_formatted are each one loop over one switch on the
// element kind; the per-field work is inlined into that frame, with the
// record position in a register, which the Tucson and Compact readers' speed
// depends on.
Outcome read_formatted(RecordSource& source, const Layout& layout, ReadItems items, Handles handles) {
  if (!layout.ok()) return settle_outcome(Outcome::error, layout.error().c_str(), handles, source);
  ItemCursor cur(items.begin(), items.end());
  if (cur.more() && !layout.has_data())
    return settle_outcome(Outcome::error, kNoDataOnReversion, handles, source);

  std::string_view rec;
  if (!source.next(rec)) return settle_outcome(Outcome::end_of_file, nullptr, handles, source);
  std::size_t pos = 0;  // 0-based column, never beyond rec.size()
  Walker walk(layout);
  const char* fault = nullptr;

  for (;;) {
    const Element* e = walk.next();
    if (e == nullptr) {
      fault = walk.looping() ? kNoProgress : kFormatError;
      break;
    }
    switch (e->op) {
      case Op::I:
      case Op::F: {
        if (!cur.more()) return Outcome::done;
        fault = read_number(rec, pos, *e, cur.take());
        if (fault) break;
        continue;
      }
      case Op::A: {
        if (!cur.more()) return Outcome::done;
        const Slot s = cur.take();
        if (s.kind != ItemKind::chars) {
          fault = kNeedsChars;
          break;
        }
        const std::size_t len = static_cast<std::size_t>(s.len);
        const std::size_t w = e->w > 0 ? static_cast<std::size_t>(e->w) : len;
        store_chars(rec, pos, w, static_cast<char*>(s.ptr), len);
        pos += std::min(w, rec.size() - pos);
        continue;
      }
      case Op::X: {
        pos += std::min(static_cast<std::size_t>(e->w), rec.size() - pos);
        continue;
      }
      case Op::T: {
        pos = std::min(static_cast<std::size_t>(e->w) - 1, rec.size());
        continue;
      }
      case Op::Slash:
        for (std::int32_t k = 0; k < e->rep; ++k)
          if (!source.next(rec)) return settle_outcome(Outcome::end_of_file, nullptr, handles, source);
        pos = 0;
        continue;
      case Op::Dollar:
        continue;
      case Op::Literal:
        fault = kTextOnInput;
        break;
      case Op::End:
        if (!cur.more()) return Outcome::done;
        if (!layout.reversion_has_data()) {
          fault = kNoDataOnReversion;
          break;
        }
        if (!source.next(rec)) return settle_outcome(Outcome::end_of_file, nullptr, handles, source);
        pos = 0;
        walk.revert(layout.reversion());
        continue;
      default:
        fault = kFormatError;
        break;
    }
    break;  // a fault ends the statement
  }
  return settle_outcome(Outcome::error, fault, handles, source);
}

void write_formatted(RecordSink& sink, const Layout& layout, WriteItems items) {
  if (!layout.ok()) write_fault(layout.error().c_str(), sink);
  ItemCursor cur(items.begin(), items.end());
  if (cur.more() && !layout.has_data()) write_fault(kNoDataOnReversion, sink);

  std::string& rec = write_buffer();
  std::size_t pos = 0;  // may lie past rec.size(): a gap not yet filled
  bool dollar = false;
  Walker walk(layout);
  const std::string& lit = layout.literals();

  for (;;) {
    const Element* e = walk.next();
    if (e == nullptr) write_fault(walk.looping() ? kNoProgress : kFormatError, sink);
    switch (e->op) {
      case Op::I: {
        if (!cur.more()) break;
        const Slot s = cur.take();
        if (s.kind != ItemKind::integer) write_fault(kNeedsInteger, sink);
        put_integer(rec, pos, *static_cast<const std::int32_t*>(s.ptr), e->w);
        continue;
      }
      case Op::A: {
        if (!cur.more()) break;
        const Slot s = cur.take();
        if (s.kind != ItemKind::chars) write_fault(kNeedsChars, sink);
        const std::size_t len = static_cast<std::size_t>(s.len);
        const std::size_t w = e->w > 0 ? static_cast<std::size_t>(e->w) : len;
        if (w > len) put_blanks(rec, pos, w - len);
        put_text(rec, pos, static_cast<const char*>(s.ptr), std::min(w, len));
        continue;
      }
      case Op::F:
        if (!cur.more()) break;
        write_fault(kNoRealOutput, sink);
      case Op::X:
        pos += static_cast<std::size_t>(e->w);
        continue;
      case Op::T:
        pos = static_cast<std::size_t>(e->w) - 1;
        continue;
      case Op::Slash:
        for (std::int32_t k = 0; k < e->rep; ++k) {
          sink.put(rec, true);
          rec.clear();
        }
        pos = 0;
        continue;
      case Op::Dollar:
        dollar = true;
        continue;
      case Op::Literal: {
        const auto at = static_cast<std::size_t>(e->jump);
        const auto n = static_cast<std::size_t>(e->w);
        if (at > lit.size() || n > lit.size() - at) write_fault(kFormatError, sink);
        put_text(rec, pos, lit.data() + at, n);
        continue;
      }
      case Op::End:
        if (!cur.more()) break;
        if (!layout.reversion_has_data()) write_fault(kNoDataOnReversion, sink);
        sink.put(rec, true);
        rec.clear();
        pos = 0;
        walk.revert(layout.reversion());
        continue;
      default:
        write_fault(kFormatError, sink);
    }
    break;  // the next data element with no item left, or the final ")"
  }
  sink.put(rec, !dollar);
}

}  // namespace ringave
