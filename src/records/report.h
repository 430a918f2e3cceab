// Turning the end of a run into output and an exit status. Only main calls
// these; everything below it throws Stop or FatalError.
#pragma once

#include <cstdio>

#include "records/outcome.h"

namespace ringave {

// A stop: its message (unless blank) and a line end on `err`; returns its status.
int report(const Stop& stop, std::FILE* err);

// The fatal report: three lines on `err`, each beginning with "? ": a header
// line, the message, and the statement with its unit ("READ(UNIT=12,...");
// then, when fatal.where is set, a fourth "? " line with it. Returns
// kExitFatal.
int report(const FatalError& fatal, std::FILE* err);

}  // namespace ringave
