#include "records/record_io.h"

#include <cstring>

namespace ringave {

std::string_view clean_record(std::string_view raw, std::string& scratch) {
  // Most lines hold neither a carriage return nor a tab: hand them back as
  // they are, without a copy.
  const char* p = raw.data();
  const std::size_t n = raw.size();
  std::size_t i = 0;
  while (i < n && p[i] != '\r' && p[i] != '\t') ++i;
  if (i == n) return raw;

  scratch.assign(p, i);
  for (; i < n; ++i) {
    const char ch = p[i];
    if (ch == '\r') continue;
    if (ch == '\t') {
      // Blanks up to the next tab stop: the next character stands in column
      // 9, 17, 25, ... (a tab always moves at least one column).
      const std::size_t to = (scratch.size() / 8 + 1) * 8;
      scratch.append(to - scratch.size(), ' ');
      continue;
    }
    scratch.push_back(ch);
  }
  return scratch;
}

}  // namespace ringave
