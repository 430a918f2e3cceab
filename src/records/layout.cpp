// Layout text compiler and the layout cache.
//
// The compiler scans the text once, left to right, and emits the flat element
// list described in layout.h. The first fault met ends the scan; its message
// is kept in the layout and the element list is left as a lone End, so a
// layout that failed can never be walked past its end.

#include "records/layout.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace ringave {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

class Compiler {
 public:
  explicit Compiler(std::string_view text) : s_(text) {}

  // Compile the whole text. Returns nullptr on success, else the message.
  const char* run();

  std::vector<Element> elements;
  std::string literals;
  std::int32_t reversion = 0;

 private:
  // Skip blanks; true when the text has ended.
  bool at_end() {
    while (pos_ < s_.size() && is_blank(s_[pos_])) ++pos_;
    return pos_ >= s_.size();
  }
  // The next character that is not a blank, upper-cased; '\0' at the end.
  char peek() { return at_end() ? '\0' : upper(s_[pos_]); }
  bool next_is_digit() { return !at_end() && is_digit(s_[pos_]); }

  // A run of digits, blanks between them ignored. The caller has seen that
  // the next non-blank character is a digit.
  const char* number(std::int32_t& value);
  // A number that must follow a letter (a width, a column, decimals).
  // `min` is the smallest value that makes sense there.
  const char* required_number(std::int32_t& value, std::int32_t min);
  const char* literal(char quote);
  const char* element(bool has_count, std::int32_t count);

  void emit(Op op, std::int32_t rep = 1, std::int32_t w = 0, std::int32_t d = 0, std::int32_t jump = 0) {
    Element e;
    e.op = op;
    e.rep = rep;
    e.w = w;
    e.d = d;
    e.jump = jump;
    elements.push_back(e);
  }
  std::int32_t next_index() const { return static_cast<std::int32_t>(elements.size()); }

  std::string_view s_;
  std::size_t pos_ = 0;
};

const char* Compiler::number(std::int32_t& value) {
  std::int64_t v = 0;
  while (next_is_digit()) {
    v = v * 10 + (s_[pos_] - '0');
    if (v > INT32_MAX) return kFormatError;
    ++pos_;
  }
  value = static_cast<std::int32_t>(v);
  return nullptr;
}

const char* Compiler::required_number(std::int32_t& value, std::int32_t min) {
  // A text cut off where a number is due has lost its closing ")" too.
  if (at_end()) return kUnmatchedParens;
  if (!is_digit(s_[pos_])) return kFormatError;
  if (const char* err = number(value)) return err;
  return value < min ? kFormatError : nullptr;
}

const char* Compiler::literal(char quote) {
  const std::int32_t offset = static_cast<std::int32_t>(literals.size());
  ++pos_;  // the opening quote
  for (;;) {
    if (pos_ >= s_.size()) return kUnmatchedQuotes;
    const char c = s_[pos_++];
    if (c == quote) {
      if (pos_ < s_.size() && s_[pos_] == quote) {
        literals.push_back(quote);  // a doubled quote stands for one
        ++pos_;
        continue;
      }
      break;
    }
    literals.push_back(c);
  }
  const std::size_t length = literals.size() - static_cast<std::size_t>(offset);
  if (length > static_cast<std::size_t>(INT32_MAX)) return kFormatError;
  emit(Op::Literal, 1, static_cast<std::int32_t>(length), 0, offset);
  return nullptr;
}

