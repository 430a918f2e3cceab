#include "run/command_line.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <system_error>

#include "averaging/key_rules.h"
#include "formats/registry.h"
#include "records/file_unit.h"
#include "records/items.h"
#include "records/list_directed.h"
#include "records/outcome.h"
#include "run/cli_report.h"
#include "run/unit_numbers.h"

#ifndef RINGAVE_VERSION
#define RINGAVE_VERSION "unknown"
#endif

namespace ringave {

namespace fs = std::filesystem;

namespace {

// Longest name a list-file entry may give: the system's longest path.
constexpr std::int32_t kListNameLength = 4096;

bool parse_position(std::string_view text, std::int32_t& n) {
  if (text.size() != 1 || text[0] < '1' || text[0] > '8') return false;
  n = text[0] - '0';
  return true;
}

// -f's value in any case: "Tucson", "COMPACT" and "Auto" are accepted.
bool parse_format(std::string_view text, CommandLine& cl) {
  cl.format = format_of_name(text);
  if (cl.format) return true;
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower == "auto";
}

// What a bare number given to -t gets: a position alone does not say where
// the tree number ends (`-t 4 5 x.rwl` would read 5 as a file), so the
// answer shows both forms, for the position given when it is one.
std::string bare_number_error(std::string_view text) {
  std::int32_t n = 4;  // kept for 0, 9 or several digits: the example of the usual positions
  parse_position(text, n);
  const std::int32_t from = n < 8 ? n : 7;
  return "-t needs START-STOP, e.g. -t " + std::to_string(from) + "-" + std::to_string(from + 1) + " (or -t " +
         std::to_string(n) + "-" + std::to_string(n) + ")";
}

bool all_digits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// --csv-unit's value: the millimetres of one unit of a table of integers.
bool parse_csv_unit(std::string_view text, CommandLine& cl) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower == "mm") cl.read.table_unit = 1;
  else if (lower == "0.01mm") cl.read.table_unit = 0.01;
  else if (lower == "0.001mm") cl.read.table_unit = 0.001;
  else return false;
  return true;
}

// What -l does not go with among the table options, if any.
std::optional<std::string> table_options_with_list(const CommandLine& cl, bool unit_given) {
  if (cl.list.empty()) return std::nullopt;
  if (!cl.read.id_column.empty()) return "--id-column does not go with -l: list files name Tucson and Compact files";
  if (unit_given) return "--csv-unit does not go with -l: list files name Tucson and Compact files";
  return std::nullopt;
}

// The checks that the parser cannot make: which options go together, and
// the values of -t, -f, -o and --csv-unit. Returns what is wrong, if anything.
std::optional<std::string> check_combination(CommandLine& cl, const std::string& tree, const std::string& format,
                                             const std::optional<std::string>& unit) {
  if (cl.list.empty() && cl.files.empty())
    return "no input file given: name one or more FILEs (with -t), or a list file with -l";
  if (!cl.list.empty() && !cl.files.empty()) return "-l does not go with FILE arguments: give one or the other";
  if (!cl.list.empty() && cl.tree_given) return "-t does not go with -l: the list file gives each entry's positions";
  if (!cl.list.empty() && cl.format_given) return "-f does not go with -l: the list file gives each entry's format";
  if (!cl.files.empty() && !cl.tree_given) return "-t START-STOP (or -t auto) is required with FILE arguments";
  if (cl.tree_given && !names_key_rule(tree) && !parse_tree_positions(tree, cl)) {
    if (all_digits(tree)) return bare_number_error(tree);
    if (tree.find(':') != std::string::npos) return "-t '" + tree + "': no such tree-key rule; give " + key_rule_names();
    return "-t '" + tree + "': give START-STOP with 1 <= START <= STOP <= 8, or auto";
  }
  if (cl.format_given && !parse_format(format, cl))
    return "-f '" + format + "': give " + format_names(true) + ", or auto";
  if (cl.quiet && cl.verbose) return "-q and -v do not go together";
  if (std::optional<std::string> error = table_options_with_list(cl, unit.has_value())) return error;
  if (unit && !parse_csv_unit(*unit, cl)) return "--csv-unit '" + *unit + "': give mm, 0.01mm or 0.001mm";
  if (cl.no_tucson && !cl.csv && !cl.plot && !cl.fh && !cl.check && !cl.dry_run)
    return "--no-tucson leaves nothing to write: add --csv, --fh or --plot";
  for (const std::string& f : cl.files)
    if (f == "-") return "'-' is no file: ringave never reads standard input (a file named - is ./-)";
  if (cl.list == "-") return "-l '-': ringave never reads standard input (a file named - is ./-)";
  if (!cl.output_dir.empty()) {
    std::error_code ec;
    if (!fs::exists(cl.output_dir, ec)) return "-o '" + cl.output_dir + "': no such folder";
    if (!fs::is_directory(cl.output_dir, ec)) return "-o '" + cl.output_dir + "': not a folder";
  }
  return std::nullopt;
}

