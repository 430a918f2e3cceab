// The run driver: the whole of one run. Prints the banner with the capacity
// limits, lets the input selection dialogue fill the file list, then for each
// entry reads every series into the series table (listing each), has them
// averaged by tree and writes the tree series to <prefix>_AVE.raw.
#pragma once

#include "records/console.h"

namespace ringave {

// Runs the dialogue and every entry on the given console. Returns the exit
// status of a run that reaches "Normal Termination of program": 0 when every
// entry was processed, 1 when one or more entries were skipped. Every other
// end is a Stop or FatalError thrown to the caller.
int drive(Console& con);

}  // namespace ringave
