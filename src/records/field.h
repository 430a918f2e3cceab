// Field<N>: a fixed-length, blank-padded character field, as the program keeps
// file names (50), series IDs (8), titles (85), header lines (88) and series
// tags (6). A field always holds exactly N characters; text shorter than N is
// padded with blanks on the right and longer text is cut to its first N.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace ringave {

template <std::size_t N>
struct Field {
  static constexpr std::size_t kSize = N;
  std::array<char, N> c;

  Field() { c.fill(' '); }
  Field(std::string_view text) { assign(text); }  // NOLINT: implicit on purpose

  // Blank the whole field, then copy text in from column 1 (cut at N).
  void assign(std::string_view text) {
    c.fill(' ');
    const std::size_t n = text.size() < N ? text.size() : N;
    for (std::size_t i = 0; i < n; ++i) c[i] = text[i];
  }

  char* data() { return c.data(); }
  const char* data() const { return c.data(); }
  static constexpr std::size_t size() { return N; }

  // Column access, 1-based as columns are counted in records.
  char& col(std::size_t column) { return c[column - 1]; }
  char col(std::size_t column) const { return c[column - 1]; }

  std::string_view view() const { return {c.data(), N}; }

  // The text without its trailing blanks (a file name as the file system wants it).
  std::string_view trimmed() const {
    std::size_t n = N;
    while (n > 0 && c[n - 1] == ' ') --n;
    return {c.data(), n};
  }
  std::string str() const { return std::string(view()); }

  bool is_blank() const {
    for (char ch : c)
      if (ch != ' ') return false;
    return true;
  }

  friend bool operator==(const Field& a, const Field& b) { return a.c == b.c; }
};

// `blank`: set every character of a field, over its whole length, to a blank.
template <std::size_t N>
void blank(Field<N>& field) {
  field.c.fill(' ');
}

}  // namespace ringave
