// Fuzzes the table reader over the input as a file until the end of the
// file or a file error, in both layouts as the header tells them. The first
// byte chooses the read options (the ID column, the unit of integers, a
// bound on the series kept), so each path of the reader is reached; findings
// go to a reporter that lets the run go on. A delivered series must lie
// within its storage and hold no value outside it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "formats/csv_table.h"
#include "records/error.h"
#include "records/memory_unit.h"
#include "records/reporter.h"

using namespace ringave;

namespace {
constexpr std::size_t kMaxCount = 300;  // a small capacity, so spans beyond it are reached
constexpr int kMaxCalls = 2100;

struct Quiet final : Reporter {
  void note(const Finding&) override {}
  void warning(const Finding&) override {}
  void file_error(const Finding&) override {}
};
}  // namespace

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
  return 0;
}
