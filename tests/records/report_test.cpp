// What a stop and the fatal report leave on the error output.
#include "records/report.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

namespace ringave {
namespace {

// Captures what a report writes.
class Captured {
 public:
  Captured() : f_(open_memstream(&buf_, &len_)) {}
  ~Captured() {
    if (f_) std::fclose(f_);
    std::free(buf_);
  }
  std::FILE* file() { return f_; }
  std::string text() {
    std::fflush(f_);
    return std::string(buf_, len_);
  }

 private:
  char* buf_ = nullptr;
  std::size_t len_ = 0;
  std::FILE* f_;
};

TEST(ReportTest, Stops) {
  const struct {
    Stop stop;
    const char* shown;
  } cases[] = {
      {{kExitClean, " "}, ""},
      {{kExitClean, ""}, ""},
      {{kExitFailure, "    "}, ""},
      {{kExitClean, "sbr trrw:  over 25 text lines"}, "sbr trrw:  over 25 text lines\n"},
      {{kExitFailure, " leading blank"}, " leading blank\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stop.message);
    Captured err;
    EXPECT_EQ(report(c.stop, err.file()), c.stop.status);
    EXPECT_EQ(err.text(), c.shown);
  }
}

TEST(ReportTest, FatalReport) {
  Captured err;
  EXPECT_EQ(report(FatalError{kIllegalCharacter, "READ", "12"}, err.file()), kExitFatal);
  const std::string text = err.text();
  const std::size_t first_end = text.find('\n');
  ASSERT_NE(first_end, std::string::npos);
  EXPECT_EQ(text.substr(0, 2), "? ");
  EXPECT_EQ(text.substr(first_end + 1),
            "? Illegal character in numeric input\n"
            "? READ(UNIT=12,...\n");
}

}  // namespace
}  // namespace ringave
