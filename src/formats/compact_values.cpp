// The Compact data read, record by record.
//
// A data layout made only of real fields and column skips, ending at its
// final ")" with the reversion point at its start, reads every record the
// same way from column 1: record j holds items j*P .. j*P+P-1, P being the
// number of real fields, and the read ends after the record that holds the
// last item. So each record can be read on its own. A record whose fields
// are plain numbers is converted here with the same arithmetic as the
// engine's plain real field; any other record (a comma, an exponent, a
// letter, more digits than a float holds exactly) goes alone to the engine,
// through an internal source, with only the items that fall on it, so its
// values and faults are the engine's own.

#include "formats/compact_values.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "records/transfer.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ringave {
namespace {

// Layouts with more real fields per record than this take the general path.
constexpr std::size_t kMaxFields = 256;
// Column offsets are held below this, so that adding a field width cannot
// wrap; no record comes near it.
constexpr std::size_t kFar = std::size_t{1} << 40;

struct FieldSpot {
  std::size_t start;  // 0-based column where the field starts in a long enough record
  std::size_t width;
  std::int32_t decimals;
  bool packed;          // 1 to 8 columns, ending in column 8 or later: read eight bytes at once
  std::uint64_t before;  // the bytes of those eight that lie before the field
};

struct Shape {
  std::array<FieldSpot, kMaxFields> fields;
  std::size_t count = 0;
  std::size_t full = 0;  // a record this long holds every field whole
  // Every field eight columns wide, field f in columns 8f+1 to 8f+8, all
  // with the same decimals, at most ten: "(10F8.0)" and its kin.
  bool eights = false;
};

// Bytes of an eight-byte load ending at a field of n columns that precede it.
constexpr std::uint64_t before_mask(std::size_t n) {
  return n >= 8 ? 0 : (std::uint64_t{1} << (8 * (8 - n))) - 1;
}

// Whether the layout is real fields and skips only, and where its fields lie.
bool fast_shape(const Layout& data_layout, Shape& shape) {
  if (!data_layout.ok() || data_layout.reversion() != 0) return false;
  const auto& elements = data_layout.elements();
  if (elements.empty() || elements.back().op != Op::End) return false;
  std::size_t column = 0;
  for (std::size_t i = 0; i + 1 < elements.size(); ++i) {
    const Element& e = elements[i];
    const auto w = static_cast<std::size_t>(e.w);  // at least 1 for X and F
    if (e.op == Op::X) {
      column = std::min(column + w, kFar);
      continue;
    }
    if (e.op != Op::F) return false;
    const std::int32_t rep = e.rep;  // at least 1
    if (static_cast<std::size_t>(rep) > kMaxFields - shape.count) return false;
    for (std::int32_t r = 0; r < rep; ++r) {
      const bool packed = w >= 1 && w <= 8 && column + w >= 8;
      shape.fields[shape.count++] = FieldSpot{column, w, e.d, packed, before_mask(w)};
      column = std::min(column + w, kFar);
      shape.full = column;
    }
  }
  shape.eights = shape.count >= 2;
  for (std::size_t f = 0; f < shape.count; ++f) {
    const FieldSpot& spot = shape.fields[f];
    if (spot.start != 8 * f || spot.width != 8 || spot.decimals != shape.fields[0].decimals || spot.decimals > 10)
      shape.eights = false;
  }
  return shape.count > 0;
}

// A plain real field: blanks anywhere, an optional leading sign, at most
// nine significant digits below 2^24 and at most ten fraction digits (one
// point, or `decimals` implied ones). Such a field converts exactly: m and
// 10^k are exact floats, so float(m) / 10^k is rounded once, correctly. An
// empty or all-zero field is +0. Returns false for any other field.
constexpr float kPow10[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};

// m / 10^k for the digits m of a field without point: exact as above.
// Zero digits give +0.
inline bool scaled(std::uint32_t m, std::int32_t decimals, float& out) {
  if (decimals <= 0) {
    if (m >= (1u << 24)) return false;
    out = static_cast<float>(m);
    return true;
  }
  if (m >= (1u << 24) || decimals > 10) return false;
  out = static_cast<float>(m) / kPow10[decimals];
  return true;
}

bool plain_value(const char* p, const char* end, std::int32_t decimals, float& out) {
  while (p != end && (*p == ' ' || *p == '\t')) ++p;
  // The usual field: leading blanks, then at most nine digits to its end.
  if (end - p <= 9) {
    std::uint32_t m = 0;
    const char* q = p;
    for (unsigned digit; q != end && (digit = static_cast<unsigned char>(*q) - static_cast<unsigned>('0')) < 10; ++q)
      m = m * 10 + digit;
    if (q == end) return scaled(m, decimals, out);
  }
  bool neg = false;
  if (p != end && (*p == '-' || *p == '+')) {
    neg = *p == '-';
    ++p;
  }
  std::uint32_t m = 0;
  int digits = 0;
  std::int64_t frac = 0;
  bool point = false;
  for (; p != end; ++p) {
    const unsigned digit = static_cast<unsigned char>(*p) - static_cast<unsigned>('0');
    if (digit < 10) {
      frac += point;
      if ((m | digit) != 0) {
        if (++digits > 9) return false;
        m = m * 10 + digit;
      }
    } else if (*p == ' ' || *p == '\t') {
      continue;
    } else if (*p == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  if (m == 0) {
    out = 0.0f;
    return true;
  }
  const std::int64_t k = point ? frac : decimals;
  if (m >= (1u << 24) || k > 10) return false;
  const float v = static_cast<float>(m) / kPow10[k];
  out = neg ? -v : v;
  return true;
}

// Eight bytes as one number, the first in the lowest byte whatever the
// machine's byte order; the compiler makes it one load where it can.
inline std::uint64_t load_little_endian(const char* c) {
  using U = std::uint64_t;
  const auto* p = reinterpret_cast<const unsigned char*>(c);
  return U{p[0]} | U{p[1]} << 8 | U{p[2]} << 16 | U{p[3]} << 24 | U{p[4]} << 32 | U{p[5]} << 40 | U{p[6]} << 48 |
         U{p[7]} << 56;
}

// A field of 1 to 8 columns ending at `end`, with 8 readable bytes before
// `end`, that is blanks followed by digits: all eight bytes are loaded at
// once, the columns before the field (`before`, see before_mask) become
// blanks, the leading blanks become zeros, and the eight digits are combined
// pairwise. Returns false for any other field (a sign, a point, a blank
// after a digit), which plain_value then reads.
[[gnu::always_inline]] inline bool packed_value(const char* end, std::uint64_t before, std::int32_t decimals,
                                                float& out) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ull;
  constexpr std::uint64_t kHigh = kOnes * 0x80;
  std::uint64_t x = load_little_endian(end - 8);  // first column in the lowest byte
  x = (x & ~before) | (before & (kOnes * ' '));
  // High bit of each byte that is a blank, exactly (no carry between bytes).
  const std::uint64_t diff = x ^ (kOnes * ' ');
  const std::uint64_t blank = ~(((diff & ~kHigh) + ~kHigh) | diff) & kHigh;
  // Blanks only before the first digit: each blank byte follows a blank.
  if ((blank & ~((blank << 8) | 0x80)) != 0) return false;
  x ^= blank >> 3;  // a blank (0x20) becomes '0' (0x30)
  if ((x & (kOnes * 0xF0)) != kOnes * 0x30 || ((x + kOnes * 0x06) & (kOnes * 0xF0)) != kOnes * 0x30) return false;
  x -= kOnes * '0';
  x = x * 10 + (x >> 8);  // pairs of digits in the even bytes
  x = (((x & 0x000000FF000000FFull) * (100 + (1000000ull << 32))) +
       (((x >> 16) & 0x000000FF000000FFull) * (1 + (10000ull << 32)))) >>
      32;
  return scaled(static_cast<std::uint32_t>(x), decimals, out);
}

#if defined(__SSE2__)
// Two fields of eight columns at p, each blanks then digits to its end, into
// out[0 .. 2) as packed_value converts them, both at once: the columns
// classified sixteen at a time, the digits combined in pairs, fours and
// eights. False, with nothing stored, for any other two fields (a sign, a
// point, a blank after a digit, a number of 2^24 or more).
inline bool two_eights(const char* p, std::int32_t decimals, float* out) {
  const __m128i text = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i blank = _mm_cmpeq_epi8(text, _mm_set1_epi8(' '));
  const __m128i value = _mm_sub_epi8(text, _mm_set1_epi8('0'));
  const __m128i digit = _mm_cmpeq_epi8(_mm_min_epu8(value, _mm_set1_epi8(9)), value);
  if (_mm_movemask_epi8(_mm_or_si128(blank, digit)) != 0xFFFF) return false;
  // The blank columns of each field must be its first ones.
  const auto blanks = static_cast<unsigned>(_mm_movemask_epi8(blank));
  const unsigned first = blanks & 0xFF, second = blanks >> 8;
  if ((((first + 1) & first) | ((second + 1) & second)) != 0) return false;
  const __m128i digits = _mm_and_si128(value, digit);
  // 16-bit lanes: 10 x first column + second; 32-bit: 100 x first pair +
  // second; 64-bit: 10^4 x first four + second, one field each.
  const __m128i pairs = _mm_add_epi16(_mm_mullo_epi16(_mm_and_si128(digits, _mm_set1_epi16(0x00FF)), _mm_set1_epi16(10)),
                                      _mm_srli_epi16(digits, 8));
  const __m128i fours = _mm_madd_epi16(pairs, _mm_set1_epi32(0x00010064));
  const __m128i eights = _mm_add_epi64(_mm_mul_epu32(fours, _mm_set1_epi32(10000)), _mm_srli_epi64(fours, 32));
  const __m128i numbers = _mm_shuffle_epi32(eights, _MM_SHUFFLE(3, 1, 2, 0));  // both in the low two lanes
  if ((_mm_movemask_epi8(_mm_cmplt_epi32(numbers, _mm_set1_epi32(1 << 24))) & 0xFF) != 0xFF) return false;
  __m128 floats = _mm_cvtepi32_ps(numbers);  // exact below 2^24
  if (decimals > 0) floats = _mm_div_ps(floats, _mm_set1_ps(kPow10[decimals]));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_castps_si128(floats));
  return true;
}
#endif

// Field f of a record that holds every field whole into out[f]; false when
// it is not plain.
inline bool whole_field(const char* data, const FieldSpot& s, float& out) {
  const char* end = data + s.start + s.width;
  if (s.packed && packed_value(end, s.before, s.decimals, out)) return true;
  return plain_value(data + s.start, end, s.decimals, out);
}

// The first `take` fields of a record into out[0 .. take), or false at the
// first field that is not plain (the fields before it are stored). A record
// shorter than the layout has its fields cut at its end.
bool plain_record(std::string_view rec, const Shape& shape, std::size_t take, float* out) {
  const std::size_t size = rec.size();
  const char* data = rec.data();
  if (size >= shape.full) {
    std::size_t f = 0;
#if defined(__SSE2__)
    // Eight-column fields two at a time (field f in columns 8f+1 to 8f+8).
    if (shape.eights) {
      for (; f + 1 < take; f += 2) {
        if (two_eights(data + 8 * f, shape.fields[0].decimals, out + f)) continue;
        if (!whole_field(data, shape.fields[f], out[f]) || !whole_field(data, shape.fields[f + 1], out[f + 1]))
          return false;
      }
    }
#endif
    for (; f < take; ++f)
      if (!whole_field(data, shape.fields[f], out[f])) return false;
    return true;
  }
  for (std::size_t f = 0; f < take; ++f) {
    const FieldSpot& s = shape.fields[f];
    const std::size_t a = std::min(s.start, size);
    const std::size_t b = std::min(s.start + s.width, size);
    if (b >= 8 && b > a && b - a <= 8 && packed_value(data + b, before_mask(b - a), s.decimals, out[f])) continue;
    if (!plain_value(data + a, data + b, s.decimals, out[f])) return false;
  }
  return true;
}

// One record through the engine, its items the values that fall on it. A
// fault it does not handle is reported against the unit the record came from.
Outcome engine_record(std::string_view rec, const Layout& data_layout, std::span<float> items, Handles handles,
                      const RecordSource& source) {
  InternalSource one(rec);
  if (handles_error(handles)) return read_formatted(one, data_layout, {items}, Handles::error);
  try {
    return read_formatted(one, data_layout, {items}, Handles::none);
  } catch (Error& fault) {
    fault.unit = source.unit_label();
    throw;
  }
}

// End of file before the last item: the outcome the statement handles, or
// the fatal report.
Outcome end_of_file(Handles handles, const RecordSource& source) {
  if (handles_eof(handles)) return Outcome::end_of_file;
  if (handles_error(handles)) return Outcome::error;
  throw fatal_error(kReadPastEnd, "READ", source.unit_label());
}

}  // namespace

Outcome read_compact_values(RecordSource& source, const Layout& data_layout, std::span<float> values,
                            Handles handles, bool* all_fast) {
  bool unused;
  bool& fast = all_fast != nullptr ? *all_fast : unused;
  Shape shape;
  fast = fast_shape(data_layout, shape);
  if (!fast) return read_formatted(source, data_layout, {values}, handles);

  std::string_view rec;
  if (!source.next(rec)) return end_of_file(handles, source);
  std::size_t done = 0;
  for (;;) {
    const std::size_t left = values.size() - done;
    const std::size_t take = left < shape.count ? left : shape.count;
    if (!plain_record(rec, shape, take, values.data() + done)) {
      fast = false;
      const Outcome o = engine_record(rec, data_layout, values.subspan(done, take), handles, source);
      if (o != Outcome::done) return o;
    }
    done += take;
    if (done == values.size()) return Outcome::done;
    if (!source.next(rec)) return end_of_file(handles, source);
  }
}

}  // namespace ringave
