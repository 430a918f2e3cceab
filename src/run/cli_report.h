// How the command line shows what goes wrong with a file: one line on
// standard error per finding, beginning with the file's name, and never a
// pause or a stop. Also the record count that lets its messages name a line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "records/console.h"
#include "records/outcome.h"
#include "records/record_io.h"
#include "records/reporter.h"

namespace ringave {

// A unit that passes every call to another and counts the records it has
// delivered, following the step-back rule of RecordCursor, so that line()
// is the line number of the record taken last (0 before the first).
class CountingUnit final : public Unit {
 public:
  explicit CountingUnit(Unit& unit) : unit_(unit) {}

  bool next(std::string_view& record) override {
    if (!unit_.next(record)) {
      at_end_ = true;
      return false;
    }
    replay_ = false;
    have_last_ = true;
    ++line_;
    return true;
  }
  void step_back() override {
    unit_.step_back();
    if (at_end_) {
      at_end_ = false;
    } else if (have_last_ && !replay_) {
      replay_ = true;
      --line_;
    }
  }
  void put(std::string_view record, bool line_end) override { unit_.put(record, line_end); }
  std::string unit_label() const override { return static_cast<const RecordSource&>(unit_).unit_label(); }

  // Start counting again, for the same unit opened anew.
  void restart() { line_ = 0, at_end_ = replay_ = have_last_ = false; }
  std::int64_t line() const { return line_; }

 private:
  Unit& unit_;
  std::int64_t line_ = 0;
  bool at_end_ = false;
  bool replay_ = false;
  bool have_last_ = false;
};

// The findings of the readers for the file `name`: a warning as
// "name: warning: <summary>", a file error as "name: error: <summary>"
// (then the reader gives the file up), a note only when `notes` is set, as
// "name: note: <summary>"; each on the console's error output. A summary's
// leading routine name ("sbr cdf:  ") is left out.
class LineReporter final : public Reporter {
 public:
  LineReporter(Console& con, std::string_view name, bool notes);
  void note(const Finding& finding) override;
  void warning(const Finding& finding) override;
  void file_error(const Finding& finding) override;

 private:
  void say(std::string_view kind, std::string_view summary);
  Console& con_;
  std::string name_;
  bool notes_;
};

// The message of a fatal record-layer error in plain words, for a line on
// the command line: the operating system's reason for a file that cannot be
// opened, read or written; `illegal` for an illegal character in a number;
// else the message in lower case as the record layer words it.
std::string plain_words(const FatalError& f, std::string_view illegal);

}  // namespace ringave
