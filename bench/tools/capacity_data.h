// Capacity data: deterministic ring-width files at the size limits of
// ringave (2001 series of 3001 values), or a fraction of them, for the
// end-to-end benchmark and the format benchmarks.
//
// One data set is laid out three ways: a Tucson file in thousandths of a
// millimetre (stop marker -9999), the same in hundredths (stop marker 999)
// and a Compact file read with the layout (10F8.0) and exponent -2. Every
// width is a multiple of 0.01 mm between 0.05 and 5 mm, so the hundredths
// never reach 999 and the thousandths (multiples of 10) never equal 999 or
// -9999: no ring ends a series early.
//
// Series IDs are "ABC", a four-digit tree number (columns 4-7) and a core
// letter: two cores per tree, three for every fourth tree, the cores of a
// tree next to each other. Every series runs from year -999 to 2001 (3001
// values), so all of a file fits the 3001 year entries of the averaging.
//
// Besides the inputs, the tree means that ringave must write are computed
// here independently (single precision, cores summed in file order, the
// writer's rounding to thousandths), so that the benchmark can check the
// output of a capacity run byte for byte.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace capacity {

constexpr int kMaxSeries = 2001;
constexpr int kMaxValues = 3001;
constexpr int kFirstYear = -999;
constexpr const char* kSite = "ABC";
constexpr int kTreeStart = 4;  // tree number in ID columns 4-7
constexpr int kTreeStop = 7;

// The series of one data set: `series` cores of `values` values each.
struct Plan {
  int series = kMaxSeries;
  int values = kMaxValues;
};

// The data set at 1/denominator of capacity: the series count is divided,
// the length of each series stays at 3001 values.
inline Plan plan_for(int denominator) {
  Plan p;
  if (denominator < 1) denominator = 1;
  p.series = (kMaxSeries + denominator / 2) / denominator;
  if (p.series < 1) p.series = 1;
  return p;
}

// Deterministic pseudo-random numbers (splitmix64): the same data on every
// machine and every run.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform in [0, 1).
  double uniform() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }
  // Roughly standard normal (sum of four uniforms, variance scaled to 1).
  double normal() {
    double s = uniform() + uniform() + uniform() + uniform() - 2.0;
    return s * 1.7320508075688772;
  }

 private:
  std::uint64_t state_;
};

// Tree number (1-based) and core index (0-based) of each series, in file order.
struct Core {
  int tree;
  int core;
};

inline std::vector<Core> cores_of(const Plan& plan) {
  std::vector<Core> out;
  out.reserve(plan.series);
  for (int tree = 1; static_cast<int>(out.size()) < plan.series; ++tree) {
    const int n = (tree % 4 == 0) ? 3 : 2;
    for (int c = 0; c < n && static_cast<int>(out.size()) < plan.series; ++c) out.push_back({tree, c});
  }
  return out;
}

// 8-character series ID: "ABC0011A" for tree 11, first core.
inline std::string series_id(const Core& c) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%s%04d%c", kSite, c.tree, 'A' + c.core);
  return std::string(buf, 8);
}

// Tree ID as the averaging composes it: site code, zero-padded tree number,
// blank in column 8.
inline std::string tree_id(int tree) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%s%04d ", kSite, tree);
  return std::string(buf, 8);
}

// Ring widths in hundredths of a millimetre: a shared year signal (AR(1),
// like a climate signal that all trees of a site record), an age trend per
// tree and noise per core, held within 5 .. 500 (0.05 .. 5 mm).
class Widths {
 public:
  explicit Widths(int values) : climate_(values) {
    Random r(20011);
    double z = 0.0;
    for (int j = 0; j < values; ++j) {
      z = 0.6 * z + 0.25 * r.normal();
      climate_[j] = std::exp(z);
    }
  }

  void core(const Core& c, std::vector<int>& out) const {
    out.resize(climate_.size());
    Random tree_r(1000003ull * static_cast<std::uint64_t>(c.tree) + 17);
    const double base = 0.8 + 1.7 * tree_r.uniform();      // mm
    const double decay = 80.0 + 400.0 * tree_r.uniform();  // years
    Random core_r(7919ull * static_cast<std::uint64_t>(c.tree) + 131ull * static_cast<std::uint64_t>(c.core) + 5);
    const double offset = 0.9 + 0.2 * core_r.uniform();
    for (std::size_t j = 0; j < climate_.size(); ++j) {
      const double trend = 0.35 + 1.1 * std::exp(-static_cast<double>(j) / decay);
      double w = base * offset * trend * climate_[j] * std::exp(0.18 * core_r.normal());
      long h = std::lround(w * 100.0);
      if (h < 5) h = 5;
      if (h > 500) h = 500;
      out[j] = static_cast<int>(h);
    }
  }

