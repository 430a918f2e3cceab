// The console: standard input as a record source (one answer line per
// record) and standard output as a record sink, with the dialogue
// conventions built on them.
//
// A prompt is a write whose layout ends in "$": its text stays on the open
// line and standard output is flushed before any answer is read. Answers:
//  - a number or yes/no is read list-directed: blank lines are skipped
//    without repeating the prompt, only the first value of the line is used,
//    a null value or "/" keeps the variable's old value; a number with any
//    character but sign and digits is the fatal "Illegal character in numeric
//    input"; yes/no is true when its first character after an optional "."
//    is T or t, false otherwise, never an error;
//  - a line is read with "(a)" into a 50-character field: leading blanks
//    kept, padded or cut to 50;
//  - end of standard input at any answer is the fatal "Attempt to read past
//    end of file" (unit "*").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "records/field.h"
#include "records/record_io.h"

namespace ringave {

class Console final : public RecordSource, public RecordSink {
 public:
  // Reads answers from file descriptor in_fd and writes to out_fd (0 and 1
  // for the real console; tests pass pipes or files).
  Console(int in_fd, int out_fd, int err_fd = 2);
  ~Console() override;
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  // The next answer line, split and cleaned exactly as file records are
  // (clean_record), after flushing the output; false at end of input. The
  // view stays valid until the next call. Throws the fatal report ("READ", "*")
  // when the read fails, or ("WRITE", "*") from the flush.
  bool next(std::string_view& record) override;
  // Buffer one record (carriage returns dropped, a line feed unless
  // line_end is false); written out before every read, on flush(), on
  // warn(), when it grows large, and when the console goes. Throws
  // the fatal report ("WRITE", "*") when a write it triggers fails.
  void put(std::string_view record, bool line_end) override;
  std::string unit_label() const override { return "*"; }

  // Write out everything buffered. A failed write throws the fatal report
  // ("WRITE", "*"); the buffered bytes are dropped either way.
  void flush();

  // A one-line message on the error output (standard error for the real
  // console): standard output is flushed first (throwing as flush() does)
  // so the two stay in order. A failure of the error output is ignored.
  void warn(std::string_view text);

 private:
  struct Impl;
  Impl* impl_;
};

// The process's console (standard input and output), made on first use
// and alive until the process ends. Standard streams the process was
// started without are opened on /dev/null first, so that no file opened
// later takes their numbers.
Console& console();

// Answers, read from the given console by the rules above: a list-directed
// integer, a list-directed logical, an "(a)" line. The variable keeps its
// old value on a null value or "/". Throws the fatal report ("READ", "*") at end
// of input, and for a number with an illegal character.
void read_answer(Console& con, std::int32_t& number);
void read_answer(Console& con, bool& yes);
void read_answer(Console& con, Field<50>& line);

// Pause: write the message list-directed (a blank, the text, a line end),
// then read one line and discard it. End of input at a pause just ends the
// pause: the run stops right after it anyway.
void pause(Console& con, std::string_view message);

}  // namespace ringave
