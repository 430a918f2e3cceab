// Input selection: the dialogue right after the start-up banner that fills
// the file list, and the way the dialogue shows what the readers report.
#pragma once

#include <string_view>

#include "records/console.h"
#include "records/record_io.h"
#include "records/reporter.h"
#include "run/file_list.h"

namespace ringave {

// The whole input selection on `con`: prints the help text, asks whether a
// list file is used, then either asks for one file name, its format code and
// the two positions of the tree number in the series IDs, or for the name of
// a list file whose lines give those four items (read_list_entries). Names
// are 50-character answers; each entry's output name follows the dialogue's
// rule (output_name). Leaves the file count and entries 1 .. count filled;
// the list file (unit 12) is closed again before it returns.
//
// Stops: a named file that does not exist ends the run (status 1) after
// "Program Terminating" and a pause. Fatal reports: end of standard input at
// an answer, an answer that is not a number where one is asked (both with a
// fourth line naming the question), failures of the list file or the
// console.
void select_inputs(Console& con, FileList& files);

// Reads list-file entries (name, format code, start and stop position; read
// list-directed, one entry per statement, the name into 50 characters) from
// `source` until its end or kFileLimit entries, echoing each to `echo` as it
// is stored. Items an entry does not supply stay as at start-up; an entry
// that the end of the source cuts short is dropped. Sets the file count,
// files.list_name to `list_name`, and files.entries_left_out when anything
// but blank lines follows the kFileLimit-th entry (those lines are not
// parsed). Fatal reports: an entry that cannot be read (with a fourth line
// naming the list file and the line), failures of either unit.
void read_list_entries(RecordSource& source, RecordSink& echo, FileList& files, std::string_view list_name = {});

// The readers' findings as the dialogue shows them: a note's records on
// standard output; a warning's summary on standard error (standard output
// flushed first); a file error's records on standard output, then a pause
// and a stop with status 1 and no message. `con` must outlive the reporter.
class DialogueReporter final : public Reporter {
 public:
  explicit DialogueReporter(Console& con);
  void note(const Finding& finding) override;
  void warning(const Finding& finding) override;
  void file_error(const Finding& finding) override;

 private:
  Console& con_;
};

}  // namespace ringave
