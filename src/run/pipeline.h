// The road of one input file, the same whichever front door a job came in
// by: open the file (telling its format from its first records when the job
// does not give it), read every series into the series table, take the tree
// keys from the series IDs, average the cores of each tree, and hand the tree
// series to the door to write.
//
// What differs between the doors is the door's (Door): the checks before
// the file is opened, what the console shows and when output files are
// opened, the trees' site-code rule, the outputs written, and how a failure
// ends: the dialogue shows a skip message or ends the run, the command line
// writes one line and goes on with the next file.
#pragma once

#include <cstdint>
#include <string>

#include "averaging/fixed_positions.h"
#include "averaging/key_rule.h"
#include "averaging/tree_keys.h"
#include "averaging/treemean.h"
#include "formats/format.h"
#include "records/file_unit.h"
#include "records/outcome.h"
#include "records/record_io.h"
#include "records/reporter.h"
#include "run/job.h"
#include "run/run_storage.h"

namespace ringave {

// How far the road got, and what it knows of the file so far.
struct Road {
  enum class Stage { opening, reading, grouping, averaging, writing };
  Stage stage = Stage::opening;
  Format format = Format::tucson;  // given by the job, or told from the file
  std::int32_t key_first = 0;      // given by the job, or chosen from the IDs
  std::int32_t key_last = 0;
  bool tag_chosen = false;         // the job left the rule open and the IDs' tags were chosen
  const KeyRule* rule = nullptr;   // the file's tree-key rule, once known
  std::int32_t series = 0;    // series read from the file
  std::int32_t trees = 0;     // tree rows of the table after the averaging
  const FileUnit* input = nullptr;  // the input while it is open: its line count
};

// A series whose tree key the road's rule cannot read: the rule's account
// (row from 0, what the key's place holds, the failed read or the plain
// words) and the series' whole ID.
struct BadKey {
  UnreadableKey key;
  std::string id;
};

// Why the road of a job ended before its outputs were written.
enum class Failure {
  gave_up,       // a reader gave the file up after a file error its reporter let pass
  no_format,     // the job left the format open and the file is neither format
  no_series,     // the file holds no series
  no_positions,  // the job left the rule open and neither positions nor tags fit the IDs convincingly
  no_trees,      // no tree of the file holds a value
};

class Door {
 public:
  virtual ~Door() = default;

  // Before the input is opened. False skips the job; the door has said why.
  virtual bool admit(const Job& job) = 0;

  // Where the file's findings go; valid from admit() to the end of the job.
  virtual Reporter& reporter() = 0;

  // The input is open and its format known: the door may open its outputs
  // and show a heading. Returns the sink that lists each series as read, or
  // null for no listing.
  virtual RecordSink* reading(const Job& job, const Road& road) = 0;

  // Which site code the door's trees take.
  virtual TreeSites sites() const = 0;

  // Every series ID has its tree by the road's rule (`trees`, numbered as
  // the averaging numbers them): the door may check the grouping and keep
  // what it needs of the cores before the averaging rewrites their rows.
  virtual void grouped(const Job& job, const Road& road, SeriesTable& table, const TreePartition& trees) = 0;

  // The trees are in rows 0 .. road.trees-1 of the table, at least one with
  // values: the door writes what the job asks for.
  virtual void averaged(const Job& job, const Road& road, SeriesTable& table) = 0;

  // The road ended early; `detail` gives the reason for no_positions. The
  // door says so in its own way, or throws to end the run.
  virtual void failed(const Job& job, const Road& road, Failure failure, const std::string& detail) = 0;

  // A series ID holds no tree key by the road's rule: the door says so, or
  // throws to end the run; the road ends there.
  virtual void bad_key(const Job& job, const Road& road, const BadKey& bad) = 0;

  // An error (a stop or a fatal report) ended the road: the door says so and
  // goes on (the command line), or throws it on to end the run (the dialogue).
  virtual void stopped(const Job& job, const Road& road, const Error& error) = 0;
};

// Takes `job` along the road in `run`'s storage with `door`'s choices.
// Returns true when the door was handed tree series to write, false when
// the job was skipped or failed (the door has said why). Throws what the
// door throws.
bool run_job(const Job& job, RunStorage& run, Door& door);

// Reads every series of the open input `in` in `format` into table rows
// 0.. and sets the row count, writing a listing row for each (numbered from
// 1) to `listing` unless it is null. Returns false when the reporter let the
// run go on after a file error (the file is given up). Stops (status 1,
// naming the file `name` or the series): more series or values than the
// table holds; and whatever the readers stop or report fatally.
bool read_series(RecordSink* listing, RunStorage& run, const std::string& name, Format format, Unit& in,
                 Reporter& reporter, const ReadOptions& options = {});

// The format the file `name` looks like when it failed in `given`: the first
// other format whose second look its first records pass, when they do not
// pass `given`'s; none otherwise, also when the file cannot be looked at
// again. With `coded_only` (the dialogue, list files) only formats with a
// format code are named: a hint never points to a format the entry cannot
// choose.
std::optional<Format> other_format(const std::string& name, Format given, bool coded_only = false);

}  // namespace ringave