// The hint of a list line that begins with a name holding an unquoted '/',
// which ended the entry `name` there: the line with the name quoted ("" for
// any other line).
std::string slash_hint(const std::string& list, std::int64_t line, std::string_view record, std::string_view name) {
  const std::size_t from = record.find_first_not_of(' ');
  if (from == std::string_view::npos || record[from] == '\'' || record[from] == '"') return "";
  const std::size_t to = std::min(record.find_first_of(" ,", from), record.size());
  const std::string_view item = record.substr(from, to - from);
  const std::size_t slash = item.find('/');
  if (slash == std::string_view::npos || item.substr(0, slash) != name) return "";
  std::string quoted = "'";
  for (const char c : item) quoted.append(c == '\'' ? 2 : 1, c);  // an apostrophe inside is doubled
  quoted += '\'';
  const std::string_view rest = record.substr(to);
  quoted.append(rest.substr(0, rest.find_last_not_of(' ') + 1));
  return list + ": line " + std::to_string(line) + ": a name containing '/' must be quoted: " + quoted;
}

// Reads the list file again for the lines of the entries in `cut` (job
// index, line) and gives each whose name was cut at a '/' its hint. A list
// file that cannot be read again gets no hints.
void add_slash_hints(const std::string& name, FileUnit& list,
                     const std::vector<std::pair<std::size_t, std::int64_t>>& cut, std::vector<Job>& jobs) {
  try {
    list.open_read(name);
    std::string_view record;
    std::size_t next = 0;
    while (next < cut.size() && list.next(record)) {
      for (; next < cut.size() && cut[next].second == list.line(); ++next) {
        Job& j = jobs[cut[next].first];
        j.list_hint = slash_hint(name, list.line(), record, j.name);
      }
    }
    list.close();
  } catch (const Error&) {
  }
}

std::string canonical_name(const std::string& name) {
  std::error_code ec;
  const fs::path absolute = fs::absolute(fs::path(name), ec).lexically_normal();
  const fs::path p = fs::weakly_canonical(absolute, ec);
  return ec ? absolute.string() : p.string();
}

}  // namespace

bool parse_tree_positions(std::string_view text, CommandLine& cl) {
  if (text == "auto") {
    cl.tree_auto = true;
    return true;
  }
  std::int32_t first = 0, last = 0;
  const std::size_t dash = text.find('-');
  if (dash == std::string_view::npos) return false;  // a bare number names no stop
  if (!parse_position(text.substr(0, dash), first) || !parse_position(text.substr(dash + 1), last) || first > last)
    return false;
  cl.tree_auto = false;
  cl.key_first = first;
  cl.key_last = last;
  return true;
}

