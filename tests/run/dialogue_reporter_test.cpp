#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/format_test_util.h"
#include "records/outcome.h"
#include "records/reporter.h"
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
  } catch (const Error& s) {
    EXPECT_EQ(std::to_string(s.status) + "[" + s.message + "]", "1[ ]");
  }
  EXPECT_EQ(cc.out(), "\n note\n\n *** error\n line\n  \n");
}

// A finding's records reach a sink one record at a time: an empty record
// stays a record, and a last piece without line end (a prompt) gets none.
TEST(PutText, SplitsRecordsAndKeepsALastPieceWithoutLineEnd) {
  struct Sink final : RecordSink {
    std::vector<std::string> got;
    void put(std::string_view record, bool line_end) override { got.push_back(std::string(record) + (line_end ? "|" : "")); }
    std::string unit_label() const override { return "t"; }
  };
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"a\n\nb\nprompt ", {"a|", "|", "b|", "prompt "}},
      {"single", {"single"}},
      {"", {}},
  };
  for (const auto& [text, want] : cases) {
    Sink sink;
    put_text(sink, text);
    EXPECT_EQ(sink.got, want) << text;
  }
}

}  // namespace
}  // namespace ringave
