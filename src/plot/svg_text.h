// SvgText: the text of an SVG picture as it is drawn, with the few kinds of
// numbers and strings a picture needs. With a sink, finished lines go to it
// a record each once a megabyte has gathered, so a large picture is never
// held whole; without one, the whole text stays for the caller.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "records/record_io.h"

namespace ringave {

class SvgText {
 public:
  explicit SvgText(RecordSink* sink = nullptr) : sink_(sink) {}

  SvgText& operator<<(std::string_view s) {
    out_.append(s);
    return *this;
  }
  SvgText& operator<<(char c) {
    out_.push_back(c);
    return *this;
  }
  // An integer in decimal.
  SvgText& operator<<(std::int64_t v);
  SvgText& operator<<(std::int32_t v) { return *this << static_cast<std::int64_t>(v); }

  // t tenths as a decimal number: "12", "1.5", "-0.3".
  void tenths(std::int64_t t) { put_tenths(t, false); }
  // The same in the shortest form path data reads: "12", "1.5", "-.3".
  void path_tenths(std::int64_t t) { put_tenths(t, true); }
  // Text for element content or an attribute value: & < > " ' as entity
  // references, control characters and bytes that are not UTF-8 (or code
  // points XML does not allow) as U+FFFD.
  void escaped(std::string_view text);
  // Ends a line; hands finished lines to the sink when enough have gathered.
  void line_end();
  // Hands the rest to the sink (the text must end with a line end).
  void finish();

  const std::string& text() const { return out_; }
  std::string take() { return std::move(out_); }

 private:
  void put_tenths(std::int64_t t, bool short_form);
  RecordSink* sink_;
  std::string out_;
};

}  // namespace ringave
