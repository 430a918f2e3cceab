#include "run/driver.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "averaging/fixed_positions.h"
#include "averaging/treemean.h"
#include "formats/compact.h"
#include "formats/format_guess.h"
#include "formats/tucson.h"
#include "records/file_unit.h"
#include "records/outcome.h"
#include "records/transfer.h"
#include "run/dialogue.h"
#include "run/limits.h"
#include "run/listing.h"
#include "run/unit_numbers.h"

namespace ringave {

namespace {

void write_banner(Console& con) {
  // pinned console text, misspelling included
  write_formatted(con, "(/1x,'Current dimentions are:')");
  write_formatted(con, "(1x,'  Max: records in a single file = ',i8)", {kSeriesLimit});
  write_formatted(con, "(1x,'  Max: record length            = ',i8)", {kLengthLimit});
  write_formatted(con, "(1x,'  Max: files                    = ',i8,/)", {kFileLimit});
}

// A file name as the console shows it: in a field of 50 columns, as the
// dialogue enters it, or wider for a longer name.
std::string shown(const std::string& name) {
  std::string text = name;
  text.resize(std::max<std::size_t>(text.size(), 50), ' ');
  return text;
}

// The outputs of this run that received tree series, as the files they are
// (device and inode), so that a later entry whose output is the same file
// under any name does not replace them.
class WrittenOutputs {
 public:
  bool holds(const std::string& name) const {
    const auto file = identity(name);
    return file && files_.count(*file) > 0;
  }
  void add(const std::string& name) {
    if (const auto file = identity(name)) files_.insert(*file);
  }

