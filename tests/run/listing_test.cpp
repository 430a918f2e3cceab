#include "run/listing.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "records/memory_unit.h"

namespace ringave {
namespace {

TEST(Listing, HeadingColumns) {
  MemoryUnit sink;
  write_listing_heading(sink);
  EXPECT_EQ(sink.written(), "  #      ID    IYR    LYR    AGE\n");
}

TEST(Listing, RowColumnsAndAsterisks) {
  struct Case {
    std::int32_t row;
    const char* id;
    std::int32_t first, count;
    const char* line;
  } cases[] = {
      {1, "ABC01A", 1900, 101, "   1 ABC01A   1900   2000    101\n"},
      {12, "ABCDEFGH", -50, 10, "  12 ABCDEFGH  -50    -41     10\n"},
      {2001, "X", 1, 3001, "2001 X           1   3001   3001\n"},
      {3, "Y", -1005, 10, "   3 Y        ****   -996     10\n"},
      {4, "Z", 9995, 10, "   4 Z        9995   ****     10\n"},
      {5, "E", 1950, 0, "   5 E        1950   1949      0\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    MemoryUnit sink;
    write_listing_row(sink, c.row, Field<8>(c.id), c.first, last_year_of(c.first, c.count), c.count);
    EXPECT_EQ(sink.written(), c.line);
  }
}

TEST(Listing, LastYearStaysWithin32Bits) {
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  EXPECT_EQ(last_year_of(1900, 101), 2000);
  EXPECT_EQ(last_year_of(kMax, 3001), kMax);
  EXPECT_EQ(last_year_of(kMin, 0), kMin);
  EXPECT_EQ(last_year_of(kMax - 10, 5), kMax - 6);
}

}  // namespace
}  // namespace ringave
