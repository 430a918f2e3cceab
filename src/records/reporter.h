// Reporter: where the readers and the averaging send what they find wrong
// with the data, instead of writing to the console, pausing or stopping by
// themselves. The run driver owns the reporter and decides how a finding is
// shown: the dialogue prints it as it always has (and stops the run after a
// file error), another front door may print one line and go on with the next
// file.
//
// A finding comes in three forms: `summary`, one line without a line end that
// names what is wrong and where, as the dialogue shows a warning; `records`,
// the text the dialogue shows for it, records each ended by '\n' (possibly
// empty); and `plain`, the command line's words (the line or series and what
// is wrong, without routine names), empty when the summary says it plainly
// already. The views are valid only during the call.
#pragma once

#include <string>
#include <string_view>

#include "records/record_io.h"

namespace ringave {

struct Finding {
  std::string_view summary;
  std::string_view records;
  std::string_view plain = {};

  std::string_view plain_words() const { return plain.empty() ? summary : plain; }
};

class Reporter {
 public:
  virtual ~Reporter() = default;

  // A remark on the data; reading goes on as if nothing was said. (A
  // self-formatted block whose values could not all be read.)
  virtual void note(const Finding& finding) = 0;

  // Something the user must know, as a warning; reading goes on. (A series
  // cut short by the end of its file.)
  virtual void warning(const Finding& finding) = 0;

  // The file being read cannot be read on. The reporter either ends the run
  // (throws an Error) or returns; then the reader gives the file up and tells its
  // caller so, leaving nothing half-read for it to use.
  virtual void file_error(const Finding& finding) = 0;
};

// Passes every finding on to `to` with "<name>: " in front of its summary,
// so that each summary line names the file it is about (the readers and the
// averaging do not know the file's name). The records and the plain words
// are passed on as they are. `to` must outlive it; `name` is copied.
class NamedReporter final : public Reporter {
 public:
  NamedReporter(Reporter& to, std::string_view name) : to_(to), prefix_(std::string(name) + ": ") {}
  void note(const Finding& finding) override { to_.note({named(finding.summary), finding.records, finding.plain}); }
  void warning(const Finding& finding) override {
    to_.warning({named(finding.summary), finding.records, finding.plain});
  }
  void file_error(const Finding& finding) override {
    to_.file_error({named(finding.summary), finding.records, finding.plain});
  }

 private:
  std::string named(std::string_view summary) const { return prefix_ + std::string(summary); }
  Reporter& to_;
  std::string prefix_;
};

// A record sink that gathers the records written to it as text, each
// followed by '\n' (none after a record written without line end), for the
// `records` form of a finding.
class TextSink final : public RecordSink {
 public:
  void put(std::string_view record, bool line_end) override {
    text_.append(record);
    if (line_end) text_.push_back('\n');
  }
  std::string unit_label() const override { return "*"; }
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

// Writes `text` (records each ended by '\n'; a last piece without '\n' is
// written without line end) to `sink`, record by record.
inline void put_text(RecordSink& sink, std::string_view text) {
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    if (end == std::string_view::npos) {
      sink.put(text, false);
      return;
    }
    sink.put(text.substr(0, end), true);
    text.remove_prefix(end + 1);
  }
}

}  // namespace ringave