 private:
  using Identity = std::pair<dev_t, ino_t>;
  static std::optional<Identity> identity(const std::string& name) {
    struct stat st {};
    if (::stat(name.c_str(), &st) != 0) return std::nullopt;
    return Identity{st.st_dev, st.st_ino};
  }
  std::set<Identity> files_;
};

}  // namespace

// The tree number must lie inside the 8-character series ID, after a site
// code of key_first-1 characters (none for 1); other positions would make
// tree IDs longer than their 8 characters.
bool positions_valid(const FileEntry& e) { return 1 <= e.key_first && e.key_first <= e.key_last && e.key_last <= 8; }

bool read_series(RecordSink* listing, RunStorage& run, const FileEntry& e, Unit& in, Reporter& reporter) {
  SeriesTable& table = run.table;
  Series& s = run.series;
  s.begin_file();
  std::int32_t row = 1;
  for (;;) {
    // The reader stores the values straight into the row they are meant
    // for; a series beyond the table's rows goes to the series buffer and
    // ends the run below.
    s.values = row <= kSeriesLimit ? table.row_values(row) : std::span<float>(run.series_values);
    const SeriesRead got =
        e.format == 1 ? read_tucson_series(in, s, reporter) : read_compact_series(in, s, reporter);
    if (got != SeriesRead::series) {
      s.values = run.series_values;
      if (got == SeriesRead::file_error) return false;
      break;
    }

    // The table has room for kSeriesLimit rows and a row for kLengthLimit
    // values; a series beyond either ends the run before anything is stored.
    if (row > kSeriesLimit)
      stop(kExitFailure, "File " + e.name + " holds more than " + std::to_string(kSeriesLimit) +
                             " series (Max: records in a single file)");
    if (s.count > kLengthLimit)
      stop(kExitFailure, "Series " + std::string(s.id.trimmed()) + " in file " + e.name + " holds more than " +
                             std::to_string(kLengthLimit) + " values (Max: record length)");

    const auto i = static_cast<std::size_t>(row - 1);
    table.ids()[i] = s.id;
    table.first_years()[i] = s.first_year;
    table.last_years()[i] = last_year_of(s.first_year, s.count);
    table.counts()[i] = s.count;
    if (listing)
      write_listing_row(*listing, row, table.ids()[i], table.first_years()[i], table.last_years()[i],
                        table.counts()[i]);
    ++row;
  }
  table.rows = row - 1;
  return true;
}

void write_trees(SeriesTable& table, RecordSink& out) {
  Series tree;
  tree.tag.assign("AVE   ");
  const std::int32_t trees = std::min(table.rows, kSeriesLimit);
  for (std::int32_t t = 1; t <= trees; ++t) {
    const auto i = static_cast<std::size_t>(t - 1);
    tree.id = table.ids()[i];
    tree.first_year = table.first_years()[i];
    tree.count = table.counts()[i];
    tree.values = table.row_values(t);
    write_tucson_series(out, tree);
  }
}

namespace {

// True when at least one tree row holds values: the output gets a series.
bool any_tree_series(SeriesTable& table) {
  const std::span<const std::int32_t> counts = table.counts();
  return std::any_of(counts.begin(), counts.begin() + table.rows, [](std::int32_t n) { return n > 0; });
}

// After an entry that gave no tree series or that a reader gave up on: when
// the file looks like the other format, name the format code to use. A
// file that cannot be looked at again gets no hint.
void hint_format(const FileEntry& e, Reporter& reporter) {
  try {
    FileUnit again(kInputUnit);
    again.open_read(e.name);
    const bool tucson = e.format == 1;
    if (tucson ? !looks_like_compact(again) : !looks_like_tucson(again)) return;
    const std::string text = tucson ? "this looks like a Compact file: its format code is 2"
                                    : "this looks like a Tucson file: its format code is 1";
    reporter.warning({text, text + "\n"});
  } catch (const FatalError&) {
  }
}

// Reads the entry's series; a reader's stop, or a file error the reporter
// let pass, gets the format hint first.
bool read_entry(Console& con, RunStorage& run, const FileEntry& e, FileUnit& in, Reporter& reporter) {
  bool read = false;
  try {
    read = read_series(&con, run, e, in, reporter);
  } catch (const Stop&) {
    hint_format(e, reporter);
    throw;
  }
  if (!read) hint_format(e, reporter);
  return read;
}

// The averaging under the dialogue's tree-key rule: the tree number at the
// entry's positions, every tree under the first series' site code. A tree
// number that does not read ends the run with the fatal report, its fourth
// line naming the file, the series, its number and what the positions hold.
std::int32_t average(CoreTable& cores, AveragingWork& work, const FileEntry& e, Reporter& reporter) {
  const FixedPositions rule(e.key_first, e.key_last, TreeSites::first_series);
  try {
    return treemean(cores, work, rule, reporter);
  } catch (UnreadableKey& bad) {
    const Field<8>& id = cores.ids[static_cast<std::size_t>(bad.row)];
    bad.where = (cores.name.empty() ? std::string() : std::string(cores.name) + ", ") + "series " +
                std::to_string(bad.row + 1) + " \"" + std::string(id.trimmed()) + "\": tree number " + rule.place() +
                " hold \"" + bad.held + "\"";
    throw;
  }
}

// One entry of the file list. Returns false when the entry was skipped,
// given up, or wrote no tree series.
bool process_entry(Console& con, RunStorage& run, const FileEntry& e, Reporter& front_door,
                   WrittenOutputs& written) {
  const std::string name_text = shown(e.name);
  const std::string_view name = name_text;
  if (!file_exists(e.name)) {
    write_formatted(con, "(/1x,'File not found > ',a)", {name});
    return false;
  }
  if (!positions_valid(e)) {
    write_formatted(con, "(/1x,'Invalid tree number positions > ',a)", {name});
    return false;
  }
  // The output would take the place of the input. (Another name for the
  // same file cannot harm it: the output replaces its directory entry when
  // the unit is closed, and never writes into the file.)
  if (e.output == e.name) {
    write_formatted(con, "(/1x,'Output file would replace input > ',a)", {name});
    return false;
  }
  // An earlier entry of this run wrote its tree series there: replacing them
  // would lose that entry's trees.
  if (written.holds(e.output)) {
    write_formatted(con, "(/1x,'Output file already written in this run > ',a)", {name});
    return false;
  }

  FileUnit in(kInputUnit);
  in.open_read(e.name);
  // The output exists from here on, empty when new. It receives its records
  // only after the whole input is read, and they replace an existing file's
  // contents only when the unit is closed; a unit not closed leaves them.
  FileUnit out(kOutputUnit);
  out.open_write(e.output);

  // Every finding about this file names it.
  NamedReporter reporter(front_door, e.name);
  write_formatted(con, "(/1x,'READING INPUT FILE :> ',a)", {name});
  write_listing_heading(con);
  if (!read_entry(con, run, e, in, reporter)) return false;
  in.close();

  CoreTable cores = run.table.cores();
  cores.name = e.name;
  AveragingWork work = run.work();
  run.table.rows = average(cores, work, e, reporter);
  write_trees(run.table, out);
  out.close();
  if (any_tree_series(run.table)) {
    written.add(e.output);
    return true;
  }
  const std::string text = "no tree series: nothing written to " + e.output;
  reporter.warning({text, text + "\n"});
  hint_format(e, reporter);
  return false;
}

}  // namespace

int drive(Console& con, RunStorage& run) {
  DialogueReporter reporter(con);
  write_banner(con);
  select_inputs(con, run.files);

  bool skipped = false;
  WrittenOutputs written;
  if (run.files.entries_left_out) {
    const std::string text = run.files.list_name + ": more than " + std::to_string(kFileLimit) +
                             " entries; the lines after entry " + std::to_string(kFileLimit) + " were left out";
    reporter.warning({text, text + "\n"});
    skipped = true;
  }
  for (std::int32_t k = 1; k <= run.files.count; ++k) {
    if (!process_entry(con, run, run.files.entry(k), reporter, written)) skipped = true;
  }

  write_formatted(con, "(/1x,'Normal Termination of program')");
  return skipped ? kExitFailure : kExitClean;
}

int drive(Console& con) {
  // All storage of the run, made once and reused for every file.
  auto run = std::make_unique<RunStorage>();
  return drive(con, *run);
}

}  // namespace ringave
