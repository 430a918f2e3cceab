// Helpers for the plot tests: a ring-width file read and averaged the way a
// run does it, with the cores kept for the picture; shell tools.
#pragma once

#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "averaging/fixed_positions.h"
#include "averaging/treemean.h"
#include "formats/registry.h"
#include "test_files.h"
#include "plot/tree_plot.h"
#include "records/file_unit.h"
#include "records/outcome.h"
#include "run/outputs.h"
#include "run/plot_cores.h"
#include "run/run_storage.h"

namespace ringave::testing {

// Ends the read at a file error; notes and warnings are not the plot's business.
struct FailingReporter final : Reporter {
  void note(const Finding&) override {}
  void warning(const Finding&) override {}
  void file_error(const Finding& f) override { stop(kExitFailure, f.summary); }
};

// Reads every series of `path` (format 1 Tucson, 2 Compact) into the table,
// keeps the cores, averages them with the tree number at kf..kl and returns
// the picture's data, titled with `shown`.
inline PlotData plot_of_file(const std::string& path, int format, int kf, int kl, const std::string& shown) {
  auto run = std::make_unique<RunStorage>();
  SeriesTable& t = run->table;
  Series& s = run->series;
  FailingReporter reporter;
  FileUnit in(12);
  in.open_read(path);
  const auto series = make_reader(format_of_code(format), in, reporter);
  while (series->next(s) == SeriesRead::series) {
    const auto i = static_cast<std::size_t>(t.rows++);
    t.ids()[i] = s.id, t.first_years()[i] = s.first_year, t.counts()[i] = s.count;
    t.last_years()[i] = s.first_year + s.count - 1;
    std::copy_n(s.values.begin(), s.count, t.row_values(t.rows - 1).begin());
  }
  std::vector<PlotCore> cores = keep_cores(t);
  CoreTable table = t.cores();
  AveragingWork work = run->work();
  const FixedPositions rule(kf, kl, TreeSites::first_series);
  const std::int32_t trees = treemean(table, work, rule, reporter);
  return plot_data(shown, rule, std::move(cores), tree_series(t, trees));
}

// Why `tool` cannot be run here, or empty when it can.
inline std::string missing_tool(const std::string& tool, const std::string& package) {
  if (std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0) return "";
  return tool + " is not installed (Debian package " + package + ")";
}

inline int run_shell(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace ringave::testing
