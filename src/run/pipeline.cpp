#include "run/pipeline.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "averaging/auto_tree.h"
#include "averaging/text_rules.h"
#include "formats/registry.h"
#include "formats/sniff.h"
#include "records/file_unit.h"
#include "run/limits.h"
#include "run/listing.h"
#include "run/unit_numbers.h"

namespace ringave {

namespace {

// Whether the first records of file `name` look like `format`.
bool file_looks_like(const std::string& name, Format format) {
  FileUnit file(kInputUnit);
  file.open_read(name);
  return looks_like(file, format);
}

// Opens the job's input and knows its format: the job's, or told from the
// first records. False when the file is neither format.
bool open_input(const Job& job, FileUnit& in, Road& road) {
  in.open_read(job.name);
  if (job.format) {
    road.format = *job.format;
    return true;
  }
  const std::optional<Format> told = guess_format(in);
  if (!told) return false;
  road.format = *told;
  in.open_read(job.name);
  return true;
}

// The rule of a job that left it open (-t auto): fixed positions when they
// fit every ID (none is longer than the 8-character ID field, and the IDs'
// own split convinces), else the tag + core letters scheme when every ID
// has its form and the tag numbers vary in length. Sets the road's choice,
// or returns why neither fits.
std::optional<std::string> choose_rule(const SeriesRows& rows, Road& road) {
  std::optional<std::string> why;
  for (std::size_t r = 0; r < rows.size() && !why; ++r)
    if (rows.whole_id(r).size() > Field<8>::size())
      why = "series ID '" + std::string(rows.whole_id(r)) + "' is longer than 8 characters";
  if (!why) {
    const TreeChoice choice = choose_tree_positions(rows.ids);
    if (choice.chosen()) {
      road.key_first = choice.key_first;
      road.key_last = choice.key_last;
      return std::nullopt;
    }
    why = choice.why;
  }
  if (!tags_vary_in_length(rows)) return why;
  road.tag_chosen = true;
  return std::nullopt;
}

// The road from the open input to the door's outputs.
bool travel(const Job& job, RunStorage& run, Door& door, Road& road, FileUnit& in) {
  if (!open_input(job, in, road)) {
    door.failed(job, road, Failure::no_format, "");
    return false;
  }
  RecordSink* listing = door.reading(job, road);
  road.stage = Road::Stage::reading;
  if (!read_series(listing, run, job.name, road.format, in, door.reporter(), job.read)) {
    door.failed(job, road, Failure::gave_up, "");
    return false;
  }
  in.close();

  road.stage = Road::Stage::grouping;
  SeriesTable& table = run.table;
  road.series = table.rows;
  if (road.series == 0) {
    door.failed(job, road, Failure::no_series, "");
    return false;
  }
  const SeriesRows rows = table.series_rows();
  road.key_first = job.key_first;
  road.key_last = job.key_last;
  if (job.tree_auto && !job.tree_rule) {
    const std::optional<std::string> why = choose_rule(rows, road);
    if (why) {
      door.failed(job, road, Failure::no_positions, *why);
      return false;
    }
  }
  const FixedPositions positions(road.key_first, road.key_last, door.sites());
  const TagRule tags;
  road.rule = job.tree_rule ? job.tree_rule.get() : road.tag_chosen ? static_cast<const KeyRule*>(&tags) : &positions;
  const KeyRule& rule = *road.rule;
  const TreePartition trees = partition_trees(rule, rows);
  if (trees.unreadable) {
    const auto row = static_cast<std::size_t>(trees.unreadable->row);
    door.bad_key(job, road, {*trees.unreadable, std::string(rows.whole_id(row))});
    return false;
  }
  // A tree ID longer than the ID field keeps all of it among the names.
  if (std::any_of(trees.tree_ids.begin(), trees.tree_ids.end(),
                  [](const std::string& id) { return id.size() > Field<8>::size(); }))
    table.keep_names();
  door.grouped(job, road, table, trees);

  road.stage = Road::Stage::averaging;
  CoreTable cores = table.cores();
  cores.name = job.name;
  AveragingWork work = run.work();
  table.rows = road.trees = treemean(cores, work, rule, door.reporter());
  const auto counts = table.counts().first(static_cast<std::size_t>(table.rows));
  if (std::none_of(counts.begin(), counts.end(), [](std::int32_t n) { return n > 0; })) {
    door.failed(job, road, Failure::no_trees, "");
    return false;
  }
  road.stage = Road::Stage::writing;
  door.averaged(job, road, table);
  return true;
}

}  // namespace

bool read_series(RecordSink* listing, RunStorage& run, const std::string& name, Format format, Unit& in,
                 Reporter& reporter, const ReadOptions& options) {
  SeriesTable& table = run.table;
  Series& s = run.series;
  ReadOptions bounded = options;
  bounded.max_series = kSeriesLimit;
  const std::unique_ptr<SeriesReader> reader = make_reader(format, in, reporter, bounded);
  std::int32_t row = 0;
  for (;;) {
    // The reader stores the values straight into the row they are meant
    // for; a series beyond the table's rows goes to the series buffer and
    // ends the run below.
    s.values = row < kSeriesLimit ? table.row_values(row) : std::span<float>(run.series_values);
    // A format without long IDs or fields leaves them empty (capacity kept).
    s.name.clear();
    s.fields.clear();
    const SeriesRead got = reader->next(s);
    if (got != SeriesRead::series) {
      s.values = run.series_values;
      if (got == SeriesRead::file_error) return false;
      break;
    }

    // The table has room for kSeriesLimit rows and a row for kLengthLimit
    // values; a series beyond either ends the run before anything is stored.
    const std::string most_series = std::to_string(kSeriesLimit), most_values = std::to_string(kLengthLimit);
    if (row >= kSeriesLimit)
      stop(ErrorCode::file_series,
           "File " + name + " holds more than " + most_series +
               " series (Max: records in a single file)",  // pinned console text
           "more than " + most_series + " series: ringave reads at most " + most_series + " series from one file",
           {0, std::string(s.id.trimmed()), row + 1});
    if (s.count > kLengthLimit)
      stop(ErrorCode::series_values,
           "Series " + std::string(s.id.trimmed()) + " in file " + name + " holds more than " + most_values +
               " values (Max: record length)",  // pinned console text
           "series " + (s.name.empty() ? std::string(s.id.trimmed()) : s.name) + " (series " +
               std::to_string(row + 1) + " of the file) has more than " + most_values +
               " values: ringave reads at most " + most_values + " values per series",
           {0, s.name.empty() ? std::string(s.id.trimmed()) : s.name, row + 1});

    const auto i = static_cast<std::size_t>(row);
    table.ids()[i] = s.id;
    // Copied into the row's own capacity; a file without either (Tucson,
    // Compact) copies nothing until a file of the run has had them.
    if (!s.name.empty() || !s.fields.empty()) table.keep_names();
    if (!table.names().empty()) {
      table.names()[i] = s.name;
      table.fields()[i] = s.fields;
    }
    table.first_years()[i] = s.first_year;
    table.last_years()[i] = last_year_of(s.first_year, s.count);
    table.counts()[i] = s.count;
    if (listing)
      write_listing_row(*listing, row + 1, table.ids()[i], table.first_years()[i], table.last_years()[i],
                        table.counts()[i]);
    ++row;
  }
  table.rows = row;
  return true;
}

std::optional<Format> other_format(const std::string& name, Format given, bool coded_only) {
  try {
    for (const FormatEntry& other : formats()) {
      if (other.format == given || (coded_only && !other.code) || !file_looks_like(name, other.format)) continue;
      if (file_looks_like(name, given)) break;
      return other.format;
    }
  } catch (const Error&) {
    // Not even a second look: no hint.
  }
  return std::nullopt;
}

bool run_job(const Job& job, RunStorage& run, Door& door) {
  if (!door.admit(job)) return false;
  Road road;
  FileUnit in(kInputUnit);
  road.input = &in;
  try {
    return travel(job, run, door, road, in);
  } catch (Error& e) {
    if (e.file.empty()) e.file = job.name;
    door.stopped(job, road, e);
  }
  return false;
}

}  // namespace ringave
