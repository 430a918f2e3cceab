// What a stop and the fatal report leave on the error output.
#include "records/report.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

namespace ringave {
namespace {

TEST(ReportTest, StopsAndTheFatalReport) {
  char* buf = nullptr;
  std::size_t len = 0;
  std::FILE* err = open_memstream(&buf, &len);
  EXPECT_EQ(report(Error{ErrorCode::stop, kExitClean, " "}, err), kExitClean);
  EXPECT_EQ(report(Error{ErrorCode::stop, kExitFailure, ""}, err), kExitFailure);
  EXPECT_EQ(report(Error{ErrorCode::stop, kExitFailure, " over 25 text lines"}, err), kExitFailure);
  EXPECT_EQ(report(fatal_error(kIllegalCharacter, "READ", "12"), err), kExitFatal);
  EXPECT_EQ(report(fatal_error(kReadPastEnd, "READ", "*", "answering: Enter Selection :>"), err), kExitFatal);
  std::fclose(err);
  EXPECT_EQ(std::string(buf, len),
            " over 25 text lines\n"
            "? ringave: run-time error in the record layer\n"
            "? Illegal character in numeric input\n"
            "? READ(UNIT=12,...\n"
            "? ringave: run-time error in the record layer\n"
            "? Attempt to read past end of file\n"
            "? READ(UNIT=*,...\n"
            "? answering: Enter Selection :>\n");
  std::free(buf);
}

}  // namespace
}  // namespace ringave
