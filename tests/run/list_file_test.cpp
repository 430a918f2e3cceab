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
    out += (i > 0 ? "|" : "") + e.name + ">" + e.output + " " + std::to_string(code_of(*e.format)) + " " +
           std::to_string(e.key_first) + " " + std::to_string(e.key_last);
  }
  return out;
}

TEST(ListFile, EntriesAreReadListDirected) {
  const struct { std::string text, entries; } cases[] = {
      {"bcc.rwl_ind1.txt 2 4 5\nLPSD_ALL.txt 1 2 4\n", "bcc.rwl_ind1.txt>bcc_AVE.raw 2 4 5|LPSD_ALL.txt>LPSD_ALL_AVE.raw 1 2 4"},
      {"a.rwl,2,4,5\nb.rwl , 1 ,4 5\n", "a.rwl>a_AVE.raw 2 4 5|b.rwl>b_AVE.raw 1 4 5"},  // commas, blanks or not
      {"'data/a.rwl' 1 2 4\n\"my b.rwl\" 1 2 4\n", "data/a.rwl>data/a_AVE.raw 1 2 4|my b.rwl>my_AVE.raw 1 2 4"},  // quoted
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

// At most 100 entries; each is echoed as read, a number too wide for its column as "*".
TEST(ListFile, AtMostOneHundredEntriesEchoed) {
  std::string text;
  for (int i = 1; i <= 120; ++i) text += "f" + std::to_string(i) + ".rwl 1 4 12\n";
  MemoryUnit echo;
  FileList files;
  read_entries(text, echo, files);
  EXPECT_EQ(files.entries[99].name, "f100.rwl");
  EXPECT_EQ(files.count, 100);
  const std::string& out = echo.written();
  EXPECT_EQ(out.substr(0, 14), "    1 f1.rwl  ");
  EXPECT_EQ(out.substr(out.size() - 63), "  100 f100.rwl" + std::string(42, ' ') + " 1 4 *\n");
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

// The fatal report of an entry that cannot be read names the list file and the line it stopped at.
TEST(ListFile, FatalReportNamesTheLine) {
  const struct { std::string text, where; } cases[] = {
      {"x 1 4 5\ny 1 a 5\n", "list file l.lst, line 2"},
      {"x 1 4 5\n\ny 1\n\n 4 5 7\nz 1 4 b\n", "list file l.lst, line 6"},
      {"x 1 99999999999 5\n", "list file l.lst, line 1"},
  };
  for (const auto& c : cases) {
    MemoryUnit echo, source(c.text);
    FileList files;
    try {
      read_list_entries(source, echo, files, "l.lst");
      ADD_FAILURE() << c.text;
    } catch (const Error& f) {
      EXPECT_EQ(f.where, c.where) << c.text;
    }
  }
}

}  // namespace
}  // namespace ringave
