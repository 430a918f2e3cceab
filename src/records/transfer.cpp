// The data-transfer engine: walks a compiled layout against records.
//
// A read or write walks the flat element list with a small fixed stack of
// group counters (Walker), takes items one scalar at a time (ItemCursor; a
// run of reals gives one scalar per element) and works on the record in
// place: reading looks at a string_view of the source's record, writing
// builds the record in one reusable buffer. Nothing is allocated per field or
// per record once the buffer has grown; a handled outcome is a return value,
// never an exception.

#include "records/transfer.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

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
constexpr const char* kZeroRepeat = "Zero repeat count in list-directed input";
constexpr const char* kNoListItem = "Item of this kind cannot be read list-directed";

// Steps a walk may take between two data elements before it is taken for a
// layout that loops without transferring anything (a huge repeat count on a
// group of positions). No layout of the system comes near it.
constexpr std::int64_t kStepBudget = std::int64_t{1} << 20;

// One item of the statement, reals runs already expanded.
struct Slot {
  ItemKind kind;
  void* ptr;
  std::int32_t len;
};

class ItemCursor {
 public:
  ItemCursor(const Item* begin, const Item* end) : it_(begin), end_(end) { settle(); }

  bool more() const { return it_ != end_; }

  // Precondition: more().
  Slot take() {
    Slot s;
    if (it_->kind == ItemKind::reals) {
      s = Slot{ItemKind::real, it_->reals_ptr() + sub_, 1};
      ++sub_;
    } else {
      s = Slot{it_->kind, it_->ptr, it_->len < 0 ? 0 : it_->len};
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

  const Item* it_;
  const Item* end_;
  std::int32_t sub_ = 0;
};

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
          stack_[depth_++] = Frame{idx_, e.rep < 1 ? 1 : e.rep};
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
          rep_left_ = (e.rep < 1 ? 1 : e.rep) - 1;
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

inline bool is_blank(char c) { return c == ' ' || c == '\t'; }

// Integer field: blanks anywhere dropped, optional sign then digits, empty or
// sign alone is 0. Returns nullptr or the fault's message.
const char* parse_integer(std::string_view f, std::int32_t& out) {
  bool neg = false;
  bool started = false;
  bool over = false;
  std::uint64_t v = 0;
  for (char c : f) {
    if (is_blank(c)) continue;
    if (c >= '0' && c <= '9') {
      started = true;
      if (!over) {
        v = v * 10 + static_cast<std::uint64_t>(c - '0');
        if (v > 2147483648ull) over = true;
      }
      continue;
    }
    if ((c == '+' || c == '-') && !started) {
      started = true;
      neg = c == '-';
      continue;
    }
    return kIllegalCharacter;
  }
  if (over || (!neg && v > 2147483647ull)) return kNumericOverflow;
  out = neg ? static_cast<std::int32_t>(-static_cast<std::int64_t>(v)) : static_cast<std::int32_t>(v);
  return nullptr;
}

// Real field (d implied decimals when the field has no point). The
// significant digits go into a stack buffer and are converted by strtof,
// which rounds correctly to float. Beyond 120 significant digits the rest is
// folded into one sticky digit: halfway points between floats need fewer
// digits than that, so the rounding stays correct.
//
// The common field (blanks, a leading sign, at most nine digits and a point,
// no exponent) skips strtof: when the digits m are below 2^24 and the
// fraction has k <= 10 digits, m and 10^k are both exact floats, so the one
// rounding of float(m) / 10^k gives the correctly rounded value that strtof
// would.
bool parse_real_plain(std::string_view f, std::int32_t d, float& out) {
  static constexpr float kPow10[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
  std::uint32_t m = 0;
  int digits = 0;  // digits in m, leading zeros not counted
  std::int64_t frac = 0;
  bool point = false;
  bool neg = false;
  bool started = false;  // a digit, point or sign seen: a sign now would start an exponent
  for (char c : f) {
    if (is_blank(c)) continue;
    const unsigned digit = static_cast<unsigned char>(c) - static_cast<unsigned>('0');
    if (digit < 10) {
      started = true;
      if (point) ++frac;
      if (m != 0 || digit != 0) {
        if (++digits > 9) return false;
        m = m * 10 + digit;
      }
      continue;
    }
    if (c == '.' && !point) {
      point = true;
      started = true;
      continue;
    }
    if ((c == '+' || c == '-') && !started) {
      neg = c == '-';
      started = true;
      continue;
    }
    return false;
  }
  if (m == 0) {
    out = 0.0f;
    return true;
  }
  const std::int64_t k = point ? frac : (d < 0 ? 0 : d);
  if (m >= (1u << 24) || k > 10) return false;
  const float v = static_cast<float>(m) / kPow10[k];
  out = neg ? -v : v;
  return true;
}

const char* parse_real(std::string_view f, std::int32_t d, float& out) {
  if (parse_real_plain(f, d, out)) return nullptr;
  constexpr int kMaxDigits = 120;
  char buf[kMaxDigits + 32];
  int nd = 0;
  bool sticky = false;
  std::int64_t dropped = 0;    // significant digits left out of buf
  std::int64_t frac = 0;       // digits after the point
  bool mantissa_digits = false;
  bool point = false;
  bool neg = false;
  // 0: nothing yet, 1: mantissa, 2: after exponent letter, 3: exponent sign
  // or digits seen.
  int phase = 0;
  bool exp_neg = false;
  bool exp_digits = false;
  std::int64_t exp = 0;

  for (char c : f) {
    if (is_blank(c)) continue;
    if (c >= '0' && c <= '9') {
      if (phase >= 2) {
        exp_digits = true;
        phase = 3;
        if (exp < 1000000000) exp = exp * 10 + (c - '0');
        continue;
      }
      phase = 1;
      mantissa_digits = true;
      if (point) ++frac;
      if (nd == 0 && c == '0') continue;  // leading zero
      if (nd < kMaxDigits) {
        buf[nd++] = c;
      } else {
        ++dropped;
        if (c != '0') sticky = true;
      }
      continue;
    }
    if (c == '.') {
      if (point || phase >= 2) return kIllegalCharacter;
      point = true;
      phase = 1;
      continue;
    }
    if (c == '+' || c == '-') {
      if (phase == 0) {
        neg = c == '-';
        phase = 1;
      } else if (phase == 1) {  // a sign after the mantissa starts the exponent
        exp_neg = c == '-';
        phase = 3;
      } else if (phase == 2) {
        exp_neg = c == '-';
        phase = 3;
      } else {
        return kIllegalCharacter;
      }
      continue;
    }
    if (c == 'E' || c == 'e' || c == 'D' || c == 'd' || c == 'Q' || c == 'q') {
      if (phase >= 2) return kIllegalCharacter;
      phase = 2;
      continue;
    }
    return kIllegalCharacter;
  }
  const bool has_exp = phase >= 2;
  if (has_exp && (!exp_digits || !mantissa_digits)) return kIllegalCharacter;
  if (nd == 0) {
    out = 0.0f;
    return nullptr;
  }
  if (!point) frac = d < 0 ? 0 : d;
  std::int64_t scale = (exp_neg ? -exp : exp) - frac + dropped;
  if (sticky) {
    buf[nd++] = '1';
    --scale;
  }
  if (scale > 100000) scale = 100000;
  if (scale < -100000) scale = -100000;
  char* p = buf + nd;
  *p++ = 'e';
  p = std::to_chars(p, buf + sizeof(buf) - 1, scale).ptr;
  *p = '\0';
  const float v = std::strtof(buf, nullptr);
  if (std::isinf(v)) return kNumericOverflow;
  out = neg ? -v : v;
  return nullptr;
}

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

// Turn an outcome into the read's return value, or throw when the statement
// does not handle it.
Outcome settle_outcome(Outcome o, const char* message, Handles handles, const RecordSource& source) {
  if (o == Outcome::end_of_file) {
    if (handles_eof(handles)) return Outcome::end_of_file;
    if (handles_error(handles)) return Outcome::error;
    throw FatalError{kReadPastEnd, "READ", source.unit_label()};
  }
  if (o == Outcome::error) {
    if (handles_error(handles)) return Outcome::error;
    throw FatalError{message, "READ", source.unit_label()};
  }
  return o;
}

// The record buffer of a write statement, reused from statement to
// statement. A write reached again from inside a sink (not done today) gets
// a buffer of its own instead of clobbering the outer one.
class RecordBuffer {
 public:
  RecordBuffer() : rec_(busy_ ? own_ : shared_), outer_(!busy_) {
    busy_ = true;
    rec_.clear();
  }
  ~RecordBuffer() {
    if (outer_) busy_ = false;
  }
  RecordBuffer(const RecordBuffer&) = delete;
  RecordBuffer& operator=(const RecordBuffer&) = delete;

  std::string& str() { return rec_; }

 private:
  static thread_local std::string shared_;
  static thread_local bool busy_;
  std::string own_;
  std::string& rec_;
  bool outer_;
};

thread_local std::string RecordBuffer::shared_;
thread_local bool RecordBuffer::busy_ = false;

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

[[noreturn]] void write_fault(const char* message, const RecordSink& sink) {
  throw FatalError{message, "WRITE", sink.unit_label()};
}

}  // namespace

Outcome read_formatted(RecordSource& source, const Layout& layout, Items items, Handles handles) {
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
        // Numeric field: up to w columns, ended early by a comma.
        const std::size_t w = e->w < 0 ? 0 : static_cast<std::size_t>(e->w);
        const std::size_t avail = rec.size() - pos;
        const std::size_t n = w < avail ? w : avail;
        const char* start = rec.data() + pos;
        std::size_t k = 0;  // fields are a few columns: a plain loop beats memchr
        while (k < n && start[k] != ',') ++k;
        const std::string_view field(start, k);
        pos += k < n ? k + 1 : k;
        const Slot s = cur.take();
        if (e->op == Op::I) {
          if (s.kind != ItemKind::integer && s.kind != ItemKind::real) {
            fault = kNeedsNumber;
            break;
          }
          std::int32_t v = 0;
          fault = parse_integer(field, v);
          if (fault) break;
          if (s.kind == ItemKind::integer)
            *static_cast<std::int32_t*>(s.ptr) = v;
          else
            *static_cast<float*>(s.ptr) = static_cast<float>(v);
        } else {
          if (s.kind != ItemKind::real) {
            fault = kNeedsReal;
            break;
          }
          float v = 0.0f;
          fault = parse_real(field, e->d, v);
          if (fault) break;
          *static_cast<float*>(s.ptr) = v;
        }
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
        pos = w < rec.size() - pos ? pos + w : rec.size();
        continue;
      }
      case Op::X: {
        const std::size_t n = e->w < 0 ? 0 : static_cast<std::size_t>(e->w);
        pos = n < rec.size() - pos ? pos + n : rec.size();
        continue;
      }
      case Op::T: {
        const std::size_t col = e->w < 1 ? 0 : static_cast<std::size_t>(e->w) - 1;
        pos = col < rec.size() ? col : rec.size();
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

void write_formatted(RecordSink& sink, const Layout& layout, Items items) {
  if (!layout.ok()) write_fault(layout.error().c_str(), sink);
  ItemCursor cur(items.begin(), items.end());
  if (cur.more() && !layout.has_data()) write_fault(kNoDataOnReversion, sink);

  RecordBuffer buffer;
  std::string& rec = buffer.str();
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
        char digits[16];
        const auto r = std::to_chars(digits, digits + sizeof(digits), *static_cast<const std::int32_t*>(s.ptr));
        const std::size_t n = static_cast<std::size_t>(r.ptr - digits);
        const std::size_t w = e->w < 0 ? 0 : static_cast<std::size_t>(e->w);
        if (n > w) {
          if (w > 0) {
            put_blanks(rec, pos, w);
            std::memset(rec.data() + pos - w, '*', w);
          }
        } else {
          put_blanks(rec, pos, w - n);
          put_text(rec, pos, digits, n);
        }
        continue;
      }
      case Op::A: {
        if (!cur.more()) break;
        const Slot s = cur.take();
        if (s.kind != ItemKind::chars) write_fault(kNeedsChars, sink);
        const std::size_t len = static_cast<std::size_t>(s.len);
        const std::size_t w = e->w > 0 ? static_cast<std::size_t>(e->w) : len;
        if (w > len) put_blanks(rec, pos, w - len);
        put_text(rec, pos, static_cast<const char*>(s.ptr), w < len ? w : len);
        continue;
      }
      case Op::F:
        if (!cur.more()) break;
        write_fault(kNoRealOutput, sink);
      case Op::X:
        pos += e->w < 0 ? 0 : static_cast<std::size_t>(e->w);
        continue;
      case Op::T:
        pos = e->w < 1 ? 0 : static_cast<std::size_t>(e->w) - 1;
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
        const std::size_t at = e->jump < 0 ? lit.size() : static_cast<std::size_t>(e->jump);
        const std::size_t n = e->w < 0 ? 0 : static_cast<std::size_t>(e->w);
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

namespace {

// List-directed reading: a lexer over the records of one statement.
class ListReader {
 public:
  enum class Kind { value, null, slash, end_of_file, fault };

  struct Token {
    Kind kind = Kind::null;
    std::int64_t repeat = 1;
    std::string_view text;  // a value's characters (inside the quotes when quoted)
    char quote = 0;         // the quote character of a quoted value
    const char* fault = nullptr;
  };

  ListReader(RecordSource& source, std::string_view first) : source_(source), rec_(first) {}

  Token next() {
    Token t;
    for (;;) {
      while (pos_ < rec_.size() && is_blank(rec_[pos_])) ++pos_;
      if (pos_ >= rec_.size()) {
        if (!source_.next(rec_)) {
          t.kind = Kind::end_of_file;
          return t;
        }
        pos_ = 0;
        continue;
      }
      const char c = rec_[pos_];
      if (c == ',') {
        ++pos_;
        if (after_value_) {  // the separator of the value before
          after_value_ = false;
          continue;
        }
        t.kind = Kind::null;
        return t;
      }
      if (c == '/') {
        t.kind = Kind::slash;
        return t;
      }
      break;
    }
    after_value_ = true;

    // A repeat count: digits followed by '*'.
    std::size_t p = pos_;
    std::int64_t r = 0;
    while (p < rec_.size() && rec_[p] >= '0' && rec_[p] <= '9') {
      if (r < 1000000000) r = r * 10 + (rec_[p] - '0');
      ++p;
    }
    if (p > pos_ && p < rec_.size() && rec_[p] == '*') {
      if (r == 0) {
        t.kind = Kind::fault;
        t.fault = kZeroRepeat;
        return t;
      }
      t.repeat = r;
      pos_ = p + 1;
      if (pos_ >= rec_.size() || ends_value(rec_[pos_])) {
        t.kind = Kind::null;
        return t;
      }
    }

    t.kind = Kind::value;
    const char c = rec_[pos_];
    if (c == '\'' || c == '"') {
      // Quoted: up to the closing quote (a doubled quote stands for one), or
      // to the end of the record when it is never closed.
      const std::size_t start = ++pos_;
      while (pos_ < rec_.size()) {
        if (rec_[pos_] == c) {
          if (pos_ + 1 < rec_.size() && rec_[pos_ + 1] == c) {
            pos_ += 2;
            continue;
          }
          break;
        }
        ++pos_;
      }
      t.text = rec_.substr(start, pos_ - start);
      t.quote = c;
      if (pos_ < rec_.size()) ++pos_;  // the closing quote
      return t;
    }
    const std::size_t start = pos_;
    while (pos_ < rec_.size() && !ends_value(rec_[pos_])) ++pos_;
    t.text = rec_.substr(start, pos_ - start);
    return t;
  }

 private:
  static bool ends_value(char c) { return c == ' ' || c == '\t' || c == ',' || c == '/'; }

  RecordSource& source_;
  std::string_view rec_;
  std::size_t pos_ = 0;
  bool after_value_ = false;  // a value was read and its separator not yet
};

// Store one list-directed value into an item; nullptr or the fault.
const char* store_value(const ListReader::Token& t, const Slot& s) {
  switch (s.kind) {
    case ItemKind::integer:
    case ItemKind::real: {
      if (t.quote) return kIllegalCharacter;
      if (s.kind == ItemKind::integer) return parse_integer(t.text, *static_cast<std::int32_t*>(s.ptr));
      return parse_real(t.text, 0, *static_cast<float*>(s.ptr));
    }
    case ItemKind::logical: {
      std::string_view v = t.text;
      if (!v.empty() && v[0] == '.') v.remove_prefix(1);
      *static_cast<bool*>(s.ptr) = !v.empty() && (v[0] == 'T' || v[0] == 't');
      return nullptr;
    }
    case ItemKind::chars: {
      char* out = static_cast<char*>(s.ptr);
      const std::size_t len = static_cast<std::size_t>(s.len);
      std::size_t n = 0;
      for (std::size_t i = 0; i < t.text.size() && n < len; ++i) {
        out[n++] = t.text[i];
        if (t.quote && t.text[i] == t.quote) ++i;  // a doubled quote stands for one
      }
      std::memset(out + n, ' ', len - n);
      return nullptr;
    }
    default:
      return kNoListItem;
  }
}

}  // namespace

Outcome read_list_directed(RecordSource& source, Items items, Handles handles) {
  ItemCursor cur(items.begin(), items.end());
  std::string_view first;
  if (!source.next(first)) return settle_outcome(Outcome::end_of_file, nullptr, handles, source);
  ListReader lex(source, first);
  while (cur.more()) {
    const ListReader::Token t = lex.next();
    switch (t.kind) {
      case ListReader::Kind::end_of_file:
        return settle_outcome(Outcome::end_of_file, nullptr, handles, source);
      case ListReader::Kind::fault:
        return settle_outcome(Outcome::error, t.fault, handles, source);
      case ListReader::Kind::slash:
        return Outcome::done;
      case ListReader::Kind::null:
        for (std::int64_t k = 0; k < t.repeat && cur.more(); ++k) cur.take();
        break;
      case ListReader::Kind::value:
        for (std::int64_t k = 0; k < t.repeat && cur.more(); ++k) {
          const char* fault = store_value(t, cur.take());
          if (fault) return settle_outcome(Outcome::error, fault, handles, source);
        }
        break;
    }
  }
  return Outcome::done;
}

void write_list_directed(RecordSink& sink, std::string_view text) {
  RecordBuffer buffer;
  std::string& rec = buffer.str();
  rec.push_back(' ');
  rec.append(text);
  sink.put(rec, true);
}

}  // namespace ringave
