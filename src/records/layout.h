// Layout texts ("(a8,i4,10i6)", "(/1x,'Enter input file name :  ',$)", or a
// data layout taken from a Compact series header) compiled once into a flat
// list of elements with their reversion point, and cached by text.
//
// Elements: Iw, A, Aw, Fw.d, nX, Tn, /, $, quoted literals (apostrophes or
// quotation marks, a doubled quote standing for one), a repeat count before a
// repeatable element, and groups r(...). Blanks outside literals are ignored,
// and so is a comma right before ")". A group is a GroupBegin element holding
// its repeat count and the index of its GroupEnd, so executing a layout walks
// the list with a small fixed stack of group counters and never allocates.
//
// A text that cannot be compiled gives a Layout whose error() names the fault
// with the record layer's message ("Format string missing opening (", ...);
// using it is an error outcome of the statement before any record is taken.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ringave {

// Messages for layout faults.
inline constexpr const char* kMissingOpen = "Format string missing opening (";
inline constexpr const char* kUnmatchedParens = "Format string has unmatched parens";
inline constexpr const char* kUnmatchedQuotes = "Format string has unmatched quotes";
inline constexpr const char* kIllegalRepeat = "Illegal repeat count";
inline constexpr const char* kNonRepeatable = "Non-repeatable format descriptor";
inline constexpr const char* kFormatError = "Error in format string";
inline constexpr const char* kNoDataOnReversion =
    "Data tranfer format descriptor was not found during format reversion";

enum class Op : std::uint8_t {
  I,           // integer field, width w
  A,           // character field, width w (0: as wide as the item)
  F,           // real field, width w, d implied decimals
  X,           // move w columns right
  T,           // move to column w
  Slash,       // next record
  Dollar,      // no line end for the statement's last record
  Literal,     // text at [lit, lit + w) of the literal pool
  GroupBegin,  // repeat count rep; matching GroupEnd at index `jump`
  GroupEnd,    // matching GroupBegin at index `jump`
  End,         // the final ")"
};

struct Element {
  Op op;
  std::int32_t rep = 1;   // repeat count of a data element or of a group: at least 1
  std::int32_t w = 0;     // width / count / column / literal length: at least 1 for F, I, X and T, 0 or more else
  std::int32_t d = 0;     // implied decimals of F: 0 or more
  std::int32_t jump = 0;  // partner index of a group, or literal offset: 0 or more
};

// Deepest group nesting a layout may have.
inline constexpr int kMaxGroupDepth = 16;

class Layout {
 public:
  // Compile a layout text. Never throws: faults are kept in error().
  static Layout compile(std::string_view text);

  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  const std::string& text() const { return text_; }

  const std::vector<Element>& elements() const { return elements_; }
  const std::string& literals() const { return literals_; }
  // Index of the element where format reversion resumes (a GroupBegin at the
  // outermost level, or 0), and whether any data element lies from there on.
  std::int32_t reversion() const { return reversion_; }
  bool reversion_has_data() const { return reversion_has_data_; }
  bool has_data() const { return has_data_; }

 private:
  std::string text_;
  std::string error_;
  std::vector<Element> elements_;
  std::string literals_;
  std::int32_t reversion_ = 0;
  bool reversion_has_data_ = false;
  bool has_data_ = false;
};

// The compiled layout of a text, compiled on first use and kept for the rest
// of the run. The reference stays valid for the life of the process.
const Layout& layout(std::string_view text);

}  // namespace ringave
