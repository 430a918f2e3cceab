#include "run/cli_run.h"

#include <cstdio>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "averaging/auto_tree.h"
#include "averaging/fixed_positions.h"
#include "averaging/tree_keys.h"
#include "averaging/treemean.h"
#include "formats/csv.h"
#include "formats/auto_format.h"
#include "plot/tree_plot.h"
#include "records/file_unit.h"
#include "records/outcome.h"
#include "run/cli_report.h"
#include "run/command_line.h"
#include "run/driver.h"
#include "run/listing.h"
#include "run/plot_cores.h"
#include "run/run_storage.h"
#include "run/unit_numbers.h"

namespace ringave {

namespace {

// A CSV file has a row for every year from the earliest to the latest year of
// a file's trees; trees far apart in time would make it huge and all but
// empty, so it is refused past this span.
constexpr std::int64_t kCsvYearLimit = 100000;

int usage_error(Console& con, const std::string& what) {
  con.warn("ringave: " + what);
  con.warn("Try 'ringave --help'.");
  return kExitUsage;
}

std::string positions_text(std::int32_t first, std::int32_t last) {
  return std::to_string(first) + "-" + std::to_string(last);
}

// The command line's tree-key rule: the tree number at the file's
// positions, trees kept apart by site code.
FixedPositions tree_rule(const FileEntry& e) { return FixedPositions(e.key_first, e.key_last, TreeSites::own); }

std::string right(std::int64_t n, std::size_t width) {
  std::string text = std::to_string(n);
  return text.size() < width ? std::string(width - text.size(), ' ') + text : text;
}

// One file of the run: the driver's steps, with the command line's choices
// (format and positions chosen per file, trees kept by site code, outputs
// written only when the whole file went well) and its way of saying things.
class FileRun {
 public:
  FileRun(Console& con, const CommandLine& cl, RunStorage& run) : con_(con), cl_(cl), run_(run) {}

  // Returns false when the file failed, after an error line.
  bool process(const Job& job);

 private:
  bool attempt(const Job& job, FileEntry& e);
  void hint_format(const Job& job, std::int32_t format);
  bool fail(const Job& job, const std::string& why) {
    con_.warn(job.name + ": error: " + why);
    return false;
  }
  bool read(const Job& job, FileEntry& e, FileUnit& in, Reporter& reporter);
  bool choose_positions(const Job& job, FileEntry& e);
  bool keys_readable(const Job& job, const FileEntry& e);
  std::vector<Series> tree_series();
  void write_outputs(const Job& job, const FileEntry& e, const std::vector<Series>& trees,
                     std::vector<PlotCore> plot_cores);
  void show_trees(const std::vector<Field<8>>& cores, const FileEntry& e);
  std::string summary(const Job& job, const FileEntry& e, std::int32_t series, std::size_t trees) const;

