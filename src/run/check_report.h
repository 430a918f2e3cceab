// The check of the cores (check/core_check.h) as the command line shows it:
// each core with its series ID, its tree ID and its years; the report
// NAME_check.csv, a warning line per flagged core, the flag counts of the
// summary line, and the notes of the picture.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "averaging/tree_keys.h"
#include "check/core_check.h"
#include "records/record_io.h"
#include "run/series_table.h"

namespace ringave {

struct CheckedCore {
  std::string series;  // its series ID, trailing blanks dropped
  std::string tree;    // its tree's ID
  std::int32_t first = 0, last = 0;
  CoreCheck check;
};

struct CheckReport {
  std::vector<CheckedCore> cores;       // in file order
  std::optional<std::string> not_made;  // why the file was not checked
};

// Checks the cores of rows 0 .. table.rows-1, grouped into `trees`, before
// the averaging rewrites their rows.
CheckReport check_table(SeriesTable& table, const TreePartition& trees);

// One warning per flagged core, in plain words, without the file's name
// (a file not checked gets none: the caller says why).
std::vector<std::string> check_warnings(const CheckReport& report);

// The summary line's share: "checked: 30 ok, 1 shifted, 2 weak" (only the
// flags that occur), or "not checked".
std::string check_counts(const CheckReport& report);

// Whether --check-strict fails the file: a core shifted or pair.
std::int32_t misdated(const CheckReport& report);

// The report as CSV (RFC 4180, LF line ends): the header, then a row per
// core, or per flagged core only. Fatal reports: failures of `sink`.
void write_check_csv(RecordSink& sink, const CheckReport& report, bool flagged_only);

// The picture's note on a core: "shifted +10", "pair -2", "weak", "short";
// empty for ok.
std::string check_note(const CoreCheck& check);

}  // namespace ringave
