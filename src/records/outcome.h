// Outcomes of a read and the two ways a run ends early.
//
// Every read states which of its end-of-file and error outcomes it handles
// (`Handles`). It returns the outcome it handles and throws FatalError for the
// rest. A Stop ends the run with an exit status and an optional message. Only
// main turns either into output and an exit status; files close by RAII.
#pragma once

#include <string>
#include <string_view>

namespace ringave {

enum class Outcome { done, end_of_file, error };

// Which outcome branches a read statement carries.
enum class Handles { none = 0, end_of_file = 1, error = 2, both = 3 };

inline bool handles_eof(Handles h) { return (static_cast<int>(h) & 1) != 0; }
inline bool handles_error(Handles h) { return (static_cast<int>(h) & 2) != 0; }

// Exit statuses of a run.
inline constexpr int kExitClean = 0;    // orderly end, every entry processed
inline constexpr int kExitFailure = 1;  // a stop after a failure, or a skipped entry
inline constexpr int kExitFatal = 255;  // the record layer's fatal report

// A stop: ends the run. A message that is empty or all blanks prints nothing;
// any other message goes to the error output followed by a newline.
struct Stop {
  int status = kExitClean;
  std::string message;
};

// Stop the run: throws Stop{status, message}. A blank message prints nothing.
[[noreturn]] inline void stop(int status, std::string_view message = " ") {
  throw Stop{status, std::string(message)};
}

// The record layer's fatal report: a read or write outcome that its statement
// does not handle. main writes three "? " lines to the error output and exits
// with kExitFatal; a fourth when `where` is set.
struct FatalError {
  std::string message;    // e.g. "Illegal character in numeric input"
  std::string statement;  // "READ", "WRITE", "OPEN", "CLOSE", "BACKSPACE", "INQUIRE"
  std::string unit;       // "12", "13", "*" (console) or "INTERNAL"
  // What was being read, in the user's terms (a series and its tree-number
  // positions, a list-file line, the question being answered); set by the
  // caller that knows it, on the way out. Empty: no fourth line.
  std::string where = {};
};

// Messages of the record layer, exactly as the fatal report shows them.
inline constexpr const char* kIllegalCharacter = "Illegal character in numeric input";
inline constexpr const char* kReadPastEnd = "Attempt to read past end of file";
// A number that does not fit its type (an integer beyond 32 bits, a real
// beyond the single-precision range): an error, never a wrapped value.
inline constexpr const char* kNumericOverflow = "Numeric overflow in numeric input";

}  // namespace ringave
