#include <gtest/gtest.h>

#include <string>

#include "formats/format_test_util.h"
#include "records/outcome.h"
#include "run/dialogue.h"

namespace ringave {
namespace {

// A note's records on standard output, a warning's summary on standard error, a file error's records
// then the pause and a stop with status 1 and no message.
TEST(DialogueReporter, ShowsFindingsAsTheDialogueAlwaysHas) {
  testing::CapturedConsole cc;
  DialogueReporter reporter(cc.con());
  reporter.note({"summary of a note", "\n note\n"});
  reporter.warning({"a warning", "records of a warning\n"});
  EXPECT_EQ(cc.out() + "|" + cc.err(), "\n note\n|a warning\n");
  try {
    reporter.file_error({"summary", "\n *** error\n line\n"});
    ADD_FAILURE() << "a file error must stop the run";
  } catch (const Stop& s) {
    EXPECT_EQ(std::to_string(s.status) + "[" + s.message + "]", "1[ ]");
  }
  EXPECT_EQ(cc.out(), "\n note\n\n *** error\n line\n  \n");
}

}  // namespace
}  // namespace ringave
