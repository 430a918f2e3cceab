// Input selection: the dialogue right after the start-up banner that fills
// the file list. It prints its help text and asks whether a list file is
// used; then either asks for one file name, its format code and the two
// positions of the tree number in the series IDs, or for the name of a list
// file whose lines give those four items for up to kFileLimit input files.
// A named file that does not exist ends the run after "Program Terminating"
// and a pause.
#pragma once

#include "records/console.h"
#include "records/record_io.h"
#include "run/series_table.h"

namespace ringave {

// The whole dialogue. Leaves the file count and entries 1 .. count filled;
// the list file (unit 12) is closed again before it returns.
void select_inputs(Console& con, FileList& files);

// Reads list-file entries (name, format code, start and stop position; read
// list-directed, one entry per statement) from `source` until its end or
// kFileLimit entries, echoing each to `echo` as it is stored. An entry that
// the end of the source cuts short is dropped. Sets the file count.
void read_list_entries(RecordSource& source, RecordSink& echo, FileList& files);

}  // namespace ringave
