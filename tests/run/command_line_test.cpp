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

// What each argument list parses to: the outcome, and for a usage error a part of its message.
TEST(CommandLineTest, ParseOutcomes) {
  const struct { std::vector<const char*> args; Parsed want; const char* error; } cases[] = {
      {{"-t", "4-5", "a.rwl"}, Parsed::run, ""},
      {{"--tree=4-5", "a.rwl", "b.cmp"}, Parsed::run, ""},
      {{"-t5", "a.rwl"}, Parsed::usage_error, "-t needs START-STOP, e.g. -t 5-6 (or -t 5-5)"},
      {{"-t", "8", "a.rwl"}, Parsed::usage_error, "e.g. -t 7-8 (or -t 8-8)"},
      {{"-t", "auto", "-f", "COMPACT", "--csv", "-n", "-q", "a.rwl"}, Parsed::run, ""},
      {{"-l", "sites.lst", "-v"}, Parsed::run, ""},
      {{"-t", "4-5", "--", "-a.rwl"}, Parsed::run, ""},
      {{"-h"}, Parsed::help, ""},
      {{"-t", "4-5", "--help", "a.rwl"}, Parsed::help, ""},
      {{"-V"}, Parsed::version, ""},
      {{"-x", "a.rwl"}, Parsed::usage_error, "-x"},
      {{"a.rwl"}, Parsed::usage_error, "-t START-STOP (or -t auto) is required"},
      {{"-t", "4-5"}, Parsed::usage_error, "no input file"},
      {{"-t", "9", "a.rwl"}, Parsed::usage_error, "-t needs START-STOP, e.g. -t 4-5 (or -t 4-4)"},
      {{"-t", "4-", "a.rwl"}, Parsed::usage_error, "-t '4-'"},
      {{"-t", "4-5", "-f", "cmp", "a.rwl"}, Parsed::usage_error, "-f 'cmp'"},
      {{"-l", "s.lst", "a.rwl"}, Parsed::usage_error, "-l does not go with FILE"},
      {{"-l", "s.lst", "-t", "auto"}, Parsed::usage_error, "-t does not go with -l"},
      {{"-l", "s.lst", "-f", "auto"}, Parsed::usage_error, "-f does not go with -l"},
      {{"-q", "-v", "-l", "s.lst"}, Parsed::usage_error, "-q and -v"},
      {{"-t", "4-5", "-"}, Parsed::usage_error, "'-' is no file"},
      {{"-o", "/nonexistent-folder", "-t", "4-5", "a.rwl"}, Parsed::usage_error, "no such folder"},
  };
  for (const auto& c : cases) {
    CommandLine cl;
    const ParseResult got = parse(c.args, cl);
    EXPECT_EQ(got.what, c.want) << c.args[0] << " " << got.error;
    EXPECT_NE(got.error.find(c.error), std::string::npos) << got.error;
  }
}

TEST(CommandLineTest, TreePositions) {
  const struct { const char* text; bool ok, automatic; std::int32_t first, last; } cases[] = {
      {"4-5", true, false, 4, 5}, {"5", false, false, 0, 0}, {"1-8", true, false, 1, 8}, {"auto", true, true, 0, 0},
      {"8-8", true, false, 8, 8}, {"5-4", false, false, 0, 0}, {"0-2", false, false, 0, 0}, {"4-9", false, false, 0, 0}, {"4-", false, false, 0, 0}, {"-5", false, false, 0, 0},
      {"45", false, false, 0, 0}, {"4 - 5", false, false, 0, 0}, {"", false, false, 0, 0}, {"AUTO", false, false, 0, 0}, {"04-05", false, false, 0, 0},
  };
  for (const auto& c : cases) {
    CommandLine cl;
    ASSERT_EQ(parse_tree_positions(c.text, cl), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(std::tuple(cl.tree_auto, cl.key_first, cl.key_last), std::tuple(c.automatic, c.first, c.last));
    }
  }
}