ParseResult parse_command_line(int argc, const char* const* argv, CommandLine& cl) {
  CLI::App app("ringave", "ringave");
  app.set_help_flag("-h,--help");
  app.set_version_flag("-V,--version", RINGAVE_VERSION);
  std::string tree, format;
  CLI::Option* tree_opt = app.add_option("-t,--tree", tree);
  CLI::Option* format_opt = app.add_option("-f,--format", format);
  app.add_option("-l,--list", cl.list);
  app.add_option("-o,--output-dir", cl.output_dir);
  app.add_flag("--no-tucson", cl.no_tucson);
  app.add_flag("--csv", cl.csv);
  app.add_flag("--plot", cl.plot);
  app.add_flag("--fh", cl.fh);
  app.add_flag("--chronologies", cl.read.chronologies);
  app.add_flag("--check", cl.check);
  app.add_flag("--check-strict", cl.check_strict);
  app.add_flag("-n,--dry-run", cl.dry_run);
  app.add_flag("-q,--quiet", cl.quiet);
  app.add_flag("-v,--verbose", cl.verbose);
  app.add_option("--id-column", cl.read.id_column);
  std::string unit;
  CLI::Option* unit_opt = app.add_option("--csv-unit", unit);
  app.add_option("FILE", cl.files);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    return {Parsed::help, ""};
  } catch (const CLI::CallForVersion&) {
    return {Parsed::version, ""};
  } catch (const CLI::ParseError& e) {
    return {Parsed::usage_error, e.what()};
  }
  cl.tree_given = tree_opt->count() > 0;
  cl.check = cl.check || cl.check_strict;
  cl.format_given = format_opt->count() > 0;
  const std::optional<std::string> given_unit = unit_opt->count() > 0 ? std::optional(unit) : std::nullopt;
  if (std::optional<std::string> error = check_combination(cl, tree, format, given_unit))
    return {Parsed::usage_error, std::move(*error)};
  if (cl.tree_given && names_key_rule(tree)) {
    MadeRule made = make_key_rule(tree);
    if (!made.rule) return {made.usage ? Parsed::usage_error : Parsed::failure, std::move(made.error)};
    cl.tree_rule = std::move(made.rule);
  }
  return {Parsed::run, ""};
}

// The help, in three pieces: usage and what the program does, the
// options, and the notes after them.
constexpr const char* kHelpUsage =
    "Usage: ringave [OPTIONS] -t START-STOP FILE...\n"
         "       ringave [OPTIONS] -l LISTFILE\n"
         "       ringave [OPTIONS] -t RULE FILE...\n"
         "       ringave -h | --help\n"
         "       ringave -V | --version\n"
         "       ringave            (no arguments: the question-and-answer dialogue)\n"
         "\n"
         "Averages the cores of each tree in ring-width files (Tucson, Compact,\n"
         "Heidelberg or CSV tables) and writes one series per tree to NAME_AVE.raw\n"
         "(Tucson, thousandths of a mm).\n"
         "Cores are grouped by the tree number at fixed positions of their 8-character\n"
         "series IDs; a tree is its site code (the characters before the number)\n"
         "together with its number. Other rules (-t RULE) take the tree from the whole\n"
         "ID, a map file or a regular expression; their tree IDs may be of any length.\n"
         "\n";
