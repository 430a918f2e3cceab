// The cells of a CSV table's records, for the table reader and its
// sniffing: the separator a header uses, the split of a record into cells
// (quoted or not), and the year cells of a header or a year-per-row table.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ringave {

// The separator the header record uses most outside quotation marks: a tab,
// a semicolon or a comma (a tie goes to the comma, then the semicolon); 0
// when it holds none of them. Pure.
char separator_of(std::string_view header);

// Splits `record` at `separator` into `cells` (cleared first), each without
// the blanks around it and, when quoted, without its quotation marks and
// with a doubled one inside read as one. Unquoted cells view `record`;
// quoted ones view `scratch`, which the call resizes to hold them. False
// when a quotation mark is left open at the end of the record (the cell
// goes on past a line end): the caller joins the next record and splits
// again. A separator of ' ' splits at runs of blanks (a record whose tabs
// were expanded), without quoting.
bool split_cells(std::string_view record, char separator, std::vector<std::string_view>& cells,
                 std::string& scratch);

// The first and last year a year cell may hold: what the year field of a
// Tucson data line holds.
inline constexpr std::int32_t kFirstTableYear = -99999;
inline constexpr std::int32_t kLastTableYear = 999999;

// The year a cell holds: an integer, optionally signed, of at most 9 digits
// (blanks around it already gone); none for any other text. The caller
// checks it against kFirstTableYear and kLastTableYear. Pure.
std::optional<std::int32_t> year_cell(std::string_view cell);

// Whether a cell, without the blanks around it, is "year" in any case.
bool is_year_word(std::string_view cell);

// The quick read of the common value cell at `p`, for the rows of a large
// table: empty, or digits with at most one decimal separator (`decimal`;
// 0: a point or a comma), at most 18 digits and, with `unit_decimals`, at
// most 3 decimals, ending at `separator` or `end`. Sets `v` as table_value
// (csv_table.h) reads the same cell and moves `p` to the separator or the
// end; false, `p` unchanged, for any other cell, which the caller reads
// with table_value.
//
// Cells of up to 7 digits followed by the separator within the next 8
// bytes are read 8 bytes at once (quick_value8; with `shape`, first as the
// shape of the cell read that way before, see CellShape); the others, and
// every cell on a big-endian machine, byte by byte.
inline float scaled(std::uint64_t n, int scale) {
  // Scale 3 is two roundings, as the Tucson reader's thousandths; a factor
  // of 1 changes nothing.
  static constexpr float kFirst[4] = {1.0f, 0.1f, 0.01f, 0.01f};
  static constexpr float kSecond[4] = {1.0f, 1.0f, 1.0f, 0.1f};
  float f = static_cast<float>(static_cast<std::int64_t>(n));  // n < 10^18: one conversion instruction
  f *= kFirst[scale];
  f *= kSecond[scale];
  return f;
}

// The value of 8 digit characters, the first in the lowest byte.
inline std::uint64_t eight_digits(std::uint64_t w) {
  constexpr std::uint64_t kMask = 0x000000FF000000FFull;
  constexpr std::uint64_t kMul1 = 100 + (1000000ull << 32);
  constexpr std::uint64_t kMul2 = 1 + (10000ull << 32);
  w -= 0x3030303030303030ull;
  w = w * 10 + (w >> 8);
  return (((w & kMask) * kMul1) + (((w >> 16) & kMask) * kMul2)) >> 32;
}

// The shape of the last cell quick_value8 read (its digits, where its
// decimal separator stands and where it ends), so that the next cell of
// the same shape, as most cells of a row are, is read with one test of its
// 8 bytes: the same digits, separator and end, and the same arithmetic.
struct CellShape {
  std::uint64_t care = 0;   // the high bit of each byte up to the end
  std::uint64_t other = 1;  // of those, the bytes that are not digits (none matches before a cell is read)
  std::uint64_t char_mask = 0, chars = 0;  // the decimal separator and the end's separator
  std::uint64_t below = 0;                 // the bytes before the decimal separator (all without one)
  std::uint64_t fill = 0;
  int shift = 0, end = 0, scale = 0;

