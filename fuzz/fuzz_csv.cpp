// Fuzzes the table reader over the input as a file until the end of the
// file or a file error, in both layouts as the header tells them. The first
// byte chooses the read options (the ID column, the unit of integers, a
// bound on the series kept), so each path of the reader is reached; findings
// go to a reporter that lets the run go on. A delivered series must lie
// within its storage. Then the quick read of a value cell is compared with
// table_value at every place of the input where it takes a cell: the same
// float, bit for bit, or both no value.
#include <cstddef>
#include <optional>
#include <cstdint>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "formats/csv_cells.h"
#include "formats/csv_table.h"
#include "records/error.h"
#include "records/memory_unit.h"
#include "records/reporter.h"

#include "quiet_reporter.h"

using namespace ringave;

namespace {
constexpr std::size_t kMaxCount = 300;  // a small capacity, so spans beyond it are reached
constexpr int kMaxCalls = 2100;

using Quiet = QuietReporter;
}  // namespace

// quick_value against table_value from each of the first bytes of `text`,
// with the shape of the cell read before.
void compare_quick(std::string_view text, char separator, char decimal, int unit) {
  const char* const end = text.data() + text.size();
  CellShape shape;
  for (std::size_t at = 0; at < text.size() && at < 4096; ++at) {
    const char* p = text.data() + at;
    float quick = 0;
    if (!quick_value(p, end, separator, decimal, unit, quick, &shape)) continue;
    if (p != end && *p != separator) std::abort();
    const std::optional<float> general = table_value(std::string_view(text.data() + at, p - (text.data() + at)), decimal, unit);
    if (!general) std::abort();
    std::uint32_t a, b;
    std::memcpy(&a, &quick, sizeof a);
    std::memcpy(&b, &*general, sizeof b);
    if (a != b && !(std::isnan(quick) && std::isnan(*general))) std::abort();
  }
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static std::vector<float> values(kMaxCount);
  if (size == 0) return 0;
  ReadOptions options;
  const std::uint8_t choice = data[0];
  if (choice & 1) options.id_column = "core";
  if (choice & 2) options.table_unit = (choice & 4) ? 0.001 : 0.01;
  if (choice & 8) options.max_series = 3;
  Quiet quiet;
  MemoryUnit unit(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
  Series s;
  s.values = values;
  CsvReader reader(unit, quiet, options);
  try {
    for (int call = 0; call < kMaxCalls; ++call) {
      if (reader.next(s) != SeriesRead::series) break;
      if (s.count < 0 || static_cast<std::size_t>(s.count) > values.size()) std::abort();
    }
  } catch (const Error&) {
  }
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  const char separator = (choice & 16) ? ';' : ',';
  compare_quick(text, separator, separator == ',' ? '.' : 0, (choice & 2) ? ((choice & 4) ? 3 : 2) : 0);
  return 0;
}
