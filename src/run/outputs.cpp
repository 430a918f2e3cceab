#include "run/outputs.h"

#include <algorithm>
#include <string>
#include <utility>

#include "formats/csv.h"
#include "formats/tucson.h"
#include "records/error.h"
#include "records/outcome.h"
#include "run/plot_cores.h"
#include "run/unit_numbers.h"

namespace ringave {

namespace {

// A CSV file has a row for every year from the earliest to the latest year of
// a file's trees; trees far apart in time would make it huge and all but
// empty, so it is refused past this span.
constexpr std::int64_t kCsvYearLimit = 100000;

// A tree ID is written whole or not at all: a tree whose ID the Tucson ID
// field cannot hold fails the file before any of its outputs is opened.
class TucsonTrees final : public TreeWriter {
 public:
  void check(const TreeFile& file) const override {
    for (const Series& tree : file.trees) {
      const std::string_view id = tree.name.empty() ? tree.id.trimmed() : std::string_view(tree.name);
      const int columns = tucson_id_columns(tree);
      if (tree.count < 1 || id.size() <= static_cast<std::size_t>(columns)) continue;
      stop(ErrorCode::stop, " ",
           "tree '" + std::string(id) + "' has an ID of " + std::to_string(id.size()) +
               " characters, more than the " + std::to_string(columns) + " a Tucson ID field holds" +
               (columns < 8 ? " beside years before -999" : "") +
               "; write its file with --no-tucson --csv (or --fh)");
    }
  }
  void write(RecordSink& sink, const TreeFile& file) const override {
    const Field<6> tag("AVE   ");
    for (const Series& tree : file.trees) write_tucson_series(sink, tree, tag);
  }
};

class CsvTrees final : public TreeWriter {
 public:
  void check(const TreeFile& file) const override {
    if (csv_years(file.trees) > kCsvYearLimit)
      stop(ErrorCode::tree_years, " ",
           "the trees span " + std::to_string(csv_years(file.trees)) + " years, more than the " +
               std::to_string(kCsvYearLimit) + " a CSV file is written for");
  }
  void write(RecordSink& sink, const TreeFile& file) const override { write_tree_csv(sink, file.trees); }
};

// The picture shows the trees that are written, those with values.
class TreePicture final : public TreeWriter {
 public:
  void write(RecordSink& sink, const TreeFile& file) const override {
    PlotData picture =
        plot_data(std::string(file.input), file.rule, std::move(file.cores), file.core_trees, file.trees);
    std::erase_if(picture.trees, [](const PlotTree& t) { return t.mean.empty(); });
    write_tree_plot(sink, picture);
  }
};

// The check of the cores, a row per core.
class CheckTable final : public TreeWriter {
 public:
  void write(RecordSink& sink, const TreeFile& file) const override {
    if (file.check) write_check_csv(sink, *file.check, false);
  }
};

const TucsonTrees kTucson;
const CsvTrees kCsv;
const TreePicture kPicture;
const CheckTable kCheck;

// One line per output.
const Output kOutputs[] = {
    {&Job::output, kOutputUnit, false, kTucson},
    {&Job::csv_output, kCsvUnit, false, kCsv},
    // Before the picture, which takes the cores.
    {&Job::fh_output, kFhUnit, true, heidelberg_trees()},
    {&Job::plot_output, kPlotUnit, true, kPicture},
    {&Job::check_output, kCheckUnit, false, kCheck},
};

}  // namespace

std::span<const Output> outputs() { return kOutputs; }

const TreeWriter& tucson_trees() { return kTucson; }

bool wants_cores(const Job& job) {
  return std::any_of(std::begin(kOutputs), std::end(kOutputs),
                     [&](const Output& o) { return o.needs_cores && !(job.*o.path).empty(); });
}

std::vector<Series> tree_series(SeriesTable& table, std::int32_t rows) {
  std::vector<Series> trees(static_cast<std::size_t>(std::clamp(rows, 0, kSeriesLimit)));
  for (std::size_t i = 0; i < trees.size(); ++i) {
    trees[i].id = table.ids()[i];
    if (!table.names().empty()) trees[i].name = table.names()[i];
    trees[i].first_year = table.first_years()[i];
    trees[i].count = table.counts()[i];
    trees[i].values = table.row_values(static_cast<std::int32_t>(i));
  }
  return trees;
}

}  // namespace ringave
