#include "records/record_cursor.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace ringave {
namespace {

// The line number follows the records delivered: a step back counts back
// once, a step back at the end of the input only clears the end.
TEST(RecordCursorTest, LineNumbers) {
  const std::vector<std::string> lines = {"a", "b"};
  std::size_t next = 0;
  const auto fetch = [&](std::string_view& r) {
    if (next == lines.size()) return false;
    r = lines[next++];
    return true;
  };
  RecordCursor cursor;
  std::string_view r;
  EXPECT_EQ(cursor.line(), 0);
  EXPECT_TRUE(cursor.next(r, fetch));
  EXPECT_TRUE(cursor.next(r, fetch));
  EXPECT_EQ(cursor.line(), 2);
  cursor.step_back();
  cursor.step_back();  // one record of history only
  EXPECT_EQ(cursor.line(), 1);
  EXPECT_TRUE(cursor.next(r, fetch));
  EXPECT_EQ(std::pair(std::string(r), cursor.line()), std::pair(std::string("b"), std::int64_t{2}));
  EXPECT_FALSE(cursor.next(r, fetch));
  cursor.step_back();  // clears the end of the input only
  EXPECT_EQ(cursor.line(), 2);
  cursor.step_back();
  EXPECT_EQ(cursor.line(), 1);
  EXPECT_TRUE(cursor.next(r, fetch));
  EXPECT_EQ(cursor.line(), 2);
  cursor.reset();
  EXPECT_EQ(cursor.line(), 0);
}

}  // namespace
}  // namespace ringave
