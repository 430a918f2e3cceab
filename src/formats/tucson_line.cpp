// The wide parse of a Tucson data line: the year and the ten value fields of
// an "(a8,i4,10i6)" line, columns 9-72, classified and converted sixteen
// columns at a time, without a branch per character. The in-place parse of
// tucson_read.cpp and the layout engine stay behind it for every line it
// refuses.
#include <cstdint>
#include <cstring>

#include "formats/tucson_columns.h"
#include "formats/tucson_line.h"

namespace ringave {

#if defined(__SSE2__)
using namespace tucson_columns;
#endif

bool parse_tucson_line_wide(const char* line, TucsonFields& out) {
#if defined(__SSE2__)
  // Only the 8-4 split of columns 1-12; the others are rare (years before
  // -999) and left to the in-place parse.
  if (line[7] == '-' || line[6] == '-') return false;
  Columns c;
  classify(line, c);
  if (!right_justified(line, c)) return false;

  store_fields(magnitudes(c.pairs), out);
  if (c.minuses != 0) {
    if ((c.minuses & 0xF) != 0) out.year = -out.year;
    for (int k = 0; k < 10; ++k)
      if (((c.minuses >> (4 + 6 * k)) & 0x3F) != 0) out.f[k] = -out.f[k];
  }
  std::memcpy(out.id.data(), line, 8);
  out.tagged = line[83] != ' ';
  if (out.tagged) std::memcpy(out.tag.data(), line + 82, 6);
  return true;
#else
  (void)line;
  (void)out;
  return false;
#endif
}

}  // namespace ringave
