#include "plot/svg_text.h"

#include <algorithm>
#include <charconv>
#include <cstddef>

#include "records/reporter.h"

namespace ringave {

namespace {

// Lines gather up to this many bytes before they go to the sink.
constexpr std::size_t kFlushBytes = std::size_t{1} << 20;

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// The length of the well-formed UTF-8 sequence at the start of `s` whose
// code point XML 1.0 allows (tab, line feed and carriage return excepted:
// none is wanted inside an ID or a name), or 0.
std::size_t xml_char_length(std::string_view s) {
  const auto b0 = static_cast<unsigned char>(s[0]);
  if (b0 < 0x80) return (b0 >= 0x20 && b0 != 0x7F) ? 1 : 0;
  std::size_t n = 0;
  std::uint32_t cp = 0;
  // The lead byte gives the length and the first bits of the code point.
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    n = 2, cp = b0 & 0x1Fu;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    n = 3, cp = b0 & 0x0Fu;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    n = 4, cp = b0 & 0x07u;
  } else {
    return 0;
  }
  if (s.size() < n) return 0;
  for (std::size_t i = 1; i < n; ++i) {
    const auto b = static_cast<unsigned char>(s[i]);
    if ((b & 0xC0u) != 0x80u) return 0;
    cp = (cp << 6) | (b & 0x3Fu);
  }
  // Overlong forms (two-byte ones have no lead byte above), surrogates,
  // code points past U+10FFFF, the C1 controls and the two non-characters
  // XML excludes.
  if ((n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000)) return 0;
  if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return 0;
  if ((cp >= 0x80 && cp <= 0x9F) || cp == 0xFFFE || cp == 0xFFFF) return 0;
  return n;
}

}  // namespace

SvgText& SvgText::operator<<(std::int64_t v) {
  char buf[24];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  out_.append(buf, r.ptr);
  return *this;
}

void SvgText::put_tenths(std::int64_t t, bool short_form) {
  // Magnitude as unsigned, so that the most negative number has one too.
  const bool negative = t < 0;
  const std::uint64_t m = negative ? 0 - static_cast<std::uint64_t>(t) : static_cast<std::uint64_t>(t);
  if (negative) out_.push_back('-');
  const std::uint64_t whole = m / 10;
  const auto tenth = static_cast<char>('0' + m % 10);
  if (whole != 0 || !short_form || tenth == '0') {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, whole);
    out_.append(buf, r.ptr);
  }
  if (tenth != '0') {
    out_.push_back('.');
    out_.push_back(tenth);
  }
}

void SvgText::escaped(std::string_view text) {
  while (!text.empty()) {
    const std::string_view entity = text[0] == '&'    ? "&amp;"
                                    : text[0] == '<'  ? "&lt;"
                                    : text[0] == '>'  ? "&gt;"
                                    : text[0] == '"'  ? "&quot;"
                                    : text[0] == '\'' ? "&apos;"
                                                      : "";
    const std::size_t n = entity.empty() ? xml_char_length(text) : 1;
    out_.append(!entity.empty() ? entity : n == 0 ? kReplacement : text.substr(0, n));
    text.remove_prefix(std::max<std::size_t>(n, 1));
  }
}

void SvgText::line_end() {
  out_.push_back('\n');
  if (sink_ != nullptr && out_.size() >= kFlushBytes) finish();
}

void SvgText::finish() {
  if (sink_ == nullptr) return;
  put_text(*sink_, out_);
  out_.clear();
}

}  // namespace ringave
