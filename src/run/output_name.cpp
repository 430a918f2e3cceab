#include "run/output_name.h"

#include <string_view>

namespace ringave {

std::int32_t prefix_length(const Field<50>& input) {
  for (std::int32_t p = 1; p <= 50; ++p) {
    const char c = input.col(static_cast<std::size_t>(p));
    if (c == '.' || c == ' ') return p - 1;
  }
  return 50;
}

Field<50> output_name(const Field<50>& input) {
  const auto n = static_cast<std::size_t>(prefix_length(input));
  char text[50 + 8];
  for (std::size_t i = 0; i < n; ++i) text[i] = input.data()[i];
  const char suffix[] = "_AVE.raw";
  for (std::size_t i = 0; i < 8; ++i) text[n + i] = suffix[i];
  Field<50> out;  // blank
  out.assign(std::string_view(text, n + 8));  // cut to 50
  return out;
}

}  // namespace ringave
