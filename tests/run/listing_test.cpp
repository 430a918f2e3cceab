#include "run/listing.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "records/memory_unit.h"

namespace ringave {
namespace {

// Row number, ID, first year, last year, value count; a number too wide for its four columns is "****".
TEST(Listing, RowColumnsAndAsterisks) {
  const struct { std::int32_t row; const char* id; std::int32_t first, count; const char* line; } cases[] = {
      {1, "ABC01A", 1900, 101, "   1 ABC01A   1900   2000    101\n"},
      {12, "ABCDEFGH", -50, 10, "  12 ABCDEFGH  -50    -41     10\n"},
      {3, "Y", -1005, 10, "   3 Y        ****   -996     10\n"},
      {4, "Z", 9995, 10, "   4 Z        9995   ****     10\n"},
      {5, "E", INT32_MAX, 12345, "   5 E        ****   ****   ****\n"},
  };
  for (const auto& c : cases) {
    MemoryUnit sink;
    write_listing_row(sink, c.row, Field<8>(c.id), c.first, last_year_of(c.first, c.count), c.count);
    EXPECT_EQ(sink.written(), c.line);
  }
}

}  // namespace
}  // namespace ringave
