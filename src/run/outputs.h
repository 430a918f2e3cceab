// The outputs made from a file's trees: each written by a TreeWriter and
// registered in one table (outputs.cpp) with the job's name for its file and
// its unit. The command line writes every output a job names, through one
// loop; the dialogue writes the Tucson file only, through the same writer.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "averaging/key_rule.h"
#include "formats/series.h"
#include "plot/tree_plot.h"
#include "records/record_io.h"
#include "run/check_report.h"
#include "run/job.h"
#include "run/series_table.h"

namespace ringave {

// A file's trees, as every output is written from them.
struct TreeFile {
  std::string_view input;         // the input file's name, as the user gave it
  const KeyRule& rule;            // the rule that grouped its cores into trees
  std::span<const Series> trees;  // every tree in output order; one of empty cores has count 0
  // The cores as read, kept before the averaging when an output needs_cores
  // (else empty); the output that draws them takes them.
  std::vector<PlotCore>& cores;
  // The tree of each of `cores` (as the trees are numbered), when they are kept.
  std::span<const std::int32_t> core_trees = {};
  // The check of the cores, when the job asks for it (else null).
  const CheckReport* check = nullptr;
};

class TreeWriter {
 public:
  virtual ~TreeWriter() = default;
  // Before any output of the file is opened: stops the run for trees this
  // output cannot be written for.
  virtual void check(const TreeFile&) const {}
  // Writes the output to `sink`. Fatal reports: failures of `sink`.
  virtual void write(RecordSink& sink, const TreeFile& file) const = 0;
};

struct Output {
  std::string Job::*path;  // the job's name for the file; empty: not asked for
  int unit;                // its unit number (unit_numbers.h)
  bool needs_cores;        // the cores are kept for it before the averaging
  const TreeWriter& writer;
};

// Every output, in the order the command line writes and names them.
std::span<const Output> outputs();

// The tree series in the Tucson format, with the tag every tree series
// carries: the dialogue's one output.
const TreeWriter& tucson_trees();

// The tree series as Heidelberg HalfChrono blocks, each naming its cores
// and giving how many of them have a value in each year (needs the cores;
// heidelberg_trees.cpp).
const TreeWriter& heidelberg_trees();

// Whether an output `job` asks for needs the cores.
bool wants_cores(const Job& job);

// Rows 0 .. rows-1 of `table` as series, each viewing its table row.
std::vector<Series> tree_series(SeriesTable& table, std::int32_t rows);

}  // namespace ringave
