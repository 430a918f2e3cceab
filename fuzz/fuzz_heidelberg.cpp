// Fuzzes the Heidelberg reader over the input as a file until the end of
// the file, a file error, a stop or a fatal report, once leaving its
// chronologies out and once reading them. Every line of the input that the
// quick read of ten 6-column fields takes must read as the same ten numbers
// by whitespace. Every series read is written as
// a HalfChrono tree block and read back: the values must come back as the
// same thousandths, a year without a value without one (for ring widths up
// to 100 mm).
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "formats/heidelberg.h"
#include "formats/heidelberg_values.h"
#include "formats/tucson_line.h"
#include "records/memory_unit.h"
#include "records/outcome.h"
#include "records/reporter.h"

#include "quiet_reporter.h"

using namespace ringave;

namespace {
constexpr std::size_t kMaxCount = 3001;
constexpr int kMaxCalls = 2100;  // more series than a file may hold

using Quiet = QuietReporter;

// The thousandths a year is written with; 0 for none.
std::int32_t written(float v) { return std::isnan(v) ? 0 : thousandths(v); }

// Writes `s` as a tree of one core and reads it back.
void round_trip(const Series& s) {
  std::vector<std::int32_t> counts(static_cast<std::size_t>(s.count));
  for (std::size_t j = 0; j < counts.size(); ++j) {
    const std::int32_t n = written(s.values[j]);
    // Past 100 mm a float's two scalings of a read may move its thousandths;
    // no ring is that wide.
    if (n == kFieldOverflow || std::llabs(n) > 100000) return;
    counts[j] = std::isnan(s.values[j]) ? 0 : 1;
  }
  const std::string members[] = {"core"};
  MemoryUnit out;
  write_heidelberg_tree(out, {"tree", s, counts, members});
  MemoryUnit in(out.written());
  Quiet quiet;
  static std::vector<float> values(kMaxCount);
  Series back;
  back.values = values;
  ReadOptions options;
  options.chronologies = true;
  HeidelbergReader reader(in, quiet, options);
  if (s.count > 0 && reader.next(back) != SeriesRead::series) std::abort();
  if (s.count > 0 && (back.count != s.count || back.first_year != s.first_year)) std::abort();
  for (std::size_t j = 0; s.count > 0 && j < counts.size(); ++j) {
    const bool none = counts[j] == 0 || written(s.values[j]) == 0;
    if (none ? !(std::isnan(back.values[j]) || written(back.values[j]) == 0)
             : written(back.values[j]) != written(s.values[j]))
      std::abort();
  }
}


// The quick read of each line against the general read.
void quick_lines(std::string_view text) {
  for (std::size_t at = 0; text.size() - at >= 64; at = text.find('\n', at) + 1) {
    std::int32_t quick[10];
    if (heidelberg::ten_fields(text.data() + at, quick)) {
      const char* p = text.data() + at;
      std::int32_t v = 0;
      for (const std::int32_t q : quick)
        if (heidelberg::next_number(p, text.data() + at + 60, v) != heidelberg::Token::number || v != q) std::abort();
      if (heidelberg::next_number(p, text.data() + at + 60, v) != heidelberg::Token::end) std::abort();
    }
    if (text.find('\n', at) == std::string_view::npos) break;
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static std::vector<float> values(kMaxCount);
  quick_lines(std::string_view(reinterpret_cast<const char*>(data), size));
  for (const bool chronologies : {false, true}) {
    Quiet quiet;
    MemoryUnit unit(std::string_view(reinterpret_cast<const char*>(data), size));
    Series s;
    s.values = values;
    ReadOptions options;
    options.chronologies = chronologies;
    HeidelbergReader reader(unit, quiet, options);
    try {
      for (int call = 0; call < kMaxCalls; ++call) {
        if (reader.next(s) != SeriesRead::series) break;
        round_trip(s);
      }
    } catch (const Error&) {
    }
  }
  return 0;
}