  Console& con_;
  const CommandLine& cl_;
  RunStorage& run_;
};

bool FileRun::process(const Job& job) {
  FileEntry e{job.name, job.output, job.format, job.key_first, job.key_last};
  if (attempt(job, e)) return true;
  hint_format(job, e.format);
  return false;
}

// A file that failed in the format it was given may be in the other one:
// say so when its first records look like that.
void FileRun::hint_format(const Job& job, std::int32_t format) {
  if (job.format_auto) return;
  try {
    FileUnit file(kInputUnit);
    file.open_read(job.name);
    const FileFormat guess = guess_format(file);
    if (guess == FileFormat::neither || (guess == FileFormat::tucson) == (format == 1)) return;
    const bool tucson = guess == FileFormat::tucson;
    con_.warn(job.name + ": hint: the file looks like a " + std::string(format_name(guess)) + " file; give " +
              (cl_.list.empty() ? (tucson ? "-f tucson" : "-f compact") + std::string(" or -f auto")
                                : std::string(tucson ? "format code 1" : "format code 2") + " in the list file"));
  } catch (const FatalError&) {
    // Not even a second look: the error line has said what went wrong.
  }
}

bool FileRun::attempt(const Job& job, FileEntry& e) {
  if (!job.tree_auto && !positions_valid(e))
    return fail(job, "invalid tree-number positions " + positions_text(e.key_first, e.key_last) +
                         " (they must satisfy 1 <= start <= stop <= 8)");
  FileUnit in(kInputUnit);
  LineReporter reporter(con_, job.name, cl_.verbose);
  try {
    if (!read(job, e, in, reporter)) return false;
    const std::int32_t series = run_.table.rows;
    if (series == 0) return fail(job, "no series found in the file");
    if (job.tree_auto && !choose_positions(job, e)) return false;
    if (!keys_readable(job, e)) return false;

    std::vector<Field<8>> cores;
    if (cl_.dry_run) cores.assign(run_.table.ids().begin(), run_.table.ids().begin() + series);
    // The averaging rewrites the cores' rows: a picture needs its own copy.
    std::vector<PlotCore> plot_cores;
    if (cl_.plot && !cl_.dry_run) plot_cores = keep_cores(run_.table);
    CoreTable table = run_.table.cores();
    table.name = job.name;
    AveragingWork work = run_.work();
    run_.table.rows = treemean(table, work, tree_rule(e), reporter);
    const std::vector<Series> trees = tree_series();
    if (trees.empty()) return fail(job, "no tree series to write: every core is empty");

    if (!cl_.dry_run) write_outputs(job, e, trees, std::move(plot_cores));
    if (!cl_.quiet) put_text(con_, summary(job, e, series, trees.size()));
    if (cl_.dry_run && !cl_.quiet) show_trees(cores, e);
    return true;
  } catch (const Stop& s) {
    const std::size_t from = s.message.find_first_not_of(' ');
    return fail(job, from == std::string::npos ? "the file cannot be read on" : s.message.substr(from));
  } catch (const FatalError& f) {
    if (f.unit == "*") throw;  // the console itself: the run cannot go on
    std::string where;
    if (f.unit == "12" && f.statement == "READ" && in.line() > 0) where = "line " + std::to_string(in.line()) + ": ";
    if (f.unit == "12" && f.message == kReadPastEnd && e.format != 1)
      return fail(job, where + "the file ends inside the data of series '" +
                           std::string(run_.series.id.trimmed()) + "'");
    return fail(job, where + plain_words(f, "illegal character in a number"));
  }
}

// Opens the file, tells its format when asked to, and reads every series
// into the table.
bool FileRun::read(const Job& job, FileEntry& e, FileUnit& in, Reporter& reporter) {
  in.open_read(job.name);
  if (job.format_auto) {
    const FileFormat format = guess_format(in);
    if (format == FileFormat::neither)
      return fail(job, "neither a Tucson nor a Compact file, as far as its first lines show; "
                       "give its format with -f tucson or -f compact");
    e.format = format == FileFormat::tucson ? 1 : 2;
    in.open_read(job.name);
  }
  if (cl_.verbose) write_listing_heading(con_);
  if (!read_series(cl_.verbose ? &con_ : nullptr, run_, e, in, reporter)) return false;
  in.close();
  return true;
}

bool FileRun::choose_positions(const Job& job, FileEntry& e) {
  const TreeChoice choice = choose_tree_positions(run_.table.ids().first(static_cast<std::size_t>(run_.table.rows)));
  if (!choice.chosen())
    return fail(job, "no tree-number positions fit the series IDs convincingly: " + choice.why +
                         "; give them with -t START-STOP");
  e.key_first = choice.key_first;
  e.key_last = choice.key_last;
  return true;
}

// Every series ID must hold a tree number at the positions; the first that
// does not fails the file, named with what stands there.
bool FileRun::keys_readable(const Job& job, const FileEntry& e) {
  const FixedPositions rule = tree_rule(e);
  AveragingWork work = run_.work();
  const std::optional<UnreadableKey> bad =
      rule.keys(run_.table.ids().first(static_cast<std::size_t>(run_.table.rows)), work.keys, work.distinct);
  if (!bad) return true;
  const Field<8>& id = run_.table.ids()[static_cast<std::size_t>(bad->row)];
  return fail(job, "series '" + std::string(id.trimmed()) + "' (series " + std::to_string(bad->row + 1) +
                       " of the file) holds '" + bad->held + "' at " + rule.place() + ", not a tree number");
}

// The tree rows that hold values, as series; a tree of empty cores is not
// written.
std::vector<Series> FileRun::tree_series() {
  std::vector<Series> trees;
  for (std::int32_t t = 1; t <= run_.table.rows; ++t) {
    const auto i = static_cast<std::size_t>(t - 1);
    if (run_.table.counts()[i] < 1) continue;
    Series s;
    s.id = run_.table.ids()[i];
    s.first_year = run_.table.first_years()[i];
    s.count = run_.table.counts()[i];
    s.values = run_.table.row_values(t);
    trees.push_back(s);
  }
  return trees;
}

// The Tucson file and, with --csv, the CSV file and, with --plot, the
// picture: each written to a temporary file and put in place when complete.
// The picture shows the trees that are written, those with values.
void FileRun::write_outputs(const Job& job, const FileEntry& e, const std::vector<Series>& trees,
                            std::vector<PlotCore> plot_cores) {
  if (cl_.csv && csv_years(trees) > kCsvYearLimit)
    stop(kExitFailure, "the trees span " + std::to_string(csv_years(trees)) + " years, more than the " +
                           std::to_string(kCsvYearLimit) + " a CSV file is written for");
  FileUnit out(kOutputUnit);
  FileUnit csv(kCsvUnit);
  FileUnit svg(kPlotUnit);
  out.open_write(job.output);
  write_trees(run_.table, out);
  if (cl_.csv) {
    csv.open_write(job.csv_output);
    write_tree_csv(csv, trees);
  }
  if (cl_.plot) {
    PlotData picture = plot_data(job.name, tree_rule(e), std::move(plot_cores), run_.table, run_.table.rows);
    std::erase_if(picture.trees, [](const PlotTree& t) { return t.mean.empty(); });
    svg.open_write(job.plot_output);
    write_tree_plot(svg, picture);
  }
  out.close();
  if (cl_.csv) csv.close();
  if (cl_.plot) svg.close();
}

// The dry run's account: every tree with its first and last year and the
// series IDs of its cores.
void FileRun::show_trees(const std::vector<Field<8>>& cores, const FileEntry& e) {
  const TreePartition core_trees = partition_trees(tree_rule(e), cores);
  for (std::int32_t t = 0; t < run_.table.rows; ++t) {
    const auto i = static_cast<std::size_t>(t);
    if (run_.table.counts()[i] < 1) continue;
    const Field<8>& tree = run_.table.ids()[i];
    std::string line = "  " + tree.str() + right(run_.table.first_years()[i], 6) + " " +
                       right(run_.table.last_years()[i], 6) + " ";
    for (std::size_t c = 0; c < cores.size(); ++c)
      if (core_trees.tree[c] == t) line.append(" ").append(cores[c].trimmed());
    con_.put(line, true);
  }
}

std::string FileRun::summary(const Job& job, const FileEntry& e, std::int32_t series, std::size_t trees) const {
  std::string line = job.name + ": " + std::to_string(series) + " series";
  if (job.format_auto) line += e.format == 1 ? ", Tucson (auto)" : ", Compact (auto)";
  line += " -> " + std::to_string(trees) + (trees == 1 ? " tree" : " trees");
  if (job.tree_auto) line += ", tree " + positions_text(e.key_first, e.key_last) + " (auto)";
  if (cl_.dry_run) return line + " (dry run: nothing written)\n";
  line += " -> " + job.output;
  if (cl_.csv) line += ", " + job.csv_output;
  if (cl_.plot) line += ", " + job.plot_output;
  return line + "\n";
}

int run_jobs(Console& con, const CommandLine& cl) {
  std::vector<Job> jobs;
  if (!cl.list.empty()) {
    std::string error;
    if (!jobs_from_list(cl, jobs, error)) {
      con.warn(error);
      return kExitFailure;
    }
    if (jobs.empty()) {
      con.warn(cl.list + ": no entries");
      return kExitFailure;
    }
  } else {
    jobs = jobs_from_files(cl);
  }
  if (const std::string clash = output_clash(jobs, cl.csv, cl.plot); !clash.empty()) return usage_error(con, clash);

  // All storage of the run, made once and reused for every file.
  auto run = std::make_unique<RunStorage>();
  FileRun files(con, cl, *run);
  bool failed = false;
  for (const Job& job : jobs) failed = !files.process(job) || failed;
  con.flush();
  return failed ? kExitFailure : kExitClean;
}

}  // namespace

int run_command_line(int argc, const char* const* argv, Console& con) {
  try {
    CommandLine cl;
    const ParseResult parsed = parse_command_line(argc, argv, cl);
    if (parsed.what == Parsed::usage_error) return usage_error(con, parsed.error);
    if (parsed.what != Parsed::run) {
      put_text(con, parsed.what == Parsed::help ? help_text() : version_text());
      con.flush();
      return kExitClean;
    }
    return run_jobs(con, cl);
  } catch (const FatalError& f) {
    std::fprintf(stderr, "ringave: cannot write standard output: %s\n", f.message.c_str());
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "ringave: not enough memory\n");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ringave: %s\n", e.what());
  }
  return kExitFailure;
}

}  // namespace ringave
