#include "run/driver.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <optional>

#include "records/file_unit.h"
#include "records/outcome.h"
#include "records/transfer.h"
#include "run/dialogue.h"
#include "run/limits.h"
#include "run/listing.h"
#include "run/outputs.h"
#include "run/pipeline.h"
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
// under any name does not replace them. Each is held open, so that its inode
// cannot be freed and given to another file (another run may replace it
// meanwhile) while this run compares against it.
class WrittenOutputs {
 public:
  WrittenOutputs() = default;
  WrittenOutputs(const WrittenOutputs&) = delete;
  WrittenOutputs& operator=(const WrittenOutputs&) = delete;
  ~WrittenOutputs() {
    for (const Held& h : held_) ::close(h.fd);
  }

  bool holds(const std::string& name) const {
    struct stat st {};
    if (::stat(name.c_str(), &st) != 0) return false;
    return std::any_of(held_.begin(), held_.end(),
                       [&](const Held& h) { return h.dev == st.st_dev && h.ino == st.st_ino; });
  }
  void add(const std::string& name) {
    const int fd = ::open(name.c_str(), O_PATH | O_CLOEXEC);
    struct stat st {};
    if (fd < 0) return;
    if (::fstat(fd, &st) != 0) {
      ::close(fd);
      return;
    }
    held_.push_back({fd, st.st_dev, st.st_ino});
  }

 private:
  struct Held {
    int fd;
    dev_t dev;
    ino_t ino;
  };
  std::vector<Held> held_;
};

// The dialogue's door: each entry's skip messages, "READING INPUT FILE"
// with the listing of every series, trees under the first series' site
// code, the output opened before the file is read and written when the
// trees are averaged; a stop or a fatal report ends the run.
class DialogueDoor final : public Door {
 public:
  DialogueDoor(Console& con, Reporter& front_door) : con_(con), front_door_(front_door) {}

  bool admit(const Job& job) override;
  Reporter& reporter() override { return *reporter_; }
  RecordSink* reading(const Job& job, const Road& road) override;
  TreeSites sites() const override { return TreeSites::first_series; }
  void grouped(const Job&, const Road&, SeriesTable&, const TreePartition&) override {}
  void averaged(const Job& job, const Road& road, SeriesTable& table) override;
  void failed(const Job& job, const Road& road, Failure failure, const std::string& detail) override;
  void bad_key(const Job& job, const Road& road, const BadKey& bad) override;
  void stopped(const Job& job, const Road& road, const Error& error) override;

 private:
  // After an entry that gave no tree series or that a reader gave up on:
  // when the file looks like the other format and not like its own, name
  // the format code to use. A file that looks like its own format failed for
  // its own reasons (a title line too many, a bad layout), and the other
  // code would not help.
  void hint_format(const Job& job) {
    const std::optional<Format> other = other_format(job.name, *job.format, true);
    if (!other) return;
    const std::string text = "this looks like a " + std::string(format_name(*other)) +
                             " file: its format code is " + std::to_string(*code_of(*other));
    reporter_->warning({text, text + "\n"});
  }

  Console& con_;
  Reporter& front_door_;
  std::optional<NamedReporter> reporter_;
  std::optional<FileUnit> out_;
  WrittenOutputs written_;
};

bool DialogueDoor::admit(const Job& job) {
  const std::string name_text = shown(job.name);
  const std::string_view name = name_text;
  if (!file_exists(job.name)) {
    write_formatted(con_, "(/1x,'File not found > ',a)", {name});
    return false;
  }
  if (!positions_valid(job)) {
    write_formatted(con_, "(/1x,'Invalid tree number positions > ',a)", {name});
    return false;
  }
  // The output would take the place of the input. (Another name for the
  // same file cannot harm it: the output replaces its directory entry when
  // the unit is closed, and never writes into the file.)
  if (job.output == job.name) {
    write_formatted(con_, "(/1x,'Output file would replace input > ',a)", {name});
    return false;
  }
  // An earlier entry of this run wrote its tree series there: replacing them
  // would lose that entry's trees.
  if (written_.holds(job.output)) {
    write_formatted(con_, "(/1x,'Output file already written in this run > ',a)", {name});
    return false;
  }
  // Every finding about this file names it.
  reporter_.emplace(front_door_, job.name);
  return true;
}

RecordSink* DialogueDoor::reading(const Job& job, const Road&) {
  // The output exists from here on, empty when new. It receives its records
  // only after the whole input is read, and they replace an existing file's
  // contents only when the unit is closed; a unit not closed leaves them.
  out_.emplace(kOutputUnit);
  out_->open_write(job.output);
  const std::string name = shown(job.name);
  write_formatted(con_, "(/1x,'READING INPUT FILE :> ',a)", {std::string_view(name)});
  write_listing_heading(con_);
  return &con_;
}

void DialogueDoor::averaged(const Job& job, const Road& road, SeriesTable& table) {
  const std::vector<Series> trees = tree_series(table, table.rows);
  std::vector<PlotCore> no_cores;
  tucson_trees().write(*out_, {job.name, *road.rule, trees, no_cores});
  out_->close();
  out_.reset();
  written_.add(job.output);
}

void DialogueDoor::failed(const Job& job, const Road&, Failure failure, const std::string&) {
  if (failure == Failure::no_series || failure == Failure::no_trees) {
    out_->close();
    const std::string text = "no tree series: nothing written to " + job.output;
    reporter_->warning({text, text + "\n"});
  }
  out_.reset();  // an output not closed keeps the file as it was
  hint_format(job);
}

// The record layer's fatal report of the key's read, its fourth line naming
// the file, the series, the positions and what they hold.
void DialogueDoor::bad_key(const Job& job, const Road& road, const BadKey& bad) {
  Error report = bad.key;
  report.where = job.name + ", series " + std::to_string(bad.key.row + 1) + " \"" + bad.id + "\": tree number " +
                 road.rule->place() + " hold \"" + bad.key.held + "\"";
  throw report;
}

void DialogueDoor::stopped(const Job& job, const Road& road, const Error& error) {
  // A reader's stop gets the format hint first; a fatal report none.
  if (!error.fatal() && road.stage == Road::Stage::reading) hint_format(job);
  throw error;
}

}  // namespace

int drive(Console& con, RunStorage& run) {
  DialogueReporter reporter(con);
  DialogueDoor door(con, reporter);
  write_banner(con);
  select_inputs(con, run.files);

  bool skipped = false;
  if (run.files.entries_left_out) {
    const std::string text = run.files.list_name + ": more than " + std::to_string(kFileLimit) +
                             " entries; the lines after entry " + std::to_string(kFileLimit) + " were left out";
    reporter.warning({text, text + "\n"});
    skipped = true;
  }
  for (std::int32_t k = 0; k < run.files.count; ++k) {
    if (!run_job(run.files.entries[static_cast<std::size_t>(k)], run, door)) skipped = true;
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
