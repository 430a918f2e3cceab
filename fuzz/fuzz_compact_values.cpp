// Fuzzes the Compact data read against the general layout engine. Input: a
// layout text up to the first line feed, then one byte for the item count
// (0 .. 255) and one for the handled outcomes (low two bits), then the text
// of the unit. Both reads run on their own unit; any difference in stored
// values (bit for bit), outcome, fatal report or the records left to read
// aborts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "formats/compact_values.h"
#include "records/layout.h"
#include "records/memory_unit.h"
#include "records/outcome.h"
#include "records/transfer.h"

using namespace ringave;

namespace {

struct Result {
  int outcome = -1;  // an Outcome, or -1 after a fatal report
  std::string fault;
  std::vector<float> values;
  std::string rest;
};

template <typename Read>
Result run(std::string_view text, std::size_t count, Handles handles, Read read) {
  Result r;
  MemoryUnit unit(text);
  r.values.assign(count, -7777.25f);
  try {
    r.outcome = static_cast<int>(read(unit, std::span<float>(r.values), handles));
  } catch (const Error& f) {
    r.fault = f.message + "|" + f.statement + "|" + f.unit;
  }
  std::string_view rec;
  for (int k = 0; k < 64 && unit.next(rec); ++k) r.rest.append(rec).push_back('\n');
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view in(reinterpret_cast<const char*>(data), size);
  const std::size_t eol = in.find('\n');
  if (eol == std::string_view::npos || size - eol < 3) return 0;
  const std::string_view layout_text = in.substr(0, eol);
  const std::size_t count = static_cast<unsigned char>(in[eol + 1]);
  const Handles handles = static_cast<Handles>(static_cast<unsigned char>(in[eol + 2]) & 3);
  const std::string_view text = in.substr(eol + 3);
  const Layout l = Layout::compile(layout_text);

  const Result want = run(text, count, handles, [&](MemoryUnit& u, std::span<float> v, Handles h) {
    return read_formatted(u, l, {v}, h);
  });
  const Result got = run(text, count, handles, [&](MemoryUnit& u, std::span<float> v, Handles h) {
    return read_compact_values(u, l, v, h);
  });
  const bool same_values =
      count == 0 || std::memcmp(want.values.data(), got.values.data(), count * sizeof(float)) == 0;
  if (want.outcome != got.outcome || want.fault != got.fault || !same_values || want.rest != got.rest) std::abort();
  return 0;
}
