#include "run/dialogue.h"

#include <cstdint>
#include <string>
#include <string_view>

#include "records/file_unit.h"
#include "records/transfer.h"
#include "run/limits.h"
#include "run/output_name.h"
#include "run/unit_numbers.h"

namespace ringave {

namespace {

void write_help(Console& con) {
  write_formatted(con, "(/1x,'Read input file names from a .lst file?')");
  write_formatted(con, "(/1x,' Answering [T]rue to this question means the program will expect to be')");
  write_formatted(con, "(1x,' given the name of a simple text file with 4 columns separated by a')");
  write_formatted(con, "(1x,' space or comma. The number or rows/files cannot exceed ',i4)", {kFileLimit});
  write_formatted(con, "(1x,' The column elements are:')");
  write_formatted(con, "(/2x,' Column 1. An input Filename',)");
  write_formatted(con, "(2x,' Column 2. The input file Format Code (1=TSF 2=Compact TRF)',)");
  write_formatted(con, "(2x,' Column 3. The Start position of every Tree number in the series ID field(1:8)',)");
  write_formatted(con, "(2x,' Column 4. The Stop position of every Tree number in the series ID field(1:8)',)");
  write_formatted(con, "(/1x,' NOTE: Program assumes ALL series come from the same site and that the site')");
  write_formatted(con, "(1x,' identifying code begins in postion 1 of the ID field and ends before the first')");
  write_formatted(con, "(1x,' position of the tree number field.')");
  write_formatted(con, "(/1x,' Example: list file = <tst.lst> Contains 3 lines followed by a carriage return')");
  write_formatted(con, "(1x,' bcc.rwl_ind1.txt 2 4 5')");
  write_formatted(con, "(1x,' fcc_ind1.txt 2 4 5')");
  write_formatted(con, "(1x,' LPSD_ALL.txt 1 2 4')");
  write_formatted(con, "(/1x,' Answering [F]alse to this question the program prompt the user an input file')");
  write_formatted(con, "(1x,' Name, and Start and End positions of the tree numbers in the ID field.')");
}

// Reads one answer. A fatal report of the read (end of the answers, a number
// that cannot be read) names the question being answered.
template <typename T>
void answer(Console& con, T& value, std::string_view question) {
  try {
    read_answer(con, value);
  } catch (Error& fatal) {
    if (fatal.statement == "READ" && fatal.where.empty()) fatal.where = "in the answer to \"" + std::string(question) + '"';
    throw;
  }
}

// The list file as a record source that counts the records taken, so that a
// fatal report can name the line it came from.
class CountingSource final : public RecordSource {
 public:
  explicit CountingSource(RecordSource& source) : source_(source) {}
  bool next(std::string_view& record) override {
    const bool got = source_.next(record);
    if (got) ++records_;
    return got;
  }
  std::string unit_label() const override { return source_.unit_label(); }
  std::int64_t records() const { return records_; }