// The file name without its last extension, in the input's folder or the output folder.
TEST(CommandLineTest, OutputNames) {
  const std::string long_name(300, 'n');
  const struct { const char *input, *dir, *output; } cases[] = {
      {"data.v2/nm046.rwl", "", "data.v2/nm046_AVE.raw"}, {"my cores.rwl", "", "my cores_AVE.raw"},
      {"ca533", "", "ca533_AVE.raw"}, {"a.b.c", "", "a.b_AVE.raw"}, {"/x/y/site.rwl", "", "/x/y/site_AVE.raw"},
      {"data.v2/nm046.rwl", "out", "out/nm046_AVE.raw"}, {"nm046.rwl", "out/", "out/nm046_AVE.raw"},
      {long_name.c_str(), "", nullptr},
  };
  for (const auto& c : cases) {
    const std::string got = cli_output_name(c.input, c.dir, "_AVE.raw");
    if (c.output) EXPECT_EQ(got, c.output) << c.input;
    else EXPECT_EQ(got, std::string(c.input) + "_AVE.raw");  // names of any length
  }
}

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
  EXPECT_EQ(clash({"a.rwl", "a.txt"}, false), "a.rwl and a.txt would both write a_AVE.raw");
  EXPECT_EQ(clash({"a.rwl", "./a.rwl"}, false), "a.rwl and ./a.rwl would both write ./a_AVE.raw");
  EXPECT_EQ(clash({"a.rwl", "d/a.rwl"}, false, false, "o"), "a.rwl and d/a.rwl would both write o/a_AVE.raw");
  EXPECT_EQ(clash({"a_AVE.raw", "a.rwl"}, false), "the output a_AVE.raw of a.rwl would replace the input a_AVE.raw");
  EXPECT_EQ(clash({"a.rwl", "a_AVE.csv"}, false), "");
  EXPECT_NE(clash({"a.rwl", "a_AVE.csv"}, true), "");
  EXPECT_EQ(clash({"a.rwl", "a_AVE.svg"}, true), "");
  EXPECT_EQ(clash({"a.rwl", "a_AVE.svg"}, false, true),
            "the output a_AVE.svg of a.rwl would replace the input a_AVE.svg");
}

// A list file's entries with the dialogue's parser, any number of them, and
// a line that does not parse named with its line.
TEST(CommandLineTest, ListFileEntries) {
  const std::filesystem::path list = std::filesystem::temp_directory_path() / ("ringave-list-" + std::to_string(getpid()) + ".lst");
  std::string text = "'data v2/a.rwl',2,1,2\n\nb.rwl 1 4\n 5\n";
  for (int i = 0; i < 149; ++i) text += "s" + std::to_string(i) + ".rwl 1 4 5\n";
  text += "s149.rwl /\n";  // items not supplied are 0, as in the dialogue
  std::ofstream(list) << text;
  CommandLine cl;
  cl.list = list.string();
  ListJobs read = jobs_from_list(cl);
  ASSERT_FALSE(read.error) << *read.error;
  const std::vector<Job>& jobs = read.jobs;
  ASSERT_EQ(jobs.size(), 152u);
  EXPECT_EQ(std::tuple(jobs[0].name, jobs[0].output, jobs[0].format, jobs[0].key_first, jobs[0].key_last),
            std::tuple("data v2/a.rwl", "data v2/a_AVE.raw", Format::compact, 1, 2));
  EXPECT_EQ(std::tuple(jobs[1].name, jobs[1].key_last, jobs[151].name), std::tuple("b.rwl", 5, "s149.rwl"));
  EXPECT_EQ(std::tuple(jobs[151].format, jobs[151].key_first, jobs[151].key_last), std::tuple(Format::compact, 0, 0));
  std::ofstream(list) << "a.rwl 1 4 5\nb.rwl x 4 5\n";
  EXPECT_EQ(jobs_from_list(cl).error, cl.list + ": line 2: an item that must be a number is not one");
  std::filesystem::remove(list);
}

}  // namespace
}  // namespace ringave
