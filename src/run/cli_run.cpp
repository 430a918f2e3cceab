#include "run/cli_run.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "averaging/tree_keys.h"
#include "averaging/treemean.h"
#include "formats/registry.h"
#include "records/file_unit.h"
#include "records/outcome.h"
#include "run/check_report.h"
#include "run/cli_report.h"
#include "run/command_line.h"
#include "run/listing.h"
#include "run/outputs.h"
#include "run/pipeline.h"
#include "run/plot_cores.h"
#include "run/run_storage.h"
#include "run/tree_checks.h"

namespace ringave {

namespace {

int usage_error(Console& con, const std::string& what) {
  con.warn("ringave: " + what);
  con.warn("Try 'ringave --help'.");
  return kExitUsage;
}

std::string right(std::int64_t n, std::size_t width) {
  std::string text = std::to_string(n);
  return text.size() < width ? std::string(width - text.size(), ' ') + text : text;
}

// The command line's door: format and positions chosen per file when asked,
// trees kept by their own site codes, warnings about the grouping, every
// output written only when the whole file went well; a failure is one line
// naming the file, and the run goes on with the next.
class CliDoor final : public Door {
 public:
  CliDoor(Console& con, const CommandLine& cl, RunStorage& run) : con_(con), cl_(cl), run_(run) {}

  bool admit(const Job& job) override;
  Reporter& reporter() override { return *reporter_; }
  RecordSink* reading(const Job&, const Road&) override {
    if (!cl_.verbose) return nullptr;
    write_listing_heading(con_);
    return &con_;
  }
  TreeSites sites() const override { return TreeSites::own; }
  void grouped(const Job& job, const Road& road, SeriesTable& table, const TreePartition& trees) override;
  void averaged(const Job& job, const Road& road, SeriesTable& table) override;
  void failed(const Job& job, const Road& road, Failure failure, const std::string& detail) override;
  void bad_key(const Job& job, const Road& road, const BadKey& bad) override;
  void stopped(const Job& job, const Road& road, const Error& error) override;

  // Whether --check-strict failed the last file (its outputs not written).
  bool strict_failed() const { return strict_failed_; }

 private:
  // The error line of a failed file, then what may help: the format hint
  // (for a format that was given) and the list file's hint.
  void fail(const Job& job, const std::string& why);
  void hint_format(const Job& job);
  void write_outputs(const Job& job, const Road& road, std::span<const Series> trees);
  void show_trees(SeriesTable& table);
  std::string summary(const Job& job, const Road& road, std::size_t trees) const;

