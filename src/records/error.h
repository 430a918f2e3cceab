// Error: the one way a run, or the road of one file, ends early.
//
// An Error says what happened (its code), what it concerns where that is
// known (the file, the line, the series), the exit status, and two texts,
// one for each front door:
//  - the dialogue's console text, exactly as the dialogue shows it: for a
//    stop its message (empty or all blanks: nothing is printed), for the
//    record layer's fatal report (code record_layer) the report's message,
//    statement, unit and fourth line (`where`);
//  - `plain`, the command line's words: what is wrong and what to do, with
//    neither routine names nor limit names; the command line puts the file's
//    name and the line or series in front of it.
// Only main and the front doors turn an Error into output (records/report.h);
// files close by RAII.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ringave {

// Exit statuses of a run.
inline constexpr int kExitClean = 0;    // orderly end, every entry processed
inline constexpr int kExitFailure = 1;  // a stop after a failure, or a skipped entry
inline constexpr int kExitFatal = 255;  // the record layer's fatal report

// What an error concerns within its file, where the code that throws it
// knows: the line (from 1), the series' ID and its number in the file (from
// 1); 0 and empty where unknown.
struct ErrorPlace {
  std::int64_t line = 0;
  std::string series = {};
  std::int32_t series_number = 0;
};

// The kinds of failure.
enum class ErrorCode {
  stop,           // the dialogue ends the run: its own message, or none
  record_layer,   // a read or write outcome that its statement does not handle
  text_lines,     // more text lines before a Tucson series' data than a read takes
  series_values,  // a series, or a self-formatted block, with more values than a series holds
  block_count,    // a self-formatted block with a negative value count
  file_series,    // a file with more series than the table holds
  table_rows,     // more series than the averaging's table holds
  year_range,     // a series that ends after the last year a year number holds
  tree_years,     // a tree, or a file's trees, spanning more years than are kept
};

struct Error {
  ErrorCode code = ErrorCode::stop;
  int status = kExitFailure;
  // The dialogue's text: a stop's message, or the fatal report's message.
  std::string message;
  // The fatal report's statement ("READ", "WRITE", "OPEN", "CLOSE",
  // "BACKSPACE", "INQUIRE") and unit ("12", "13", "*" for the console, or
  // "INTERNAL"); empty for a stop.
  std::string statement = {};
  std::string unit = {};
  // The fatal report's fourth line: what was being read, in the user's terms
  // (a series and its tree-number positions, a list-file line, the question
  // being answered); set by the caller that knows it, on the way out. Empty:
  // no fourth line.
  std::string where = {};
  // The command line's words, without the file name or the line (which the
  // command line puts in front of them); empty for the dialogue's own stops
  // and for fatal reports, which the command line words from their message.
  std::string plain = {};
  // What it concerns, where known: the file (set on the road of a file) and
  // the place in it.
  std::string file = {};
  ErrorPlace place = {};

  bool fatal() const { return code == ErrorCode::record_layer; }
};

// Ends the run: throws an Error of code stop with `status` and the
// dialogue's `message` (blank: nothing printed).
[[noreturn]] inline void stop(int status, std::string_view message = " ") {
  throw Error{ErrorCode::stop, status, std::string(message)};
}

// Ends the run, or the road of a file, for a failure of kind `code` (exit
// status 1) at `place`: `message` as the dialogue prints it, `plain` for
// the command line.
[[noreturn]] inline void stop(ErrorCode code, std::string_view message, std::string plain, ErrorPlace place = {}) {
  Error e{code, kExitFailure, std::string(message)};
  e.plain = std::move(plain);
  e.place = std::move(place);
  throw e;
}

// The record layer's fatal report: `message` (e.g. "Illegal character in
// numeric input") for `statement` on `unit`, with the fourth line `where`
// when it is set; exit status 255.
inline Error fatal_error(std::string message, std::string statement, std::string unit, std::string where = {}) {
  Error e{ErrorCode::record_layer, kExitFatal, std::move(message)};
  e.statement = std::move(statement);
  e.unit = std::move(unit);
  e.where = std::move(where);
  return e;
}

}  // namespace ringave
