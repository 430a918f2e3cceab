// Fuzzes the Tucson reader (self-formatted blocks included) over the input
// as a file, until its end, a stop or a fatal report. Every series read is
// then written with the Tucson writer and read back: the second read must give the same value count and first year,
// missing values missing and the others within the thousandths rounding,
// unless something written was too wide for its field or the ID and years
// cannot be told apart on the line (checked below). Every line of the input is also offered to
// the quick path for later lines, every version of it, one line and a block
// at a time, which must take only what the full parse reads the same way,
// and the values of every series are converted to thousandths several at a
// time and one by one, which must agree.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "formats/tucson.h"
#include "formats/tucson_line.h"
#include "records/field.h"
#include "records/memory_unit.h"
#include "records/outcome.h"
#include "records/reporter.h"

#include "quiet_reporter.h"

using namespace ringave;

namespace {

constexpr std::size_t kMaxCount = 3001;
constexpr int kMaxCalls = 2100;  // more series than a file may hold

using Quiet = QuietReporter;

// A series with its own storage; copies keep their own values.
struct Owned {
  std::vector<float> storage = std::vector<float>(kMaxCount);
  Series s;
  Owned() { s.values = storage; }
  Owned(const Owned& o) : storage(o.storage), s(o.s) { s.values = storage; }
  Owned& operator=(const Owned&) = delete;
};

// The value as the writer puts it in its I6 field, in thousandths; false when
// it does not fit (asterisks). Not a number (a year without a value) is
// written as the missing-value code -999 and reads back as not a number.
bool writes_cleanly(float v, std::int64_t& thousandths) {
  if (std::isnan(v)) {
    thousandths = -999;
    return true;
  }
  const double product = static_cast<double>(v * 1000.0f);
  if (!(std::fabs(product) < 2147483648.0)) return false;
  thousandths = std::llround(product);
  // 999 is written as 1000, -999 as -1000 and -9999 as -10000, so that no
  // field reads as a stop marker or as the missing-value code.
  if (thousandths == 999) thousandths = 1000;
  if (thousandths == -999 || thousandths == -9999) --thousandths;
  return thousandths >= -99999 && thousandths <= 999999;
}

// Whether the written series can be read back as it was: every year of its
// lines fits its field, the ID holds no minus sign where the reader looks for
// one to tell the split of columns 1-12, and every value fits.
bool round_trips(const Series& s) {
  if (s.count < 1 || static_cast<std::size_t>(s.count) > kMaxCount) return false;
  const std::int64_t last = static_cast<std::int64_t>(s.first_year) + s.count;
  if (s.first_year < -99999 || last > 9999) return false;
  if (s.id.c[6] == '-' || s.id.c[7] == '-') return false;
  for (std::int32_t i = 0; i < s.count; ++i) {
    std::int64_t t;
    if (!writes_cleanly(s.values[static_cast<std::size_t>(i)], t)) return false;
  }
  return true;
}

void check_round_trip(const Series& s, Reporter& quiet) {
  if (!round_trips(s)) return;
  MemoryUnit file;
  write_tucson_series(file, s, Field<6>("AVE   "));  // the tag every tree series is written with

  MemoryUnit again(file.written());
  Owned read;
  Series& r = read.s;
  TucsonReader(again, quiet).next(r);
  if (r.count != s.count || r.first_year != s.first_year) {
    std::fprintf(stderr, "round trip: count %d -> %d, first year %d -> %d\n%s", s.count, r.count, s.first_year,
                 r.first_year, file.written().c_str());
    std::abort();
  }
  for (std::int32_t i = 0; i < s.count; ++i) {
    const auto k = static_cast<std::size_t>(i);
    std::int64_t t = 0;
    writes_cleanly(s.values[k], t);
    const double back = static_cast<double>(r.values[k]) * 1000.0;
    const bool missing = std::isnan(s.values[k]);
    if (missing != std::isnan(back) || (!missing && !(std::fabs(back - static_cast<double>(t)) <= 0.5 + 1e-6 * std::fabs(back)))) {
      std::fprintf(stderr, "round trip: value %d: %.9g written %lld read %.9g\n", i, s.values[k],
                   static_cast<long long>(t), r.values[k]);
      std::abort();
    }
  }
}

// Every line of the input in a line buffer as the reader fills it (columns
// 1-88, blanks after the line), parsed in full, against the quick path.
void check_quick_path(std::string_view input) {
  const bool plain_input = input.find_first_of("\r\t") == std::string_view::npos;  // as a file unit hands lines over
  while (!input.empty()) {
    const std::size_t lf = input.find('\n');
    const std::string_view rec = input.substr(0, lf);
    char line[kTucsonLineLength];
    std::memset(line, ' ', sizeof line);
    std::memcpy(line, rec.data(), std::min(rec.size(), kTucsonLineLength - 1));
    TucsonFields general;
    const bool general_ok = parse_tucson_line(line, general);
    // The quick path for later lines, expecting the line's own ID and year:
    // what it takes the full parse reads as a plain data line of those values.
    LineExpectation expect;
    std::memcpy(&expect.id, line, 8);
    expect.id_mask = ~std::uint64_t{0};
    expect.year = general_ok ? general.year : 0;
    float quick[10];
    if (take_plain_line(rec, expect, quick)) {
      bool same_values = general_ok && !general.tagged;
      for (int k = 0; k < 10 && same_values; ++k)
        same_values = general.f[k] >= 0 && general.f[k] != 999 &&
                      std::bit_cast<std::uint32_t>(quick[k]) ==
                                                         std::bit_cast<std::uint32_t>(static_cast<float>(general.f[k]) * 0.01f);
      if (!same_values) {
        std::fprintf(stderr, "quick path differs: [%.*s]\n", static_cast<int>(rec.size()), rec.data());
        std::abort();
      }
    }
    // The lines taken at once from here: those the one-line quick path
    // takes one by one (exactly 72 columns each), with the same values.
    if (plain_input) {
      float at_once[10 * 8], one[10], other[10 * 8];
      LineExpectation moved = expect;
      const std::size_t n = take_plain_lines(input, moved, at_once, 8);
      static const std::vector<QuickPath> paths = quick_paths();
      for (const QuickPath& path : paths) {
        LineExpectation other_moved = expect;
        if (path.lines(input, other_moved, other, 8) != n || std::memcmp(other, at_once, 40 * n) != 0) {
          std::fprintf(stderr, "%s takes other lines: [%.*s]\n", path.name, static_cast<int>(rec.size()), rec.data());
          std::abort();
        }
      }
      for (std::size_t k = 0; k <= n && k < 8; ++k, expect.year += 10) {
        const std::string_view line = input.substr(std::min(input.size(), 73 * k), 73);
        const bool one_takes = line.size() == 73 && line[72] == '\n' &&
                               line.substr(0, 72).find('\n') == std::string_view::npos &&
                               take_plain_line(line.substr(0, 72), expect, one);
        if (one_takes != (k < n) || (k < n && std::memcmp(one, at_once + 10 * k, sizeof one) != 0)) {
          std::fprintf(stderr, "lines taken at once differ at line %zu: [%.*s]\n", k, static_cast<int>(rec.size()),
                       rec.data());
          std::abort();
        }
      }
    }
    input.remove_prefix(lf == std::string_view::npos ? input.size() : lf + 1);
  }
}

// The thousandths of a series' values, up to ten at a time as the writer
// takes them, against the conversion of one value.
void check_thousandths(const Series& s) {
  const std::int32_t count = std::min<std::int32_t>(s.count, static_cast<std::int32_t>(s.values.size()));
  for (std::int32_t i = 0; i < count; i += 7) {
    const int n = static_cast<int>(std::min<std::int32_t>(10, count - i));
    std::int32_t got[10];
    thousandths(s.values.data() + i, n, got);
    for (int k = 0; k < n; ++k) {
      if (got[k] != thousandths(s.values[static_cast<std::size_t>(i + k)])) {
        std::fprintf(stderr, "thousandths differ: %.9g\n", s.values[static_cast<std::size_t>(i + k)]);
        std::abort();
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Quiet quiet;
  MemoryUnit unit(std::string_view(reinterpret_cast<const char*>(data), size));
  Owned v;
  std::vector<Owned> series;
  TucsonReader reader(unit, quiet);
  try {
    for (int call = 0; call < kMaxCalls; ++call) {
      if (reader.next(v.s) != SeriesRead::series) break;
      if (series.size() < 8) series.push_back(v);
    }
  } catch (const Error&) {
  }
  check_quick_path(std::string_view(reinterpret_cast<const char*>(data), size));
  for (const Owned& s : series) check_thousandths(s.s);
  try {
    for (const Owned& s : series) check_round_trip(s.s, quiet);
  } catch (const Error& f) {
    std::fprintf(stderr, "round trip: %s %s\n", f.fatal() ? "fatal" : "the re-read stopped the run:",
                 f.message.c_str());
    std::abort();
  }
  return 0;
}
