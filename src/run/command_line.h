// The command line: ringave's second front door, for scripts and pipelines.
// It takes the files and options from the arguments, never reads standard
// input, never prompts and never pauses, and runs each file through the
// same driver steps as the dialogue (read_series, treemean, the outputs).
//
//   ringave [OPTIONS] -t START-STOP FILE...
//   ringave [OPTIONS] -l LISTFILE
//   ringave -h | --help
//   ringave -V | --version
//
// This header holds the parse of the arguments into a CommandLine and the
// making of the jobs (one per input file, with its output names); the run
// itself is in run/cli_run.h.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "averaging/key_rule.h"
#include "formats/format.h"
#include "run/job.h"

namespace ringave {


struct CommandLine {
  std::vector<std::string> files;
  std::string list;  // -l LISTFILE; empty when not given
  bool tree_given = false;
  bool tree_auto = false;  // -t auto
  std::int32_t key_first = 0;
  std::int32_t key_last = 0;
  std::shared_ptr<const KeyRule> tree_rule;  // -t naming a rule (tag, id, column:NAME, ...)
  bool format_given = false;
  std::optional<Format> format;  // none: -f auto, the default
  ReadOptions read;              // --id-column, --csv-unit
  std::string output_dir;  // -o DIR; empty: beside each input
  bool no_tucson = false;  // --no-tucson: no _AVE.raw
  bool csv = false;
  bool plot = false;
  bool fh = false;            // --fh: NAME_AVE.fh too
  bool check = false;         // --check, or --check-strict
  bool check_strict = false;  // --check-strict: a misdated core fails the file
  bool dry_run = false;
  bool quiet = false;
  bool verbose = false;
};

// failure: a file an option names cannot be read (exit status 1).
enum class Parsed { run, help, version, usage_error, failure };

struct ParseResult {
  Parsed what = Parsed::run;
  std::string error;  // for usage_error and failure: what is wrong, one line
};

// Parses the arguments (argv[0] is the program) into `cl` and checks that
// they go together: FILEs or -l but not both, -t with FILEs and not with -l,
// -f not with -l, not -q with -v, no FILE "-", an existing folder for -o,
// --id-column and --csv-unit not with -l, --csv-unit mm, 0.01mm or 0.001mm;
// some output to write (--no-tucson with --csv, --fh, --plot or --check).
// -f's value is taken in any case. A rule -t names is made (its map file
// read, its pattern compiled) once every other check has passed.
ParseResult parse_command_line(int argc, const char* const* argv, CommandLine& cl);

// Reads -t's value: "auto" or "START-STOP" with 1 <= START <= STOP <= 8.
// False for anything else, a bare number too: "-t 4 5 x.rwl" must not read
// as positions 4-4 and a file named 5. Pure.
bool parse_tree_positions(std::string_view text, CommandLine& cl);

// The texts of --help and --version, each ending in a line end.
std::string help_text();
std::string version_text();

// The output of an input on the command line: the input's file name without
// its last extension, plus `suffix`, in the input's folder or in `dir` when
// that is not empty ("data.v2/nm046.rwl" gives "data.v2/nm046_AVE.raw",
// "ca533" gives "ca533_AVE.raw"). Pure.
std::string cli_output_name(const std::string& input, const std::string& dir, std::string_view suffix);

// The jobs of the FILE arguments, with the options of `cl`.
std::vector<Job> jobs_from_files(const CommandLine& cl);

// The jobs of a list file: each entry as the dialogue's list-file parser
// reads it (name, format code, start and stop position), with no limit on
// their number and names of any length; or, when the list file cannot be
// read or a line does not parse, the error naming the list file and, where
// it applies, the line (with the entries before it). An entry cut short at
// an unquoted '/' in its name (format 0, positions 0-0) gets its list_hint.
struct ListJobs {
  std::vector<Job> jobs;
  std::optional<std::string> error;
};
ListJobs jobs_from_list(const CommandLine& cl);

// Why the outputs of these jobs (the CSV and plot files where a job names
// them) cannot be written, if they cannot: an output that is an input of
// the run, or two inputs with the same output. Names are compared as the
// file system resolves them.
std::optional<std::string> output_clash(const std::vector<Job>& jobs);

}  // namespace ringave
