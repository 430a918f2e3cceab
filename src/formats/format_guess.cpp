#include "formats/format_guess.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "formats/tucson_line.h"
#include "records/field.h"
#include "records/layout.h"
#include "records/outcome.h"
#include "records/transfer.h"

namespace ringave {

namespace {

// Records looked at: enough to pass a file's header lines and the titles of
// its first series.
constexpr int kRecordsLooked = 100;

}  // namespace

bool looks_like_compact(RecordSource& unit) {
  static const Layout& kHeader = layout("(1x,i7,2x,i8) ");
  std::string_view rec;
  for (int n = 0; n < kRecordsLooked && unit.next(rec); ++n) {
    Field<80> line;
    line.assign(rec.substr(0, std::min<std::size_t>(rec.size(), 80)));
    const std::string_view format = line.view().substr(71, 8);
    if (format.find('(') == std::string_view::npos || format.find(')') == std::string_view::npos) continue;
    if (line.view().substr(1, 7).find_first_not_of(' ') == std::string_view::npos) continue;
    std::int32_t count = 0;
    std::int32_t first_year = 0;
    InternalSource header(line.view());
    if (read_formatted(header, kHeader, {count, first_year}, Handles::error) == Outcome::done) return true;
  }
  return false;
}

bool looks_like_tucson(RecordSource& unit) {
  char line[kTucsonLineLength];
  TucsonFields now;
  TucsonFields before;
  bool before_is_data = false;
  std::string_view rec;
  for (int n = 0; n < kRecordsLooked && unit.next(rec); ++n) {
    const std::size_t taken = std::min(rec.size(), kTucsonLineLength - 1);
    std::memcpy(line, rec.data(), taken);
    std::memset(line + taken, ' ', kTucsonLineLength - taken);
    const bool is_data = parse_tucson_line(line, now);
    if (is_data && before_is_data && std::memcmp(now.id.data(), before.id.data(), 6) == 0 &&
        static_cast<std::int64_t>(now.year) == static_cast<std::int64_t>(before.year) + decade_fields(before.year))
      return true;
    before = now;
    before_is_data = is_data;
  }
  return false;
}

}  // namespace ringave
