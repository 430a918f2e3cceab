#include "run/driver.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

#include "averaging/treemean.h"
#include "formats/cdf.h"
#include "formats/trrw.h"
#include "records/file_unit.h"
#include "records/outcome.h"
#include "records/transfer.h"
#include "run/dialogue.h"
#include "run/limits.h"
#include "run/listing.h"
#include "run/output_name.h"
#include "run/series_table.h"

namespace ringave {

namespace {

void write_banner(Console& con) {
  write_formatted(con, "(/1x,'Current dimentions are:')");
  write_formatted(con, "(1x,'  Max: records in a single file = ',i8)", {kSeriesLimit});
  write_formatted(con, "(1x,'  Max: record length            = ',i8)", {kLengthLimit});
  write_formatted(con, "(1x,'  Max: files                    = ',i8,/)", {kFileLimit});
}

// The tree number must lie inside the 8-character series ID, after a site
// code of start-1 characters (none for start 1); other positions would make
// tree IDs longer than their 8 characters.
bool positions_valid(const FileEntry& e) { return 1 <= e.start && e.start <= e.stop && e.stop <= 8; }

// Reads every series of the open input into table rows 1.., listing each.
void read_series(Console& con, RunStorage& run, FileEntry& e, FileUnit& in) {
  SeriesTable& table = run.table;
  SeriesBuffer& buf = run.buffer;
  blank(buf.tag);
  std::int32_t row = 1;
  for (;;) {
    if (e.format == 1)
      trrw(buf.id, buf.first_year, buf.count, buf.values, buf.depths, buf.counter, in, nullptr, "mr", buf.title,
           buf.tag, kLengthLimit, buf.headers, con);
    else
      cdf(buf.id, buf.values, buf.first_year, buf.count, buf.counter, in, kLengthLimit, buf.title, con);
    if (buf.counter == kEndMarker) break;

    // The table has room for kSeriesLimit rows and a row for kLengthLimit
    // values; a series beyond either ends the run before anything is stored.
    if (row > kSeriesLimit)
      stop(kExitFailure, "File " + std::string(e.name.trimmed()) + " holds more than " +
                             std::to_string(kSeriesLimit) + " series (Max: records in a single file)");
    if (buf.count > kLengthLimit)
      stop(kExitFailure, "Series " + std::string(buf.id.trimmed()) + " in file " + std::string(e.name.trimmed()) +
                             " holds more than " + std::to_string(kLengthLimit) + " values (Max: record length)");

    const auto i = static_cast<std::size_t>(row - 1);
    table.ids()[i] = buf.id;
    table.first_years()[i] = buf.first_year;
    table.last_years()[i] = last_year_of(buf.first_year, buf.count);
    table.counts()[i] = buf.count;
    if (buf.count > 0) std::copy_n(buf.values.begin(), buf.count, table.row_values(row).begin());
    write_listing_row(con, row, table.ids()[i], table.first_years()[i], table.last_years()[i], table.counts()[i]);
    ++row;
  }
  table.rows = row - 1;
}

// Writes tree rows 1 .. row count through the series buffer.
void write_trees(Console& con, RunStorage& run, FileUnit& out) {
  SeriesTable& table = run.table;
  SeriesBuffer& buf = run.buffer;
  Field<6> tag("AVE   ");
  const std::int32_t trees = std::min(table.rows, kSeriesLimit);
  for (std::int32_t t = 1; t <= trees; ++t) {
    const auto i = static_cast<std::size_t>(t - 1);
    const std::int32_t n = std::min(table.counts()[i], kLengthLimit);
    if (n > 0) std::copy_n(table.row_values(t).begin(), n, buf.values.begin());
    trrw(table.ids()[i], table.first_years()[i], table.counts()[i], buf.values, buf.depths, buf.counter, out,
         nullptr, "mw", buf.title, tag, kLengthLimit, buf.headers, con);
  }
}

// One entry of the file list. Returns false when the entry was skipped.
bool process_entry(Console& con, RunStorage& run, FileEntry& e) {
  if (!file_exists(e.name.trimmed())) {
    write_formatted(con, "(/1x,'File not found > ',a)", {e.name});
    return false;
  }
  if (!positions_valid(e)) {
    write_formatted(con, "(/1x,'Invalid tree number positions > ',a)", {e.name});
    return false;
  }
  const Field<50> out_name = output_name(e.name);
  if (output_replaces_input(e.name, out_name)) {
    write_formatted(con, "(/1x,'Output file would replace input > ',a)", {e.name});
    return false;
  }

  FileUnit in(12);
  in.open_read(e.name.trimmed());
  // The output exists from here on, empty when new. It receives its records
  // only after the whole input is read, and they replace an existing file's
  // contents only when the unit is closed.
  FileUnit out(13);
  out.open_write(out_name.trimmed());

  write_formatted(con, "(/1x,'READING INPUT FILE :> ',a)", {e.name});
  write_listing_heading(con);
  read_series(con, run, e, in);
  in.close();

  SeriesTable& table = run.table;
  treemean(kLengthLimit, kSeriesLimit, table.values(), table.ids(), table.first_years(), table.last_years(),
           table.counts(), table.rows, e.start, e.stop);
  write_trees(con, run, out);
  out.close();
  return true;
}

}  // namespace

int drive(Console& con) {
  // All storage of the run, made once and reused for every file.
  auto run = std::make_unique<RunStorage>();

  write_banner(con);
  select_inputs(con, run->files);

  bool skipped = false;
  for (std::int32_t k = 1; k <= run->files.count; ++k) {
    if (!process_entry(con, *run, run->files.entry(k))) skipped = true;
  }

  write_formatted(con, "(/1x,'Normal Termination of program')");
  return skipped ? kExitFailure : kExitClean;
}

}  // namespace ringave
