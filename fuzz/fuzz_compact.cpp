// Fuzzes the Compact reader: cdf over the input as a file until the end
// marker, a stop or a fatal report. Messages and pauses go to a console over
// /dev/null, so a pause meets end of input and returns.
#include <fcntl.h>

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "formats/cdf.h"
#include "records/console.h"
#include "records/field.h"
#include "records/memory_unit.h"
#include "records/outcome.h"

using namespace ringave;

namespace {
constexpr std::int32_t kEndMarker = -999;
constexpr std::int32_t kMaxCount = 3001;
constexpr int kMaxCalls = 2100;  // more series than a file may hold
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const int null_in = open("/dev/null", O_RDONLY);
  static const int null_out = open("/dev/null", O_WRONLY);
  static std::vector<float> values(kMaxCount);

  Console con(null_in, null_out, null_out);
  MemoryUnit unit(std::string_view(reinterpret_cast<const char*>(data), size));
  Field<8> id;
  Field<85> title;
  std::int32_t first_year = 0, count = 0, counter = 0;
  try {
    for (int call = 0; call < kMaxCalls; ++call) {
      cdf(id, values, first_year, count, counter, unit, kMaxCount, title, con);
      if (counter == kEndMarker) break;
    }
  } catch (const Stop&) {
  } catch (const FatalError&) {
  }
  return 0;
}
