// Fuzzes the Tucson reader (trrw "mr", including self-formatted blocks read
// by datar) over the input as a file, until the end marker, a stop or a
// fatal report. Every series read is then written with trrw "mw" and read
// back: the second read must give the same value count and first year, and
// values within the thousandths rounding, unless something written was too
// wide for its field or the series cannot be told apart from the format's
// own markers (checked below).
#include <fcntl.h>

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "formats/trrw.h"
#include "records/console.h"
#include "records/field.h"
#include "records/memory_unit.h"
#include "records/outcome.h"

using namespace ringave;

namespace {

constexpr std::int32_t kEndMarker = -999;
constexpr std::int32_t kMaxCount = 3001;
constexpr int kMaxCalls = 2100;  // more series than a file may hold

struct Vars {
  Field<8> id;
  std::int32_t first_year = 0, count = 0, depths = 0, counter = 0;
  std::vector<float> values = std::vector<float>(kMaxCount);
  Field<85> title;
  Field<6> tag;
  std::array<Field<88>, 3> headers;

  void call(Unit& unit, Console& con, std::string_view mode) {
    trrw(id, first_year, count, values, depths, counter, unit, nullptr, mode, title, tag, kMaxCount, headers, con);
  }
};

// The value as the writer puts it in its I6 field, in thousandths; false when
// it does not fit (asterisks) or is the stop marker -9999.
bool writes_cleanly(float v, std::int64_t& thousandths) {
  const double product = static_cast<double>(v * 1000.0f);
  if (!(std::fabs(product) < 2147483648.0)) return false;
  thousandths = std::llround(product);
  return thousandths >= -99999 && thousandths <= 999999 && thousandths != -9999;
}

// Whether the written series can be read back as it was: every year of its
// lines fits its field, the ID holds no minus sign where the reader looks for
// one to tell the split of columns 1-12, and every value fits.
bool round_trips(const Vars& s) {
  if (s.count < 1 || s.count > kMaxCount) return false;
  const std::int64_t last = static_cast<std::int64_t>(s.first_year) + s.count;
  if (s.first_year < -99999 || last > 9999) return false;
  if (s.id.c[6] == '-' || s.id.c[7] == '-') return false;
  for (std::int32_t i = 0; i < s.count; ++i) {
    std::int64_t t;
    if (!writes_cleanly(s.values[static_cast<std::size_t>(i)], t)) return false;
  }
  return true;
}

void check_round_trip(const Vars& s, Console& con) {
  if (!round_trips(s)) return;
  Vars w = s;
  w.tag.assign("AVE   ");  // the tag every tree series is written with
  MemoryUnit file;
  w.call(file, con, "mw");

  MemoryUnit again(file.written());
  Vars r;
  r.call(again, con, "mr");
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
    if (std::fabs(back - static_cast<double>(t)) > 0.5 + 1e-6 * std::fabs(back)) {
      std::fprintf(stderr, "round trip: value %d: %.9g written %lld read %.9g\n", i, s.values[k],
                   static_cast<long long>(t), r.values[k]);
      std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const int null_in = open("/dev/null", O_RDONLY);
  static const int null_out = open("/dev/null", O_WRONLY);

  Console con(null_in, null_out, null_out);
  MemoryUnit unit(std::string_view(reinterpret_cast<const char*>(data), size));
  Vars v;
  std::vector<Vars> series;
  try {
    for (int call = 0; call < kMaxCalls; ++call) {
      v.call(unit, con, "mr");
      if (v.counter == kEndMarker) break;
      if (series.size() < 8) series.push_back(v);
    }
  } catch (const Stop&) {
  } catch (const FatalError&) {
  }
  try {
    for (const Vars& s : series) check_round_trip(s, con);
  } catch (const Stop&) {
    std::fprintf(stderr, "round trip: the re-read stopped the run\n");
    std::abort();
  } catch (const FatalError& f) {
    std::fprintf(stderr, "round trip: fatal %s\n", f.message.c_str());
    std::abort();
  }
  return 0;
}