constexpr const char* kHelpOptions =
    "Options:\n"
         "  -t, --tree START-STOP  positions of the tree number in the series IDs, for\n"
         "                         every FILE: 1 <= START <= STOP <= 8 (one position:\n"
         "                         -t 5-5; start 1: no site code), or 'auto' to choose\n"
         "                         them per file from its IDs. Required with FILE\n"
         "                         arguments. A warning names positions that group the\n"
         "                         cores otherwise than the IDs suggest. Where no\n"
         "                         positions fit and the IDs are tags whose numbers vary\n"
         "                         in length, auto takes -t tag ('tree tag (auto)').\n"
         "  -t, --tree RULE        a tree-key rule instead of positions, for every FILE:\n"
         "        tag              tag number and core letters: 3337A, 070622B, 142220;\n"
         "                         the tree is any site letters and the number without\n"
         "                         leading zeros (030525A and 30525B: tree 30525)\n"
         "        id               every series its own tree, under its whole ID\n"
         "        column:NAME      the series' column NAME of a table (any case):\n"
         "                         -t column:tag\n"
         "        header           the header's TreeNo or TreeNumber, after its SiteCode\n"
         "        map:FILE         a CSV file with a header row series,tree[,site]: the\n"
         "                         tree of every series by its whole ID\n"
         "        pattern:REGEX    a regular expression (PCRE2) matching the whole ID,\n"
         "                         with a group named tree and optionally one named site:\n"
         "                         -t 'pattern:(?<site>[A-Z]+)-(?<tree>\\d+)-\\d+-[a-z]'\n"
         "                         A series the rule finds no tree for fails its file.\n"
         "  -f, --format FORMAT    tucson, compact, heidelberg, csv or auto (the default,\n"
         "                         in any case): auto decides per file from its content\n"
         "      --id-column NAME   the column of series IDs of a CSV table of one series\n"
         "                         per row (default: series, id, coreid, core, sample or\n"
         "                         keycode in any case, else the first column)\n"
         "      --csv-unit UNIT    mm, 0.01mm or 0.001mm: the unit of a CSV table of\n"
         "                         whole numbers (default: values in mm)\n"
         "  -l, --list LISTFILE    the files of a list file, one entry per line: name,\n"
         "                         format code (1 Tucson, 2 Compact), start, stop, a\n"
         "                         name containing '/' quoted: 'data/a.rwl' 1 4 5;\n"
         "                         not with FILE arguments, -t or -f\n"
         "  -o, --output-dir DIR   write the outputs into DIR (default: beside each input)\n"
         "      --no-tucson        write no NAME_AVE.raw (with --csv, --fh or --plot):\n"
         "                         for tree IDs longer than the Tucson ID field (8\n"
         "                         characters)\n"
         "      --csv              also write NAME_AVE.csv: year and one column per tree,\n"
         "                         in mm; an empty cell where a tree has no value\n"
         "      --plot             also write NAME_AVE.svg: a picture of every tree, its\n"
         "                         cores and its mean, ring width in mm over the years\n"
         "      --fh               also write NAME_AVE.fh: every tree as a Heidelberg\n"
         "                         HalfChrono block, thousandths of a mm and the number\n"
         "                         of cores behind each year\n"
         "      --chronologies     read a Heidelberg file's chronologies (Chrono,\n"
         "                         HalfChrono) as series instead of leaving them out\n"
         "      --check            check the dating of every core against the other trees\n"
         "                         before the averaging; write NAME_check.csv and warn\n"
         "                         of each flagged core (with -n: print the flagged rows)\n"
         "      --check-strict     --check, and a core flagged shifted or pair fails\n"
         "                         the file (nothing of it written)\n"
         "  -n, --dry-run          show each tree with its first and last year and its\n"
         "                         cores; write nothing\n"
         "  -q, --quiet            print nothing on standard output\n"
         "  -v, --verbose          also list every series as it is read\n"
         "  -h, --help             show this help and exit\n"
         "  -V, --version          show the version and exit\n"
         "\n";
constexpr const char* kHelpNotes =
    "NAME is the input's file name without its last extension. One summary line per\n"
         "file goes to standard output; warnings and errors go to standard error, one\n"
         "line each beginning with the file's name (also with -q). A tree whose cores\n"
         "leave years of its span uncovered gets a warning naming the first such years.\n"
         "A tree ID the Tucson ID field cannot hold fails its file (nothing written).\n"
         "\n"
         "Exit status: 0 every file written; 1 one or more files failed (the others are\n"
         "still written), or the map file of -t map: cannot be read; 2 usage error.\n"
         "\n"
         "Examples:\n"
         "  ringave -t 4-5 nm046.rwl\n"
         "  ringave -t auto --csv -o trees/ *.rwl *.cmp\n"
         "  ringave -n -t 6-7 anos1_p001.rwl\n"
         "  ringave -t map:trees.csv --no-tucson --csv DOEL1.fh\n"
         "  ringave -l sites.lst\n";

std::string help_text() { return std::string(kHelpUsage) + kHelpOptions + kHelpNotes; }

std::string version_text() { return std::string("ringave ") + RINGAVE_VERSION + "\n"; }

