// How the command line shows what goes wrong with a file: one line on
// standard error per finding, beginning with the file's name, and never a
// pause or a stop.
#pragma once

#include <string>
#include <string_view>

#include "records/console.h"
#include "records/outcome.h"
#include "records/record_io.h"
#include "records/reporter.h"

namespace ringave {

// The findings of the readers for the file `name`: a warning as
// "name: warning: <summary>", a file error as "name: error: <summary>"
// (then the reader gives the file up), a note only when `notes` is set, as
// "name: note: <summary>"; each on the console's error output, in the
// finding's plain words.
class LineReporter final : public Reporter {
 public:
  LineReporter(Console& con, std::string_view name, bool notes);
  void note(const Finding& finding) override;
  void warning(const Finding& finding) override;
  void file_error(const Finding& finding) override;

 private:
  void say(std::string_view kind, std::string_view words);
  Console& con_;
  std::string name_;
  bool notes_;
};

// The message of a fatal record-layer error in plain words, for a line on
// the command line: the operating system's reason for a file that cannot be
// opened, read or written; `illegal` for an illegal character in a number;
// else the message in lower case as the record layer words it.
std::string plain_words(const Error& f, std::string_view illegal);

}  // namespace ringave
