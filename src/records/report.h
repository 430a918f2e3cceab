// Turning the end of a run into the dialogue's output and an exit status.
// Only main calls this; everything below it throws an Error.
#pragma once

#include <cstdio>

#include "records/outcome.h"

namespace ringave {

// An error as the dialogue shows it on `err`; returns its exit status.
// A stop (any code but record_layer): its message, unless blank, and a line
// end. The fatal report: three lines, each beginning with "? ": a header
// line, the message, and the statement with its unit ("READ(UNIT=12,...");
// then, when `where` is set, a fourth "? " line with it.
int report(const Error& error, std::FILE* err);

}  // namespace ringave
