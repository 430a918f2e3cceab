// The numbers of a Heidelberg data line: the general read by whitespace, and
// the quick read of the common 6-column field, which takes only fields that
// the general read takes the same way (a blank, then blanks, then 1 to 5
// digits, a blank or the line's end after it).
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace ringave::heidelberg {

// The blanks that part the numbers of a data line (the units have already
// turned tabs into blanks and dropped carriage returns).
struct Blanks {
  bool is[256] = {};
  constexpr Blanks() {
    for (const char c : {' ', '\t', '\r', '\f', '\v'}) is[static_cast<unsigned char>(c)] = true;
  }
};
inline constexpr Blanks kBlanks;
inline bool blank_at(const char* p) { return kBlanks.is[static_cast<unsigned char>(*p)]; }

// The next whole number of a data line from `p` on (blanks before it passed
// over): an optional sign and 1 to 9 digits ending at a blank or the line's
// end `e`, `p` set past it. Token::end at the line's end; Token::wrong for
// any other word, `p` set past it.
enum class Token { number, end, wrong };
inline Token next_number(const char*& p, const char* e, std::int32_t& v) {
  while (p < e && blank_at(p)) ++p;
  if (p == e) return Token::end;
  const bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  const char* const digits = p;
  const char* const most = e - digits > 9 ? digits + 9 : e;
  std::int32_t n = 0;
  while (p < most && static_cast<unsigned>(*p - '0') < 10u) n = n * 10 + (*p++ - '0');
  if (p == digits || (p < e && !blank_at(p))) {
    while (p < e && !blank_at(p)) ++p;
    return Token::wrong;
  }
  v = negative ? -n : n;
  return Token::number;
}

// The 6-column field at `p` (p[0 .. 6) readable) when it is a blank, then
// blanks, then 1 to 5 digits: its number into `v`, true. The caller makes
// sure that a blank or the line's end follows it. Little-endian machines
// only (false elsewhere, and the general read takes every field).
inline bool six_column_field(const char* p, std::int32_t& v) {
  if constexpr (std::endian::native != std::endian::little) {
    return false;
  } else {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    // Bytes 0-1 '0', bytes 2-7 the field: eight digits once blanks are '0'.
    std::uint64_t x = 0x3030;
    std::memcpy(reinterpret_cast<char*>(&x) + 2, p, 6);
    const std::uint64_t t = x ^ (kOnes * ' ');
    const std::uint64_t low7 = kOnes * 0x7F;
    const std::uint64_t nonblank = (((t & low7) + low7) | t) & (kOnes * 0x80);
    const std::uint64_t blanks = ((~nonblank & (kOnes * 0x80)) >> 7) * 0xFF;  // 0xFF in each blank byte
    // A blank first, the blanks one run, a digit last.
    const std::uint64_t run = blanks >> 16;
    if ((run & 0xFF) == 0 || ((run + 1) & run) != 0 || run >= (1ull << 40)) return false;
    const std::uint64_t y = x | (blanks & (kOnes * 0x10));
    const std::uint64_t high = kOnes * 0xF0, zeros = kOnes * '0';
    if ((y & high) != zeros || ((y + kOnes * 6) & high) != zeros) return false;
    std::uint64_t d = (y & (kOnes * 0x0F)) * 2561 >> 8;
    d = (d & 0x00FF00FF00FF00FFull) * 6553601 >> 16;
    v = static_cast<std::int32_t>((d & 0x0000FFFF0000FFFFull) * 42949672960001ull >> 32);
    return true;
  }
}

}  // namespace ringave::heidelberg