 private:
  std::vector<double> climate_;
};

// Append an integer right-aligned in a field of `width` columns (asterisks
// when it does not fit).
inline void put_int(std::string& out, long v, int width) {
  char digits[24];
  int n = 0;
  const bool neg = v < 0;
  unsigned long u = neg ? 0ul - static_cast<unsigned long>(v) : static_cast<unsigned long>(v);
  do {
    digits[n++] = static_cast<char>('0' + u % 10);
    u /= 10;
  } while (u != 0);
  if (neg) digits[n++] = '-';
  if (n > width) {
    out.append(static_cast<std::size_t>(width), '*');
    return;
  }
  out.append(static_cast<std::size_t>(width - n), ' ');
  while (n > 0) out.push_back(digits[--n]);
}

// Number of value fields of a series' first Tucson data line (decade rule).
inline int first_line_fields(int year) {
  if (year >= 0) return 10 - year % 10;
  const int r = -(year % 10);
  return r == 0 ? 10 : r;
}

// One series as Tucson data lines in the 8-4 layout (years -999 .. 9999):
// ID in columns 1-8, year in 9-12, ten I6 value fields, the stop marker in
// the field after the last value (alone on a line when the last line is
// full). With a tag, full lines carry it in columns 75-80, as the writer
// does; without, they end in column 72 as most Tucson files do.
inline void append_tucson(std::string& out, const std::string& id, int first_year, const int* v, int n,
                          int marker, const char* tag = nullptr) {
  int pos = 0;
  int year = first_year;
  int fields = first_line_fields(first_year);
  for (;;) {
    out.append(id, 0, 8);
    put_int(out, year, 4);
    bool finished = false;
    int k = 0;
    for (; k < fields; ++k) {
      if (pos >= n) {
        put_int(out, marker, 6);
        finished = true;
        ++k;
        break;
      }
      put_int(out, v[pos++], 6);
    }
    if (k == 10 && tag != nullptr) {
      out.append("  ");
      out.append(tag);
    }
    out.push_back('\n');
    if (finished) return;
    year += fields;
    fields = 10;
  }
}

// One series as a Compact header (count in columns 2-8, first year in
// 11-18, ID in 22-29, exponent in 69-71, layout in 72-79, "~" in 80) and
// its data records, ten 8-column fields each.
inline void append_compact(std::string& out, const std::string& id, int first_year, const int* v, int n,
                           int exponent) {
  out.push_back(' ');
  put_int(out, n, 7);
  out.append("=N");
  put_int(out, first_year, 8);
  out.append("=I ");
  out.append(id, 0, 8);
  out.append(68 - 29, ' ');
  put_int(out, exponent, 3);
  out.append("(10F8.0)~\n");
  for (int i = 0; i < n; ++i) {
    put_int(out, v[i], 8);
    if (i % 10 == 9 || i == n - 1) out.push_back('\n');
  }
}

// Three header lines in the style of a site's Tucson file: text lines for
// the reader (columns 9-12 hold letters).
inline std::string tucson_header(const Plan& plan, int unit) {
  char buf[256];
  std::string h;
  std::snprintf(buf, sizeof buf, "%-9s%-52sPIPO\n", kSite, "Capacity Benchmark Site");
  h += buf;
  std::snprintf(buf, sizeof buf, "%-9s%-13s%-40s%6d%5d\n", kSite, "Synthetic",
                unit == 1000 ? "ring widths 0.001 mm" : "ring widths 0.01 mm", kFirstYear,
                kFirstYear + plan.values - 1);
  h += buf;
  std::snprintf(buf, sizeof buf, "%-9sGenerated by gen_capacity: %d series of %d values\n", kSite, plan.series,
                plan.values);
  h += buf;
  return h;
}

// Formats of the data set.
enum class Kind { kThousandths, kHundredths, kCompact };

// A value as the reader delivers it, in millimetres and single precision.
inline float as_read(Kind kind, int hundredths) {
  switch (kind) {
    case Kind::kThousandths:
      return (static_cast<float>(hundredths * 10) * 0.01f) * 0.1f;
    case Kind::kHundredths:
      return static_cast<float>(hundredths) * 0.01f;
    case Kind::kCompact: {
      const float scale = 1.0f / (10.0f * 10.0f);
      return static_cast<float>(hundredths) * scale;
    }
  }
  return 0.0f;
}

// Rounded thousandths as the writer computes them.
inline int thousandths(float value) {
  const float p = value * 1000.0f;
  int t;
  if (p >= 8388608.0f || p <= -8388608.0f)
    t = static_cast<int>(p);
  else
    t = static_cast<int>(p >= 0.0f ? p + 0.5f : p - 0.5f);
  return t == 999 ? 1000 : t;
}

}  // namespace capacity
