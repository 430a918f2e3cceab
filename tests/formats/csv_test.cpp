#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "formats/csv.h"
#include "records/reporter.h"

namespace ringave {
namespace {

Series series(const char* id, std::int32_t first, std::vector<float>& v) {
  Series s;
  s.id.assign(id);
  s.first_year = first;
  s.count = static_cast<std::int32_t>(v.size());
  s.values = v;
  return s;
}

// Values as the Tucson writer rounds them (999 thousandths written as 1000),
// empty cells outside a span and for not a number, quoted IDs, no column for
// an empty series (and none at all when no series has values).
TEST(CsvTest, ValuesCellsAndHeader) {
  std::vector<float> a = {0.1234f, NAN, 0.9991f, -0.25f}, b = {12.5f, 2.0e9f}, none;
  const std::vector<Series> trees = {series("CAM01", 1998, a), series("A,\"B\"", 2000, b), series("EMPTY", 1, none)};
  TextSink sink;
  write_tree_csv(sink, trees);
  EXPECT_EQ(sink.text(),
            "year,CAM01,\"A,\"\"B\"\"\"\n"
            "1998,0.123,\n"
            "1999,,\n"
            "2000,1.000,12.500\n"
            "2001,-0.250,\n");  // 2.0e9 mm is too large for a Tucson field
  EXPECT_EQ(csv_years(trees), 4);
  TextSink none_sink;
  write_tree_csv(none_sink, std::span(trees).subspan(2));
  EXPECT_EQ(none_sink.text() + std::to_string(csv_years(std::span(trees).subspan(2))), "year\n0");  // no series with values
}

}  // namespace
}  // namespace ringave
