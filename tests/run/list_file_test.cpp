#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "records/memory_unit.h"
#include "records/outcome.h"
#include "run/dialogue.h"

namespace ringave {
namespace {

std::string pad50(const std::string& s) { return s + std::string(50 - s.size(), ' '); }

struct Entry {
  std::string name;
  int format, start, stop;
};

void expect_entries(const FileList& files, const std::vector<Entry>& want) {
  ASSERT_EQ(files.count, static_cast<std::int32_t>(want.size()));
  for (std::size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE(i + 1);
    const FileEntry& e = files.entries[i];
    EXPECT_EQ(e.name.view(), pad50(want[i].name));
    EXPECT_EQ(e.format, want[i].format);
    EXPECT_EQ(e.start, want[i].start);
    EXPECT_EQ(e.stop, want[i].stop);
  }
}

TEST(ListFile, EntriesAsListDirectedReadingMakesThem) {
  struct Case {
    std::string text;
    std::vector<Entry> entries;
  } cases[] = {
      {"bcc.rwl_ind1.txt 2 4 5\nfcc_ind1.txt 2 4 5\nLPSD_ALL.txt 1 2 4\n",
       {{"bcc.rwl_ind1.txt", 2, 4, 5}, {"fcc_ind1.txt", 2, 4, 5}, {"LPSD_ALL.txt", 1, 2, 4}}},
      {"a.rwl,2,4,5\na.rwl , 2 ,4 5\na.rwl\t2\t4\t5", {{"a.rwl", 2, 4, 5}, {"a.rwl", 2, 4, 5}, {"a.rwl", 2, 4, 5}}},
      // A slash ends the entry; quoted, the path is whole.
      {"data/site.rwl 1 2 4\n'data/site.rwl' 1 2 4\n\"my x.rwl\" 1 2 4\n",
       {{"data", 0, 0, 0}, {"data/site.rwl", 1, 2, 4}, {"my x.rwl", 1, 2, 4}}},
      // Continuation lines, empty lines between entries, items past the fourth.
      {"a.rwl 1\n\n4 5\n\n   \nb.rwl 1 4 5 9 9\r\n", {{"a.rwl", 1, 4, 5}, {"b.rwl", 1, 4, 5}}},
      // The end of the file cuts the last entry short: dropped.
      {"a.rwl 1 4 5\nb.rwl\n", {{"a.rwl", 1, 4, 5}}},
      {"a.rwl 1 4 5\nb.rwl 1 4", {{"a.rwl", 1, 4, 5}}},
      {"", {}},
      {"\n\n", {}},
      // Stored as read, nothing checked.
      {"a.rwl 7 12 -3\n", {{"a.rwl", 7, 12, -3}}},
      {std::string(60, 'q') + " 1 4 5\n", {{std::string(50, 'q'), 1, 4, 5}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    MemoryUnit source(c.text);
    MemoryUnit echo;
    FileList files;
    read_list_entries(source, echo, files);
    expect_entries(files, c.entries);
  }
}

TEST(ListFile, EchoLines) {
  MemoryUnit source("bcc.rwl_ind1.txt 2 4 5\nfcc_ind1.txt 2 4 12\nLPSD_ALL.txt -1 2 4\n");
  MemoryUnit echo;
  FileList files;
  read_list_entries(source, echo, files);
  EXPECT_EQ(echo.written(), "    1 " + pad50("bcc.rwl_ind1.txt") + " 2 4 5\n" +  //
                                "    2 " + pad50("fcc_ind1.txt") + " 2 4 *\n" +    //
                                "    3 " + pad50("LPSD_ALL.txt") + " * 2 4\n");
  EXPECT_EQ(files.entry(2).stop, 12);
}

TEST(ListFile, AtMostOneHundredEntries) {
  std::string text;
  for (int i = 1; i <= 120; ++i) text += "f" + std::to_string(i) + ".rwl 1 4 5\n";
  MemoryUnit source(text);
  MemoryUnit echo;
  FileList files;
  read_list_entries(source, echo, files);
  EXPECT_EQ(files.count, 100);
  EXPECT_EQ(files.entry(100).name.trimmed(), "f100.rwl");
  EXPECT_EQ(echo.written().substr(echo.written().rfind('\n', echo.written().size() - 2) + 1, 6), "  100 ");
}

TEST(ListFile, ItemOfTheWrongTypeIsFatal) {
  MemoryUnit source("a.rwl 1 4 5\nb.rwl T 4 5\n");
  MemoryUnit echo;
  FileList files;
  try {
    read_list_entries(source, echo, files);
    FAIL() << "no fatal error";
  } catch (const FatalError& f) {
    EXPECT_EQ(f.message, kIllegalCharacter);
    EXPECT_EQ(f.statement, "READ");
    EXPECT_EQ(f.unit, "12");
  }
}

}  // namespace
}  // namespace ringave
