// Findings' records written to a sink record by record.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "records/reporter.h"

namespace ringave {
namespace {

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
