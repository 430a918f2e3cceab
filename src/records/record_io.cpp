#include "records/record_io.h"

#include <algorithm>
#include <cstring>

namespace ringave {

std::string_view clean_record(std::string_view raw, std::string& scratch, bool expand_tabs) {
  // Most lines hold neither a carriage return nor a tab, apart from the
  // carriage return of a CR LF line end: hand them back as they are, without
  // a copy.
  while (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
  const char* p = raw.data();
  const std::size_t n = raw.size();
  const void* cr = std::memchr(p, '\r', n);
  const void* tab = expand_tabs ? std::memchr(p, '\t', n) : nullptr;
  if (cr == nullptr && tab == nullptr) return raw;
  std::size_t i = n;
  if (cr != nullptr) i = static_cast<std::size_t>(static_cast<const char*>(cr) - p);
  if (tab != nullptr) i = std::min(i, static_cast<std::size_t>(static_cast<const char*>(tab) - p));

  scratch.assign(p, i);
  for (; i < n; ++i) {
    const char ch = p[i];
    if (ch == '\r') continue;
    if (ch == '\t' && expand_tabs) {
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

void append_record(std::string& out, std::string_view record, bool line_end) {
  const char* p = record.data();
  std::size_t n = record.size();
  while (n > 0) {
    const void* cr = std::memchr(p, '\r', n);
    const std::size_t run = cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - p) : n;
    out.append(p, run);
    if (!cr) break;
    p += run + 1;
    n -= run + 1;
  }
  if (line_end) out.push_back('\n');
}

}  // namespace ringave
