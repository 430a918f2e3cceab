// The Tucson writer formats its data lines in place; the layout engine with
// the line's layout is the reference. Both must give the same bytes for
// every line: all three ID/year splits, short and full lines, and numbers
// too wide for their fields written as asterisks.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "formats/tucson_line.h"
#include "records/memory_unit.h"

namespace ringave {
namespace {

struct Line {
  Field<8> id;
  std::int64_t year;
  std::int32_t f[10];
  int n;
  Field<6> tag;
};

void expect_same(const Line& l) {
  MemoryUnit fast(std::string_view{}, 13), general(std::string_view{}, 13);
  write_tucson_line(fast, l.id, l.year, l.f, l.n, l.tag);
  write_tucson_line_general(general, l.id, l.year, l.f, l.n, l.tag);
  EXPECT_EQ(fast.written(), general.written()) << "year " << l.year << ", " << l.n << " fields";
}

TEST(TucsonLineWrite, HandMadeLinesAgreeWithTheEngine) {
  const std::int64_t years[] = {1901,      0,         -5,        -999,      -1000,     -1001,    -1234,
                                -9999,     -10000,    99999,     100000,    999999,    -99999,   -100000,
                                INT32_MAX, INT32_MIN, std::int64_t{INT32_MAX} + 1, std::int64_t{INT32_MIN} - 1};
  const std::int32_t values[] = {0, 1, -1, 999, 1000, -9999, 99999, 999999, 1000000, -99999, -100000,
                                 INT32_MAX, INT32_MIN};
  for (std::int64_t year : years) {
    for (int n = 1; n <= 10; ++n) {
      for (std::int32_t v : values) {
        Line l{Field<8>("ABCDEFGH"), year, {}, n, Field<6>("TAG123")};
        for (int k = 0; k < 10; ++k) l.f[k] = k % 2 == 0 ? v : -9999;
        expect_same(l);
      }
    }
  }
  // The expected bytes of the three splits, once spelt out.
  MemoryUnit out(std::string_view{}, 13);
  const std::int32_t f[10] = {1, 22, 333, 4444, 55555, 666666, 7777777, -1, -99999, -100000};
  write_tucson_line(out, Field<8>("ABC01011"), 1900, f, 10, Field<6>("xy"));
  write_tucson_line(out, Field<8>("ABC01011"), -1234, f, 3, Field<6>("xy"));
  write_tucson_line(out, Field<8>("ABC01011"), -1000, f, 1, Field<6>("xy"));
  write_tucson_line(out, Field<8>("ABC01011"), 12345, f, 2, Field<6>("xy"));
  EXPECT_EQ(out.written(),
            "ABC010111900     1    22   333  4444 55555666666******    -1-99999******  xy    \n"
            "ABC0101-1234     1    22   333\n"
            "ABC010 -1000     1\n"
            "ABC01011****     1    22\n");
}

TEST(TucsonLineWrite, RandomLinesAgreeWithTheEngine) {
  std::mt19937_64 rng(8);
  auto number = [&]() -> std::int64_t {
    // Mostly widths the fields hold, sometimes one digit more, sometimes anything.
    switch (rng() % 4) {
      case 0: return static_cast<std::int64_t>(rng() % 20000) - 10000;
      case 1: return static_cast<std::int64_t>(rng() % 2000000) - 1000000;
      case 2: return static_cast<std::int32_t>(rng());
      default: return static_cast<std::int64_t>(rng() % 200) - 100;
    }
  };
  for (int i = 0; i < 50000; ++i) {
    Line l;
    for (char& c : l.id.c) c = static_cast<char>(32 + rng() % 95);
    for (char& c : l.tag.c) c = static_cast<char>(32 + rng() % 95);
    l.year = rng() % 8 == 0 ? static_cast<std::int64_t>(rng() >> 30) - (std::int64_t{1} << 33) : number();
    for (std::int32_t& v : l.f) v = static_cast<std::int32_t>(number());
    l.n = 1 + static_cast<int>(rng() % 10);
    expect_same(l);
    if (::testing::Test::HasFailure()) break;
  }
}

}  // namespace
}  // namespace ringave
