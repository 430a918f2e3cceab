// The run driver: the whole of one dialogue run. Prints the banner with the
// capacity limits, lets the input selection dialogue fill the file list, then
// takes each entry along the road of one file (run/pipeline.h) through the
// dialogue's door: its skip messages, the listing of every series as read,
// trees under the first series' site code, the tree series written to the
// entry's output file.
#pragma once

#include "records/console.h"
#include "records/record_io.h"
#include "records/reporter.h"
#include "run/run_storage.h"

namespace ringave {

// Runs the dialogue and every entry on `con`, in `run`'s storage, which the
// run leaves in a state fit for the next run (a caller may keep it across
// runs). Readers' findings are shown by a DialogueReporter on `con`.
//
// Returns the exit status of a run that reaches "Normal Termination of
// program": 0 when every entry was processed, 1 when one or more entries
// were skipped (file not found, invalid tree-number positions, output that
// would replace the input, output that an earlier entry of this run wrote
// tree series to) or wrote no tree series, or the list file held
// more entries than were taken. Findings go to the reporter, each summary
// beginning with the name of the file it is about; after an entry that gave
// no tree series or that a reader gave up on, a file that looks like the
// other format gets a warning naming its format code. Every other end is
// thrown to the caller as an Error: a stop (the dialogue's missing file, a
// reader's or the averaging's stop, more series or values than the table
// holds) or the record layer's fatal report. An output file is written only by an entry that ends
// normally; `con` and `run` must outlive the call.
int drive(Console& con, RunStorage& run);

// The same with storage made for this run alone (about 24 MB, mostly
// untouched). Throws std::bad_alloc when it cannot be made.
int drive(Console& con);

}  // namespace ringave
