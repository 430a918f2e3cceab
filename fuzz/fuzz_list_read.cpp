// Fuzzes list-directed reading: the input is read as a list file is, entry
// by entry (a name, a format code, start and stop positions) until end of
// file, an error, or 100 entries; then as yes/no answers.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "records/field.h"
#include "records/memory_unit.h"
#include "records/outcome.h"
#include "records/transfer.h"

using namespace ringave;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view in(reinterpret_cast<const char*>(data), size);

  MemoryUnit entries(in);
  Field<50> name;
  std::int32_t format = 0, start = 0, stop = 0;
  try {
    for (int k = 0; k < 100; ++k) {
      if (read_list_directed(entries, {name, format, start, stop}, Handles::both) != Outcome::done) break;
    }
  } catch (const Error&) {
  }

  MemoryUnit answers(in);
  bool yes = false;
  try {
    for (int k = 0; k < 100; ++k) {
      if (read_list_directed(answers, {yes}, Handles::both) != Outcome::done) break;
    }
  } catch (const Error&) {
  }
  return 0;
}