  Console& con_;
  const CommandLine& cl_;
  RunStorage& run_;
  std::optional<LineReporter> reporter_;
  std::vector<std::string> cores_;      // a dry run's whole core IDs, as read
  std::vector<std::int32_t> core_trees_;  // the tree of each core (a dry run, a picture)
  std::vector<PlotCore> plot_cores_;    // a picture's cores, as read
  std::optional<CheckReport> check_;    // the check of the cores, when asked for
  bool strict_failed_ = false;
};

bool CliDoor::admit(const Job& job) {
  reporter_.emplace(con_, job.name, cl_.verbose);
  cores_.clear();
  core_trees_.clear();
  plot_cores_.clear();
  check_.reset();
  strict_failed_ = false;
  if (job.tree_auto || job.tree_rule || positions_valid(job)) return true;
  fail(job,
       "invalid tree-number positions " + positions_text(job.key_first, job.key_last) +
           " (they must satisfy 1 <= start <= stop <= 8)");
  return false;
}

void CliDoor::fail(const Job& job, const std::string& why) {
  if (!why.empty()) con_.warn(job.name + ": error: " + why);
  if (job.format) hint_format(job);
  if (!job.list_hint.empty()) con_.warn(job.list_hint);
}

// A file that failed in the format it was given may be in the other one:
// say so when its first records look like that and not like the format it
// was given (then it failed for its own reasons, such as a title line too
// many, and the other format would not help).
void CliDoor::hint_format(const Job& job) {
  const std::optional<Format> other = other_format(job.name, *job.format, !cl_.list.empty());
  if (!other) return;
  std::string name(format_name(*other));
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  con_.warn(job.name + ": hint: the file looks like a " + std::string(format_name(*other)) + " file; give " +
            (cl_.list.empty() ? "-f " + name + " or -f auto"
                              : "format code " + std::to_string(*code_of(*other)) + " in the list file"));
}

void CliDoor::failed(const Job& job, const Road&, Failure failure, const std::string& detail) {
  switch (failure) {
    case Failure::gave_up:
      return fail(job, "");  // the reporter has named the error
    case Failure::no_format:
      return fail(job, "not a " + format_names() + " file, as far as its first lines show; give its format with -f");
    case Failure::no_series:
      return fail(job, "no series found in the file");
    case Failure::no_positions:
      return fail(job,
                  "no tree-number positions fit the series IDs convincingly: " + detail +
                      "; give them with -t START-STOP");
    case Failure::no_trees:
      return fail(job, "no tree series to write: every core is empty");
  }
}

// Every series ID must hold a tree number at the positions; the first that
// does not fails the file, named with what stands there.
void CliDoor::bad_key(const Job& job, const Road& road, const BadKey& bad) {
  if (!bad.key.plain.empty())
    return fail(job, "series '" + bad.id + "' (series " + std::to_string(bad.key.row + 1) + " of the file) " +
                         bad.key.plain);
  fail(job,
       "series '" + bad.id + "' (series " + std::to_string(bad.key.row + 1) + " of the file) holds '" + bad.key.held +
           "' at " + road.rule->place() + ", not a tree number");
}

// An error ends the file: a stop in its plain words after the line it
// concerns, where known; a fatal report of the input with the line it
// concerns.
void CliDoor::stopped(const Job& job, const Road& road, const Error& f) {
  if (!f.fatal()) {
    const std::string line = f.place.line > 0 ? "line " + std::to_string(f.place.line) + ": " : "";
    return fail(job, line + (f.plain.empty() ? "the file cannot be read on" : f.plain));
  }
  if (f.unit == con_.unit_label()) throw f;  // the console itself: the run cannot go on
  // A fault of the input names the line it has read.
  const bool input = road.input && f.unit == road.input->unit_label();
  const std::int64_t line = input && road.input->is_open() ? road.input->line() : 0;
  std::string where;
  if (f.statement == "READ" && line > 0) where = "line " + std::to_string(line) + ": ";
  if (input && f.message == kReadPastEnd && road.format == Format::compact)
    return fail(job, where + "the file ends inside the data of series '" + std::string(run_.series.id.trimmed()) + "'");
  fail(job, where + plain_words(f, "illegal character in a number"));
}

// What the trees of the file, as the positions group them, give a warning
// for: positions given with -t or in the list file that group the cores
// otherwise than the IDs suggest, and trees whose cores leave years of
// their span uncovered (often a core under the wrong tree number). From the
// IDs, first years and counts only, before the averaging. Then the copies of
// the cores a dry run or a picture needs, before the averaging rewrites
// their rows. The check of the cores, when asked for, is made here too,
// from the cores as read, each flagged core with a line of its own.
void CliDoor::grouped(const Job& job, const Road& road, SeriesTable& table, const TreePartition& trees) {
  const auto rows = static_cast<std::size_t>(table.rows);
  const std::span<const Field<8>> ids = table.ids().first(rows);
  if (!job.tree_auto && !job.tree_rule) {
    const std::string text = positions_warning(ids, trees, road.key_first, road.key_last, cl_.list.empty());
    if (!text.empty()) con_.warn(job.name + ": warning: " + text);
  }
  for (const std::string& text : gap_warnings(trees, table.first_years().first(rows), table.counts().first(rows)))
    con_.warn(job.name + ": warning: " + text);
  if (cl_.check) {
    check_ = check_table(table, trees);
    if (check_->not_made) con_.warn(job.name + ": warning: not checked: " + *check_->not_made);
    for (const std::string& text : check_warnings(*check_)) con_.warn(job.name + ": " + text);
  }
  if (cl_.dry_run) {
    const SeriesRows series = table.series_rows();
    cores_.resize(rows);
    for (std::size_t r = 0; r < rows; ++r) cores_[r] = series.whole_id(r);
  }
  if (cl_.dry_run || wants_cores(job)) core_trees_ = trees.tree;
  if (wants_cores(job) && !cl_.dry_run) {
    plot_cores_ = keep_cores(table);
    if (check_)
      for (std::size_t c = 0; c < check_->cores.size() && c < plot_cores_.size(); ++c)
        plot_cores_[c].note = check_note(check_->cores[c].check);
  }
}

void CliDoor::averaged(const Job& job, const Road& road, SeriesTable& table) {
  const std::vector<Series> trees = tree_series(table, table.rows);
  if (cl_.check_strict && check_ && misdated(*check_) > 0) {
    const std::int32_t n = misdated(*check_);
    fail(job, std::to_string(n) + (n == 1 ? " core is" : " cores are") +
                  " flagged shifted or pair and --check-strict fails the file: nothing written");
    strict_failed_ = true;
    return;
  }
  if (!cl_.dry_run) write_outputs(job, road, trees);
  // A tree of empty cores is not written.
  const auto written = std::count_if(trees.begin(), trees.end(), [](const Series& s) { return s.count > 0; });
  if (!cl_.quiet) put_text(con_, summary(job, road, static_cast<std::size_t>(written)));
  if (cl_.dry_run && !cl_.quiet) show_trees(table);
  // A dry run shows the check's rows of the flagged cores instead of writing the report.
  if (cl_.dry_run && !cl_.quiet && check_ &&
      std::any_of(check_->cores.begin(), check_->cores.end(), [](const CheckedCore& c) { return c.check.flag != Flag::ok; }))
    write_check_csv(con_, *check_, true);
}

// Every output the job names: each refused before any is opened when it
// cannot be written for these trees, then each written to a temporary file,
// and all put in place once every one is complete.
void CliDoor::write_outputs(const Job& job, const Road& road, std::span<const Series> trees) {
  const TreeFile file{job.name, *road.rule, trees, plot_cores_, core_trees_, check_ ? &*check_ : nullptr};
  std::vector<const Output*> wanted;
  for (const Output& o : outputs())
    if (!(job.*o.path).empty()) wanted.push_back(&o);
  for (const Output* o : wanted) o->writer.check(file);
  std::vector<std::unique_ptr<FileUnit>> units;
  for (const Output* o : wanted) {
    units.push_back(std::make_unique<FileUnit>(o->unit));
    units.back()->open_write(job.*o->path);
    o->writer.write(*units.back(), file);
  }
  for (const auto& unit : units) unit->close();
}

// The dry run's account: every tree with its first and last year and the
// series IDs of its cores.
void CliDoor::show_trees(SeriesTable& table) {
  for (std::int32_t t = 0; t < table.rows; ++t) {
    const auto i = static_cast<std::size_t>(t);
    if (table.counts()[i] < 1) continue;
    // The tree ID in a field of 8 columns, or wider for a longer one.
    std::string tree(table.series_rows().whole_id(i));
    tree.resize(std::max<std::size_t>(tree.size(), Field<8>::size()), ' ');
    std::string line =
        "  " + tree + right(table.first_years()[i], 6) + " " + right(table.last_years()[i], 6) + " ";
    for (std::size_t c = 0; c < cores_.size(); ++c)
      if (core_trees_[c] == t) line.append(" ").append(cores_[c]);
    con_.put(line, true);
  }
}

std::string CliDoor::summary(const Job& job, const Road& road, std::size_t trees) const {
  std::string line = job.name + ": " + std::to_string(road.series) + " series";
  if (!job.format) line += ", " + std::string(format_name(road.format)) + " (auto)";
  line += " -> " + std::to_string(trees) + (trees == 1 ? " tree" : " trees");
  if (job.tree_auto)
    line += ", tree " + (road.tag_chosen ? std::string("tag") : positions_text(road.key_first, road.key_last)) + " (auto)";
  if (check_) line += ", " + check_counts(*check_);
  if (cl_.dry_run) return line + " (dry run: nothing written)\n";
  const char* before = " -> ";
  for (const Output& o : outputs()) {
    if ((job.*o.path).empty()) continue;
    line += before + job.*o.path;
    before = ", ";
  }
  return line + "\n";
}

int run_jobs(Console& con, const CommandLine& cl) {
  std::vector<Job> jobs;
  if (!cl.list.empty()) {
    ListJobs listed = jobs_from_list(cl);
    if (listed.error) {
      con.warn(*listed.error);
      return kExitFailure;
    }
    jobs = std::move(listed.jobs);
    if (jobs.empty()) {
      con.warn(cl.list + ": no entries");
      return kExitFailure;
    }
  } else {
    jobs = jobs_from_files(cl);
  }
  if (const std::optional<std::string> clash = output_clash(jobs)) return usage_error(con, *clash);

  // All storage of the run, made once and reused for every file.
  auto run = std::make_unique<RunStorage>();
  CliDoor door(con, cl, *run);
  bool failed = false;
  for (const Job& job : jobs) failed = !run_job(job, *run, door) || door.strict_failed() || failed;
  con.flush();
  return failed ? kExitFailure : kExitClean;
}

}  // namespace

int run_command_line(int argc, const char* const* argv, Console& con) {
  try {
    CommandLine cl;
    const ParseResult parsed = parse_command_line(argc, argv, cl);
    if (parsed.what == Parsed::usage_error) return usage_error(con, parsed.error);
    if (parsed.what == Parsed::failure) {
      con.warn(parsed.error);
      con.flush();
      return kExitFailure;
    }
    if (parsed.what != Parsed::run) {
      put_text(con, parsed.what == Parsed::help ? help_text() : version_text());
      con.flush();
      return kExitClean;
    }
    return run_jobs(con, cl);
  } catch (const Error& f) {
    std::fprintf(stderr, "ringave: cannot write standard output: %s\n", f.message.c_str());
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "ringave: not enough memory\n");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ringave: %s\n", e.what());
  }
  return kExitFailure;
}

}  // namespace ringave
