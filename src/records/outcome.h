// Outcomes of a read.
//
// Every read states which of its end-of-file and error outcomes it handles
// (`Handles`). It returns the outcome it handles and throws the record
// layer's fatal report (an Error, records/error.h) for the rest.
#pragma once

#include "records/error.h"

namespace ringave {

enum class Outcome { done, end_of_file, error };

// Which outcome branches a read statement carries.
enum class Handles { none = 0, end_of_file = 1, error = 2, both = 3 };

inline bool handles_eof(Handles h) { return (static_cast<int>(h) & 1) != 0; }
inline bool handles_error(Handles h) { return (static_cast<int>(h) & 2) != 0; }

// Messages of the record layer, exactly as the fatal report shows them.
inline constexpr const char* kIllegalCharacter = "Illegal character in numeric input";
inline constexpr const char* kReadPastEnd = "Attempt to read past end of file";
// A number that does not fit its type (an integer beyond 32 bits, a real
// beyond the single-precision range): an error, never a wrapped value.
inline constexpr const char* kNumericOverflow = "Numeric overflow in numeric input";

}  // namespace ringave
