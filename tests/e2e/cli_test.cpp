// The command line against the dialogue and against its own Tucson output:
// the same inputs through both front doors give the same tree files byte for
// byte, and every CSV cell is the Tucson value divided by 1000 (an empty
// cell where the Tucson file writes 0 for a year no core covers, or outside
// the tree's years).
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "test_files.h"

namespace {

namespace fs = std::filesystem;
using ringave::testing::slurp;

struct Folder : ringave::testing::ScratchFolder {
  Folder() : ScratchFolder("ringave-cli") {}
};

// Runs the program in `dir` with these arguments (quoted for the shell) and
// `answers` on standard input; returns its exit status.
int run(const fs::path& dir, const std::vector<std::string>& args, const std::string& answers = "") {
  std::ofstream(dir / ".answers") << answers;
  std::string cmd = "cd '" + dir.string() + "' && '" RINGAVE_BIN "'";
  for (const std::string& a : args) cmd += " '" + a + "'";
  cmd += " < .answers > .out 2> .err";
  const int st = std::system(cmd.c_str());
  fs::remove(dir / ".answers");
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

const fs::path kData = RINGAVE_TEST_DATA;

struct Input {
  const char* name;
  int format, first, last;
};
const Input kReal[] = {
    {"ca533.rwl", 1, 4, 5}, {"ca533_p001.rwl", 1, 4, 5}, {"ca533_cmp.cmp", 2, 4, 5}, {"wa082.rwl", 1, 4, 5},
    {"wa082_p001.rwl", 1, 4, 5}, {"wa082_cmp.cmp", 2, 4, 5}, {"nm046.rwl", 1, 4, 5}, {"nm046_p001.rwl", 1, 4, 5},
    {"nm046_cmp.cmp", 2, 4, 5}, {"anos1.rwl", 1, 6, 7}, {"anos1_p001.rwl", 1, 6, 7}, {"anos1_cmp.cmp", 2, 6, 7},
    {"gp.rwl", 1, 1, 2}, {"gp_p001.rwl", 1, 1, 2}, {"gp_cmp.cmp", 2, 1, 2},
};

std::string stem(const std::string& name) { return name.substr(0, name.rfind('.')); }

TEST(CommandLineE2E, SameTreeFilesAsTheDialogue) {
  for (const Input& in : kReal) {
    SCOPED_TRACE(in.name);
    Folder dialogue, cli;
    fs::copy_file(kData / in.name, dialogue.path / in.name);
    fs::copy_file(kData / in.name, cli.path / in.name);
    const std::string answers = "F\n" + std::string(in.name) + "\n" + std::to_string(in.format) + "\n" +
                                std::to_string(in.first) + "\n" + std::to_string(in.last) + "\n";
    ASSERT_EQ(run(dialogue.path, {}, answers), 0) << slurp(dialogue.path / ".err");
    const std::string positions = std::to_string(in.first) + "-" + std::to_string(in.last);
    ASSERT_EQ(run(cli.path, {"-t", positions, "-f", in.format == 1 ? "tucson" : "compact", in.name}), 0)
        << slurp(cli.path / ".err");
    const std::string out = stem(in.name) + "_AVE.raw";
    const std::string want = slurp(dialogue.path / out);
    EXPECT_FALSE(want.empty());
    EXPECT_TRUE(slurp(cli.path / out) == want) << out << " differs";
  }
}

// Tucson tree series as written: ID, first year, thousandths per year.
struct Tree {
  int first = 0;
  std::vector<long> values;
};

std::map<std::string, Tree> read_trees(const std::string& text) {
  std::map<std::string, Tree> trees;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    const std::string id = line.substr(0, line.find(' '));
    Tree& t = trees[id];
    if (t.values.empty()) t.first = std::stoi(line.substr(8, 4));
    for (std::size_t col = 12; col + 6 <= line.size() && col < 72; col += 6) {
      const long v = std::stol(line.substr(col, 6));
      if (v != -9999) t.values.push_back(v);
    }
  }
  return trees;
}

std::vector<std::string> cells(const std::string& line) {
  std::vector<std::string> out(1);
  for (char c : line) {
    if (c == ',') out.emplace_back();
    else out.back().push_back(c);
  }
  return out;
}

TEST(CommandLineE2E, CsvCellsAreTheTucsonValuesInMillimetres) {
  Folder dir;
  std::vector<std::string> args = {"--csv", "-t", "auto"};
  for (const Input& in : kReal) fs::copy_file(kData / in.name, dir.path / in.name), args.push_back(in.name);
  ASSERT_EQ(run(dir.path, args), 0) << slurp(dir.path / ".err");
  for (const Input& in : kReal) {
    SCOPED_TRACE(in.name);
    const std::map<std::string, Tree> trees = read_trees(slurp(dir.path / (stem(in.name) + "_AVE.raw")));
    std::istringstream csv(slurp(dir.path / (stem(in.name) + "_AVE.csv")));
    std::string line;
    std::getline(csv, line);
    const std::vector<std::string> header = cells(line);
    ASSERT_EQ(header.size(), trees.size() + 1);
    std::size_t checked = 0;
    while (std::getline(csv, line)) {
      const std::vector<std::string> row = cells(line);
      ASSERT_EQ(row.size(), header.size()) << line;
      const int year = std::stoi(row[0]);
      for (std::size_t k = 1; k < row.size(); ++k) {
        const Tree& t = trees.at(header[k]);
        const long j = year - t.first;
        const bool in_span = j >= 0 && j < static_cast<long>(t.values.size());
        if (row[k].empty()) {
          EXPECT_TRUE(!in_span || t.values[j] == 0) << header[k] << " " << year;
          continue;
        }
        ASSERT_TRUE(in_span) << header[k] << " " << year;
        const std::size_t point = row[k].find('.');
        ASSERT_EQ(row[k].size(), point + 4) << row[k];  // three decimals
        EXPECT_EQ(std::stol(row[k].substr(0, point) + row[k].substr(point + 1)), t.values[j])
            << header[k] << " " << year;
        ++checked;
      }
    }
    EXPECT_GT(checked, 100u);
  }
}

}  // namespace
