// List-directed statements: values separated by blanks, commas or both,
// read by a small lexer over the records of one statement.

#include "records/list_directed.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "records/numeric_field.h"
#include "records/statement.h"

namespace ringave {

namespace {

constexpr const char* kZeroRepeat = "Zero repeat count in list-directed input";
constexpr const char* kNoListItem = "Item of this kind cannot be read list-directed";

bool is_blank(char c) { return c == ' ' || c == '\t'; }

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
      if (s.kind == ItemKind::integer) return parse_integer_field(t.text, *static_cast<std::int32_t*>(s.ptr));
      return parse_real_field(t.text, 0, *static_cast<float*>(s.ptr));
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

Outcome read_list_directed(RecordSource& source, ReadItems items, Handles handles) {
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
  std::string& rec = write_buffer();
  rec.push_back(' ');
  rec.append(text);
  sink.put(rec, true);
}

}  // namespace ringave