// One element other than a group, starting at the next non-blank character
// (the repeat count, if any, already taken). One switch over the element's
// letter, each case a few lines: kept as one table of cases rather than a
// function per letter.
const char* Compiler::element(bool has_count, std::int32_t count) {
  const std::int32_t rep = has_count ? count : 1;
  const char c = peek();
  switch (c) {
    case 'I': {
      ++pos_;
      std::int32_t w = 0;
      if (const char* err = required_number(w, 1)) return err;
      emit(Op::I, rep, w);
      return nullptr;
    }
    case 'A': {
      ++pos_;
      std::int32_t w = 0;  // plain A: as wide as the item
      if (next_is_digit()) {
        if (const char* err = required_number(w, 1)) return err;
      }
      emit(Op::A, rep, w);
      return nullptr;
    }
    case 'F':
    case 'E':
    case 'D':
    case 'G': {
      // Real input: E, D and G read as F does.
      ++pos_;
      std::int32_t w{}, d{};  // both set by required_number or an error returned
      if (const char* err = required_number(w, 1)) return err;
      if (at_end()) return kUnmatchedParens;
      if (s_[pos_] != '.') return kFormatError;
      ++pos_;
      if (const char* err = required_number(d, 0)) return err;
      if ((c == 'E' || c == 'G') && peek() == 'E') {
        ++pos_;
        std::int32_t e = 0;  // exponent width: only shapes output
        if (const char* err = required_number(e, 1)) return err;
      }
      emit(Op::F, rep, w, d);
      return nullptr;
    }
    case 'X':
      // nX: the number is the distance, not a repeat count.
      ++pos_;
      emit(Op::X, 1, has_count ? count : 1);
      return nullptr;
    case 'T': {
      if (has_count) return kNonRepeatable;
      ++pos_;
      std::int32_t column = 0;
      if (const char* err = required_number(column, 1)) return err;
      emit(Op::T, 1, column);
      return nullptr;
    }
    case '/':
      ++pos_;
      emit(Op::Slash, rep);
      return nullptr;
    case '$':
      if (has_count) return kNonRepeatable;
      ++pos_;
      emit(Op::Dollar);
      return nullptr;
    case '\'':
    case '"':
      if (has_count) return kNonRepeatable;
      return literal(s_[pos_]);
    default:
      return kFormatError;
  }
}

const char* Compiler::run() {
  if (at_end() || s_[pos_] != '(') return kMissingOpen;
  ++pos_;

  // GroupBegin indices of the groups still open.
  std::int32_t open[kMaxGroupDepth];
  int depth = 0;
  // Whether an element or a group just ended, so that a comma may follow.
  bool after_item = false;

  for (;;) {
    if (at_end()) return kUnmatchedParens;
    const char c = s_[pos_];
    if (c == ',') {
      if (!after_item) return kFormatError;
      ++pos_;
      after_item = false;
      continue;
    }
    if (c == ')') {
      ++pos_;
      if (depth == 0) {
        emit(Op::End);
        return nullptr;  // text after the final ")" is ignored
      }
      const std::int32_t begin = open[--depth];
      if (next_index() == begin + 1) return kFormatError;  // empty group
      elements[static_cast<std::size_t>(begin)].jump = next_index();
      emit(Op::GroupEnd, 1, 0, 0, begin);
      if (depth == 0) reversion = begin;
      after_item = true;
      continue;
    }

    bool has_count = false;
    std::int32_t count = 1;
    if (is_digit(c)) {
      has_count = true;
      if (const char* err = number(count)) return err;
      if (count == 0) return kIllegalRepeat;
      if (at_end()) return kUnmatchedParens;
    }

    if (s_[pos_] == '(') {
      ++pos_;
      if (depth == kMaxGroupDepth) return kFormatError;
      open[depth++] = next_index();
      emit(Op::GroupBegin, count);
      after_item = false;
      continue;
    }
    if (const char* err = element(has_count, count)) return err;
    after_item = true;
  }
}

}  // namespace

Layout Layout::compile(std::string_view text) {
  Layout out;
  out.text_ = std::string(text);
  Compiler compiler(text);
  if (const char* err = compiler.run()) {
    out.error_ = err;
    Element end;
    end.op = Op::End;
    out.elements_.push_back(end);
    return out;
  }
  out.elements_ = std::move(compiler.elements);
  out.literals_ = std::move(compiler.literals);
  out.reversion_ = compiler.reversion;
  for (std::size_t i = 0; i < out.elements_.size(); ++i) {
    const Op op = out.elements_[i].op;
    if (op != Op::I && op != Op::A && op != Op::F) continue;
    out.has_data_ = true;
    if (i >= static_cast<std::size_t>(out.reversion_)) out.reversion_has_data_ = true;
  }
  return out;
}

namespace {

// Lets the cache be searched with a string_view, so a hit allocates nothing.
struct TextHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
};

using LayoutCache = std::unordered_map<std::string, std::unique_ptr<Layout>, TextHash, std::equal_to<>>;

}  // namespace

const Layout& layout(std::string_view text) {
  // Never destroyed, so references handed out stay valid until the process
  // ends, also for code that runs during exit.
  static LayoutCache& cache = *new LayoutCache();
  auto it = cache.find(text);
  if (it != cache.end()) return *it->second;
  auto compiled = std::make_unique<Layout>(Layout::compile(text));
  const Layout& result = *compiled;
  cache.emplace(std::string(text), std::move(compiled));
  return result;
}

}  // namespace ringave
