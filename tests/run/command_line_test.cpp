#include "run/command_line.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace ringave {
namespace {

ParseResult parse(std::vector<const char*> args, CommandLine& cl) {
  args.insert(args.begin(), "ringave");
  return parse_command_line(static_cast<int>(args.size()), args.data(), cl);
}

// What each argument list parses to: the outcome, and for a usage error a part of its message
// (the scenarios cli_usage_* (-t 8 and -t 9 alone among them), cli_help*, cli_version* and
// cli_tree_single_position run the rest).
TEST(CommandLineTest, ParseOutcomes) {
  const struct { std::vector<const char*> args; Parsed want; const char* error; } cases[] = {
      {{"-l", "sites.lst", "-v"}, Parsed::run, ""},
      {{"-t", "4-", "a.rwl"}, Parsed::usage_error, "-t '4-'"},
  };
  for (const auto& c : cases) {
    CommandLine cl;
    const ParseResult got = parse(c.args, cl);
    EXPECT_EQ(got.what, c.want) << c.args[0] << " " << got.error;
    EXPECT_NE(got.error.find(c.error), std::string::npos) << got.error;
  }
}

// Positions as text: "" where they do not parse.
TEST(CommandLineTest, TreePositions) {
  const std::pair<const char*, const char*> cases[] = {
      {"4-5", "4-5"}, {"1-8", "1-8"}, {"8-8", "8-8"}, {"auto", "auto"}, {"5", ""}, {"5-4", ""}, {"0-2", ""}, {"4-9", ""},
      {"4-", ""}, {"-5", ""}, {"45", ""}, {"4 - 5", ""}, {"", ""}, {"AUTO", ""}, {"04-05", ""}};
  for (const auto& [text, want] : cases) {
    CommandLine cl;
    const bool ok = parse_tree_positions(text, cl);
    EXPECT_EQ(!ok ? "" : cl.tree_auto ? "auto" : std::to_string(cl.key_first) + "-" + std::to_string(cl.key_last), want) << text;
  }
}

// The file name without its last extension, in the input's folder or the output folder (the
// scenarios cli_output_names, cli_output_dir and cli_list name the common outputs).
TEST(CommandLineTest, OutputNames) {
  const std::string long_name(300, 'n');
  EXPECT_EQ(cli_output_name("a.b.c", "", "_AVE.raw"), "a.b_AVE.raw");
  EXPECT_EQ(cli_output_name("/x/y/site.rwl", "", "_AVE.raw"), "/x/y/site_AVE.raw");
  EXPECT_EQ(cli_output_name(long_name, "", "_AVE.raw"), long_name + "_AVE.raw");  // names of any length
}

// Outputs that would meet (the scenarios cli_usage_*_output_is_input and cli_usage_same_output
// hold the plain cases).
TEST(CommandLineTest, OutputsThatClash) {
  const auto clash = [](std::vector<const char*> files, bool csv, bool plot = false, const char* dir = "") {
    CommandLine cl;
    for (const char* f : files) cl.files.push_back(f);
    cl.output_dir = dir;
    cl.csv = csv;
    cl.plot = plot;
    return output_clash(jobs_from_files(cl)).value_or("");
  };
  EXPECT_EQ(clash({"a.rwl", "b.rwl", "d/a.rwl"}, true), "");
  EXPECT_EQ(clash({"a.rwl", "./a.rwl"}, false), "a.rwl and ./a.rwl would both write ./a_AVE.raw");
  EXPECT_EQ(clash({"a.rwl", "d/a.rwl"}, false, false, "o"), "a.rwl and d/a.rwl would both write o/a_AVE.raw");
  EXPECT_EQ(clash({"a.rwl", "a_AVE.csv"}, false), "");
  EXPECT_NE(clash({"a.rwl", "a_AVE.csv"}, true), "");
  EXPECT_EQ(clash({"a.rwl", "a_AVE.svg"}, true), "");
}

// A list file's entries with the dialogue's parser, any number of them (scenarios cli_list and
// cli_list_line_does_not_parse hold quoted names, commas, entries over lines and a line that
// does not parse).
TEST(CommandLineTest, ListFileEntries) {
  const std::filesystem::path list = std::filesystem::temp_directory_path() / ("ringave-list-" + std::to_string(getpid()) + ".lst");
  std::string text;
  for (int i = 0; i < 149; ++i) text += "s" + std::to_string(i) + ".rwl 1 4 5\n";
  text += "s149.rwl /\n";  // items not supplied are 0, as in the dialogue
  std::ofstream(list) << text;
  CommandLine cl;
  cl.list = list.string();
  ListJobs read = jobs_from_list(cl);
  ASSERT_FALSE(read.error) << *read.error;
  const std::vector<Job>& jobs = read.jobs;
  ASSERT_EQ(jobs.size(), 150u);
  EXPECT_EQ(std::tuple(jobs[0].output, jobs[0].format, jobs[0].key_first, jobs[0].key_last),
            std::tuple("s0_AVE.raw", Format::tucson, 4, 5));
  EXPECT_EQ(std::tuple(jobs[149].name, jobs[149].format, jobs[149].key_first, jobs[149].key_last),
            std::tuple("s149.rwl", Format::compact, 0, 0));
  std::filesystem::remove(list);
}

}  // namespace
}  // namespace ringave