 private:
  RecordSource& source_;
  std::int64_t records_ = 0;
};

// True when anything but blank lines is left in `source`.
bool more_than_blank_lines(RecordSource& source) {
  std::string_view record;
  while (source.next(record))
    if (record.find_first_not_of(' ') != std::string_view::npos) return true;
  return false;
}

// A named file is missing: say so, wait for RETURN and end the run. Nothing
// else happens in the run, and it ends as a failure.
[[noreturn]] void missing_file(Console& con, const Field<50>& name) {
  write_list_directed(con, "Warning");
  write_formatted(con, "(/1x,'This file ',a,' DOES NOT exist',/)", {name});
  write_formatted(con, "(1x,'Program Terminating')");
  pause(con, "Hit RETURN to Quit");
  stop(1, " ");
}

// The job of an entry as the dialogue enters it: the name up to 50
// characters, the output name made from those 50, the format its code names.
void set_job(Job& e, const Field<50>& name, std::int32_t format_code) {
  e.name = name.trimmed();
  e.output = output_name(name).trimmed();
  e.format = format_of_code(format_code);
}

void select_single_file(Console& con, FileList& files) {
  Job& e = files.entries[0];
  // An answer that supplies no value keeps what the entry held at start-up.
  e = Job{};
  std::int32_t format_code = 0;
  Field<50> name;
  write_formatted(con, "(/1x,'Enter input file name :  ',$)");
  answer(con, name, "Enter input file name :");
  if (!file_exists(name.trimmed())) missing_file(con, name);

  write_formatted(con, "(/1x,'Select input file format')");
  write_formatted(con, "(2x,'[1] TSF (Tucson raw ring width)')");
  write_formatted(con, "(2x,'[2] Compact TRF')");
  write_formatted(con, "(1x,'Enter Selection :> ',$)");
  answer(con, format_code, "Enter Selection :>");
  set_job(e, name, format_code);

  write_formatted(con, "(/1x,'For all series IDs in this file: ',a)", {name});
  write_formatted(con, "(2x,'Enter start position of the tree number >   ',$)");
  answer(con, e.key_first, "Enter start position of the tree number >");
  write_formatted(con, "(2x,'Enter stop position of the tree number  >   ',$)");
  answer(con, e.key_last, "Enter stop position of the tree number  >");
  files.count = 1;
}

void select_list_file(Console& con, FileList& files) {
  Field<50> list_name;
  write_formatted(con, "(/1x,'List- file name ==> ',$)");
  answer(con, list_name, "List- file name ==>");
  if (!file_exists(list_name.trimmed())) missing_file(con, list_name);

  FileUnit unit(kInputUnit);
  unit.open_read(list_name.trimmed());
  write_formatted(con, "(/1x,'Openning files:')");  // pinned console text, misspelling included
  read_list_entries(unit, con, files, list_name.trimmed());
  unit.close();
}

}  // namespace

void read_list_entries(RecordSource& list, RecordSink& echo, FileList& files, std::string_view list_name) {
  files.count = 0;
  files.list_name = list_name;
  files.entries_left_out = false;
  CountingSource source(list);
  for (std::int32_t i = 1; i <= kFileLimit; ++i) {
    Job& e = files.entries[static_cast<std::size_t>(i - 1)];
    // Items that an entry does not supply (a "/" ends it early) stay as
    // they were at start-up.
    e = Job{};
    Field<50> name;
    std::int32_t format_code = 0;
    Outcome got;
    try {
      got = read_list_directed(source, {name, format_code, e.key_first, e.key_last}, Handles::end_of_file);
    } catch (Error& fatal) {
      if (fatal.statement == "READ" && fatal.where.empty())
        fatal.where = "list file " + std::string(list_name) + ", line " + std::to_string(source.records());
      throw;
    }
    if (got == Outcome::end_of_file) {
      e = Job{};  // cut short by the end of the file: dropped
      return;
    }
    set_job(e, name, format_code);
    write_formatted(echo, "(1x,i4,' ',a,3(1x,i1))", {i, name, format_code, e.key_first, e.key_last});
    files.count = i;
  }
  // Lines after the last entry the list holds are not read as entries (so
  // they cannot end the run), but the run must not pass them over silently.
  files.entries_left_out = more_than_blank_lines(source);
}

void select_inputs(Console& con, FileList& files) {
  write_help(con);
  bool use_list = false;
  write_formatted(con, "(/1x,'Read input file names from a .lst file? [T]rue or [F]alse :  ',$)");
  answer(con, use_list, "Read input file names from a .lst file? [T]rue or [F]alse :");
  files.count = 0;
  files.list_name.clear();
  files.entries_left_out = false;
  if (use_list)
    select_list_file(con, files);
  else
    select_single_file(con, files);
}

DialogueReporter::DialogueReporter(Console& con) : con_(con) {}

void DialogueReporter::note(const Finding& finding) { put_text(con_, finding.records); }

void DialogueReporter::warning(const Finding& finding) { con_.warn(finding.summary); }

void DialogueReporter::file_error(const Finding& finding) {
  put_text(con_, finding.records);
  pause(con_, " ");
  stop(kExitFailure, " ");
}

}  // namespace ringave