std::string cli_output_name(const std::string& input, const std::string& dir, std::string_view suffix) {
  const fs::path in(input);
  const std::string name = in.stem().string() + std::string(suffix);
  const fs::path folder = dir.empty() ? in.parent_path() : fs::path(dir);
  return folder.empty() ? name : (folder / name).string();
}

std::vector<Job> jobs_from_files(const CommandLine& cl) {
  std::vector<Job> jobs;
  for (const std::string& f : cl.files) {
    Job j;
    j.name = f;
    if (!cl.no_tucson) j.output = cli_output_name(f, cl.output_dir, "_AVE.raw");
    if (cl.csv) j.csv_output = cli_output_name(f, cl.output_dir, "_AVE.csv");
    if (cl.plot) j.plot_output = cli_output_name(f, cl.output_dir, "_AVE.svg");
    if (cl.fh) j.fh_output = cli_output_name(f, cl.output_dir, "_AVE.fh");
    if (cl.check) j.check_output = cli_output_name(f, cl.output_dir, "_check.csv");
    j.format = cl.format;
    j.read = cl.read;
    j.tree_auto = cl.tree_auto;
    j.key_first = cl.key_first;
    j.key_last = cl.key_last;
    j.tree_rule = cl.tree_rule;
    jobs.push_back(std::move(j));
  }
  return jobs;
}

ListJobs jobs_from_list(const CommandLine& cl) {
  ListJobs read;
  std::vector<Job>& jobs = read.jobs;
  FileUnit list(kInputUnit);
  std::string name(static_cast<std::size_t>(kListNameLength), ' ');
  // Entries that supplied nothing after their name, with the line it ended on.
  std::vector<std::pair<std::size_t, std::int64_t>> cut;
  try {
    list.open_read(cl.list);
    for (;;) {
      // Items that an entry does not supply (a "/" ends it early) are 0.
      Job j;
      std::int32_t code = 0;
      name.assign(name.size(), ' ');
      if (read_list_directed(list, {CharRun{name.data(), kListNameLength}, code, j.key_first, j.key_last},
                             Handles::end_of_file) == Outcome::end_of_file)
        break;  // an entry cut short by the end of the file is dropped
      j.name = name.substr(0, name.find_last_not_of(' ') + 1);
      j.format = format_of_code(code);
      if (!cl.no_tucson) j.output = cli_output_name(j.name, cl.output_dir, "_AVE.raw");
      if (cl.csv) j.csv_output = cli_output_name(j.name, cl.output_dir, "_AVE.csv");
      if (cl.plot) j.plot_output = cli_output_name(j.name, cl.output_dir, "_AVE.svg");
      if (cl.fh) j.fh_output = cli_output_name(j.name, cl.output_dir, "_AVE.fh");
      j.read = cl.read;
      if (cl.check) j.check_output = cli_output_name(j.name, cl.output_dir, "_check.csv");
      if (code == 0 && j.key_first == 0 && j.key_last == 0) cut.emplace_back(jobs.size(), list.line());
      jobs.push_back(std::move(j));
    }
    if (!cut.empty()) add_slash_hints(cl.list, list, cut, jobs);
  } catch (const Error& f) {
    read.error = cl.list + ": " + (list.line() > 0 ? "line " + std::to_string(list.line()) + ": " : "") +
                 plain_words(f, "an item that must be a number is not one");
  }
  return read;
}

std::optional<std::string> output_clash(const std::vector<Job>& jobs) {
  std::map<std::string, const Job*> inputs, outputs;
  for (const Job& j : jobs) inputs.emplace(canonical_name(j.name), &j);
  for (const Job& j : jobs) {
    for (const std::string* out : {&j.output, &j.csv_output, &j.fh_output, &j.plot_output, &j.check_output}) {
      if (out->empty()) continue;
      const std::string key = canonical_name(*out);
      if (const auto in = inputs.find(key); in != inputs.end())
        return "the output " + *out + " of " + j.name + " would replace the input " + in->second->name;
      if (const auto [at, fresh] = outputs.emplace(key, &j); !fresh)
        return at->second->name + " and " + j.name + " would both write " + *out;
    }
  }
  return std::nullopt;
}

}  // namespace ringave
