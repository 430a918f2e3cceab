#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "records/memory_unit.h"
#include "run/dialogue.h"

namespace ringave {
namespace {

// The entries that the list file `text` gives, as "name format start stop" joined by "|".
std::string read_entries(const std::string& text, MemoryUnit& echo, FileList& files) {
  MemoryUnit source(text);
  read_list_entries(source, echo, files);
  std::string out;
  for (std::int32_t i = 1; i <= files.count; ++i) {
    const FileEntry& e = files.entry(i);
    out += (i > 1 ? "|" : "") + e.name + ">" + e.output + " " + std::to_string(e.format) + " " +
           std::to_string(e.key_first) + " " + std::to_string(e.key_last);
  }
  return out;
}

TEST(ListFile, EntriesAreReadListDirected) {
  const struct { std::string text, entries; } cases[] = {
      {"bcc.rwl_ind1.txt 2 4 5\nLPSD_ALL.txt 1 2 4\n", "bcc.rwl_ind1.txt>bcc_AVE.raw 2 4 5|LPSD_ALL.txt>LPSD_ALL_AVE.raw 1 2 4"},
      {"a.rwl,2,4,5\nb.rwl , 1 ,4 5\n", "a.rwl>a_AVE.raw 2 4 5|b.rwl>b_AVE.raw 1 4 5"},  // commas, blanks or not
      {"'data/a.rwl' 1 2 4\n\"my b.rwl\" 1 2 4\n", "data/a.rwl>data/a_AVE.raw 1 2 4|my b.rwl>my_AVE.raw 1 2 4"},  // quoted
      {"data/a.rwl 1 2 4\nb.rwl 1 4 5\n", "data>data_AVE.raw 0 0 0|b.rwl>b_AVE.raw 1 4 5"},  // a slash ends the entry
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
  EXPECT_EQ(files.entry(100).name, "f100.rwl");
  EXPECT_EQ(files.count, 100);
  const std::string& out = echo.written();
  EXPECT_EQ(out.substr(0, 14), "    1 f1.rwl  ");
  EXPECT_EQ(out.substr(out.size() - 63), "  100 f100.rwl" + std::string(42, ' ') + " 1 4 *\n");
}

}  // namespace
}  // namespace ringave