  [[gnu::always_inline]] bool read(const char*& p, float& v) const {
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    const std::uint64_t x = w ^ 0x3030303030303030ull;
    const std::uint64_t o = ((x + 0x7676767676767676ull) | x) & care;
    if (o != other || (w & char_mask) != chars) return false;
    const std::uint64_t packed = (w & below) | ((w >> 8) & ~below);
    v = scaled(eight_digits((packed << shift) | fill), scale);
    p += end;
    return true;
  }
};

[[gnu::always_inline]] inline bool quick_value8(const char*& p, char separator, char decimal, int unit_decimals,
                                               float& v, CellShape* shape = nullptr) {
  std::uint64_t w;
  std::memcpy(&w, p, sizeof w);
  const std::uint64_t x = w ^ 0x3030303030303030ull;
  // The high bit of each byte that is not a digit: exact up to and
  // including the first such byte, and past a decimal separator too (its
  // sum carries nothing into the next byte).
  const std::uint64_t other = ((x + 0x7676767676767676ull) | x) & 0x8080808080808080ull;
  if (other == 0) return false;
  const int i0 = std::countr_zero(other) >> 3;
  int end = i0, decimals = 0;
  if (p[i0] != separator) {
    const char c = p[i0];
    if (i0 > 6 || !(decimal != 0 ? c == decimal : (c == '.' || c == ','))) return false;
    const std::uint64_t rest = other >> (8 * (i0 + 1));
    if (rest == 0) return false;
    end = i0 + 1 + (std::countr_zero(rest) >> 3);
    if (p[end] != separator) return false;
    decimals = end - i0 - 1;
  }
  const int digits = i0 + decimals;
  const int scale = decimals + unit_decimals;
  if (digits == 0 || scale > 3) return false;
  // The digits without the decimal separator (the bytes past it one down),
  // then only the first `digits` of them, behind leading zeros.
  const std::uint64_t below = (1ull << (8 * i0)) - 1;
  const std::uint64_t packed = decimals > 0 ? (w & below) | ((w >> 8) & ~below) : w;
  v = scaled(eight_digits((packed << (8 * (8 - digits))) | (0x3030303030303030ull >> (8 * digits))), scale);
  if (shape != nullptr) {
    const std::uint64_t upto = end == 7 ? ~0ull : (1ull << (8 * (end + 1))) - 1;
    shape->care = upto & 0x8080808080808080ull;
    shape->other = other & shape->care;
    shape->char_mask = 0xFFull << (8 * end);
    shape->chars = static_cast<std::uint64_t>(static_cast<unsigned char>(separator)) << (8 * end);
    if (end != i0) {
      shape->char_mask |= 0xFFull << (8 * i0);
      shape->chars |= static_cast<std::uint64_t>(static_cast<unsigned char>(p[i0])) << (8 * i0);
    }
    shape->below = end != i0 ? below : ~0ull;
    shape->fill = 0x3030303030303030ull >> (8 * digits);
    shape->shift = 8 * (8 - digits);
    shape->end = end;
    shape->scale = scale;
  }
  p += end;
  return true;
}

[[gnu::always_inline]] inline bool quick_value(const char*& p, const char* end, char separator, char decimal,
                                              int unit_decimals, float& v, CellShape* shape = nullptr) {
  if constexpr (std::endian::native == std::endian::little)
    if (end - p >= 8 && ((shape != nullptr && shape->read(p, v)) ||
                         quick_value8(p, separator, decimal, unit_decimals, v, shape)))
      return true;
  const char* q = p;
  std::uint64_t n = 0;
  int digits = 0, decimals = -1;
  for (; q < end; ++q) {
    const unsigned d = static_cast<unsigned char>(*q) - static_cast<unsigned>('0');
    if (d < 10) {
      n = n * 10 + d;
      ++digits;
      decimals += decimals >= 0;
      continue;
    }
    if (*q == separator) break;
    if (decimals < 0 && (decimal != 0 ? *q == decimal : (*q == '.' || *q == ','))) {
      decimals = 0;
      continue;
    }
    return false;
  }
  if (digits == 0) {
    if (q != p) return false;  // a decimal separator alone
    v = std::numeric_limits<float>::quiet_NaN();
    p = q;
    return true;
  }
  const int scale = (decimals < 0 ? 0 : decimals) + unit_decimals;
  if (digits > 18 || scale > 3) return false;
  v = scaled(n, scale);
  p = q;
  return true;
}

}  // namespace ringave
