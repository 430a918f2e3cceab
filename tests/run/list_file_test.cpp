#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>

#include "records/outcome.h"

#include "records/memory_unit.h"
#include "run/dialogue.h"

namespace ringave {
namespace {

// The entries that the list file `text` gives, as "name format start stop" joined by "|" (the format
// by its code: any code but 1 is Compact, 2).
std::string read_entries(const std::string& text, MemoryUnit& echo, FileList& files) {
  MemoryUnit source(text);
  read_list_entries(source, echo, files);
  std::string out;
  for (std::int32_t i = 0; i < files.count; ++i) {
    const Job& e = files.entries[static_cast<std::size_t>(i)];
    out += (i > 0 ? "|" : "") + e.name + ">" + e.output + " " + std::to_string(*code_of(*e.format)) + " " +
           std::to_string(e.key_first) + " " + std::to_string(e.key_last);
  }
  return out;
}

// Plain entries run in scenario realdata_list; quoted names, commas and entries over lines in
// cli_list (the same parser); output names in OutputName.
TEST(ListFile, EntriesAreReadListDirected) {
  const struct { std::string text, entries; } cases[] = {
      {"a.rwl,2,4,5\nb.rwl , 1 ,4 5\n", "a.rwl>a_AVE.raw 2 4 5|b.rwl>b_AVE.raw 1 4 5"},  // commas, blanks or not
      {"data/a.rwl 1 2 4\nb.rwl 1 4 5\n", "data>data_AVE.raw 2 0 0|b.rwl>b_AVE.raw 1 4 5"},  // a slash ends the entry
      {"a.rwl 1\n\n4 5\nb.rwl 1 4 5 9 9\n", "a.rwl>a_AVE.raw 1 4 5|b.rwl>b_AVE.raw 1 4 5"},  // continued; extra items unread
      {"a.rwl 1 4 5\nb.rwl 1 4", "a.rwl>a_AVE.raw 1 4 5"},                   // cut short by the end: dropped
  };
  for (const auto& c : cases) {
    MemoryUnit echo;
    FileList files;
    EXPECT_EQ(read_entries(c.text, echo, files), c.entries) << c.text;
  }
}

// Each entry is echoed as read, a number too wide for its column as "*" (scenarios
// list_101_entries and bad_list_of_100000_lines hold the limit of 100 entries).
TEST(ListFile, EntriesEchoed) {
  MemoryUnit echo;
  FileList files;
  read_entries("f1.rwl 1 4 12\n", echo, files);
  EXPECT_EQ(echo.written(), "    1 f1.rwl" + std::string(44, ' ') + " 1 4 *\n");
}

// Anything but blank lines after the 100th entry is noted (not parsed, so it cannot end the run).
TEST(ListFile, LinesAfterTheLastEntryTakenAreNoted) {
  std::string hundred;
  for (int i = 1; i <= 100; ++i) hundred += "f.rwl 1 4 5\n";
  const struct { std::string text; bool left_out; } cases[] = {
      {hundred, false}, {hundred + "\n  \n", false}, {hundred + "g.rwl 1 4 5\n", true},
      {hundred + "\n\ngarbage / 'x\n", true}, {"f.rwl 1 4 5\n", false},
  };
  FileList files;  // one list for every case: each read starts it afresh
  for (const auto& c : cases) {
    MemoryUnit echo, source(c.text);
    read_list_entries(source, echo, files, "l.lst");
    EXPECT_EQ(std::tuple(files.entries_left_out, files.list_name), std::tuple(c.left_out, std::string("l.lst")));
  }
}

}  // namespace
}  // namespace ringave
