// Fuzzes the Compact reader over the input as a file until the end of the
// file, a file error, a stop or a fatal report. Findings go to a reporter
// that lets the run go on, so the reader's way of giving a file up is
// exercised too.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "formats/compact.h"
#include "records/memory_unit.h"
#include "records/outcome.h"
#include "records/reporter.h"

#include "quiet_reporter.h"

using namespace ringave;

namespace {
constexpr std::size_t kMaxCount = 3001;
constexpr int kMaxCalls = 2100;  // more series than a file may hold

using Quiet = QuietReporter;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static std::vector<float> values(kMaxCount);
  Quiet quiet;
  MemoryUnit unit(std::string_view(reinterpret_cast<const char*>(data), size));
  Series s;
  s.values = values;
  CompactReader reader(unit, quiet);
  try {
    for (int call = 0; call < kMaxCalls; ++call) {
      if (reader.next(s) != SeriesRead::series) break;
    }
  } catch (const Error&) {
  }
  return 0;
}
