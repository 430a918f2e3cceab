// End-to-end runs of the ringave binary: dialogue, listing, output files,
// skipped entries and exit statuses, compared byte for byte.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "e2e/e2e_helper.h"

namespace ringave_e2e {
namespace {

// Three cores of two trees in hundredths of a millimetre (stop marker 999).
const std::string kTucson =
    "ABC01A  1901   123    45   100   999\n"
    "ABC01B  1901   111    55   999\n"
    "ABC02A  1900    10    20    30    40    50    60    70    80    90   100\n"
    "ABC02A  1910   200   999\n";

const std::string kTucsonListing =
    "   1 ABC01A   1901   1903      3\n"
    "   2 ABC01B   1901   1902      2\n"
    "   3 ABC02A   1900   1910     11\n";

// Tree ABC01: the means of 1.23/1.11 and 0.45/0.55, then 1.00 alone.
// Tree ABC02: one core, written back in thousandths, tag on the full line.
const std::string kTucsonTrees =
    "ABC01   1901  1170   500  1000 -9999\n"
    "ABC02   1900   100   200   300   400   500   600   700   800   900  1000  AVE   \n"
    "ABC02   1910  2000 -9999\n";

// One core of one tree, in thousandths (stop marker -9999).
const std::string kOneCore = "XYZ07A  1994   250   300   350   400   450 -9999\n";
const std::string kOneCoreListing = "   1 XYZ07A   1994   1998      5\n";
const std::string kOneCoreTree = "XYZ07   1994   250   300   350   400   450 -9999\n";

TEST(RunE2E, BannerHelpAndQuestionThenEndOfInput) {
  TempDir dir;
  const RunResult r = dir.run("");
  EXPECT_EQ(r.out, kStart);
  EXPECT_EQ(r.err,
            "? ringave: run-time error in the record layer\n"
            "? Attempt to read past end of file\n"
            "? READ(UNIT=*,...\n");
  EXPECT_EQ(r.status, 255);
}

TEST(RunE2E, SingleTucsonFile) {
  TempDir dir;
  dir.write("tst.rwl", kTucson);
  const RunResult r = dir.run("F\ntst.rwl\n1\n4\n5\n");
  EXPECT_EQ(r.out, kStart + single_dialogue("tst.rwl") + reading("tst.rwl") + kTucsonListing + kNormalEnd);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(dir.read("tst_AVE.raw"), kTucsonTrees);
  EXPECT_EQ(dir.read("tst.rwl"), kTucson);
}

TEST(RunE2E, SingleCompactFileAnyCodeButOne) {
  // The first two cores of kTucson in Compact form: same values, same tree.
  const std::string blanks39(39, ' ');
  const std::string compact = "       3=N    1901=I ABC01A  " + blanks39 + " -2(10F6.0)\n" +
                              "   123    45   100\n" + "       2=N    1901=I ABC01B  " + blanks39 +
                              " -2(10F6.0)\n" + "   111    55\n";
  for (const char* code : {"2", "0", "7"}) {
    SCOPED_TRACE(code);
    TempDir dir;
    dir.write("c.cmp", compact);
    const RunResult r = dir.run(std::string("F\nc.cmp\n") + code + "\n4\n5\n");
    EXPECT_EQ(r.out, kStart + single_dialogue("c.cmp") + reading("c.cmp") +
                         "   1 ABC01A   1901   1903      3\n"
                         "   2 ABC01B   1901   1902      2\n" +
                         kNormalEnd);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(dir.read("c_AVE.raw"), "ABC01   1901  1170   500  1000 -9999\n");
  }
}

TEST(RunE2E, MissingSingleOrListFile) {
  struct Case {
    const char* answers;
    const char* name;
    const char* prompt;
  };
  const Case cases[] = {
      {"F\nnope.rwl\n\n", "nope.rwl", "\n Enter input file name :  "},
      {"T\nnope.lst\n\n", "nope.lst", "\n List- file name ==> "},
      // End of input at the pause just ends it.
      {"F\nnope.rwl\n", "nope.rwl", "\n Enter input file name :  "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answers);
    TempDir dir;
    const RunResult r = dir.run(c.answers);
    EXPECT_EQ(r.out, kStart + c.prompt + " Warning\n\n This file " + pad50(c.name) +
                         " DOES NOT exist\n\n"
                         " Program Terminating\n"
                         " Hit RETURN to Quit\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 1);
  }
}

TEST(RunE2E, ListFileWithMissingMiddleEntryAndFewerSeriesAfterMore) {
  TempDir dir;
  dir.write("a.rwl", kTucson);
  dir.write("c.rwl", kOneCore);
  dir.write("in.lst", "a.rwl 1 4 5\nb.rwl,1,4,5\n\n  c.rwl 1\n 4 5\n");
  const RunResult r = dir.run("T\nin.lst\n");
  EXPECT_EQ(r.out, kStart +
                       "\n List- file name ==> "
                       "\n Openning files:\n"
                       "    1 " + pad50("a.rwl") + " 1 4 5\n" +
                       "    2 " + pad50("b.rwl") + " 1 4 5\n" +
                       "    3 " + pad50("c.rwl") + " 1 4 5\n" +
                       reading("a.rwl") + kTucsonListing +
                       "\n File not found > " + pad50("b.rwl") + "\n" +
                       reading("c.rwl") + kOneCoreListing + kNormalEnd);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(dir.read("a_AVE.raw"), kTucsonTrees);
  EXPECT_FALSE(dir.exists("b_AVE.raw"));
  // Rows left by a.rwl above the new row count are not averaged or written.
  EXPECT_EQ(dir.read("c_AVE.raw"), kOneCoreTree);
}

TEST(RunE2E, TwoEntriesWithOneOutputTheSecondWins) {
  TempDir dir;
  dir.write("a.rwl", kTucson);
  dir.write("a.txt", kOneCore);
  dir.write("in.lst", "a.rwl 1 4 5\na.txt 1 4 5\n");
  const RunResult r = dir.run("T\nin.lst\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(dir.read("a_AVE.raw"), kOneCoreTree);
}

TEST(RunE2E, EmptyListFile) {
  for (const char* list : {"", "\n\n  \n"}) {
    TempDir dir;
    dir.write("empty.lst", list);
    const RunResult r = dir.run("T\nempty.lst\n");
    EXPECT_EQ(r.out, kStart + "\n List- file name ==> \n Openning files:\n" + kNormalEnd);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
  }
}

TEST(RunE2E, FileWithoutSeriesMakesEmptyOutputOrKeepsAnExistingOne) {
  TempDir dir;
  dir.write("none.rwl", "");
  dir.write("old.rwl", "");
  dir.write("old_AVE.raw", "kept\n");
  dir.write("in.lst", "none.rwl 1 4 5\nold.rwl 1 4 5\n");
  const RunResult r = dir.run("T\nin.lst\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(dir.exists("none_AVE.raw"));
  EXPECT_EQ(dir.read("none_AVE.raw"), "");
  EXPECT_EQ(dir.read("old_AVE.raw"), "kept\n");
}

TEST(RunE2E, TreeNumberPositions) {
  struct Case {
    int start, stop;
    bool valid;
  };
  const Case cases[] = {{0, 2, false}, {-1, 5, false}, {3, 2, false}, {4, 9, false}, {9, 9, false},
                        {1, 2, true},  {8, 8, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.start << "," << c.stop);
    TempDir dir;
    dir.write("p.rwl", "123456781990   100   999\n");
    const std::string answers =
        "F\np.rwl\n1\n" + std::to_string(c.start) + "\n" + std::to_string(c.stop) + "\n";
    const RunResult r = dir.run(answers);
    if (c.valid) {
      EXPECT_EQ(r.out, kStart + single_dialogue("p.rwl") + reading("p.rwl") +
                           "   1 12345678 1990   1990      1\n" + kNormalEnd);
      EXPECT_EQ(r.status, 0);
      EXPECT_EQ(dir.read("p_AVE.raw"), c.start == 1 ? "12      1990  1000 -9999\n"
                                                     : "123456781990  1000 -9999\n");
    } else {
      EXPECT_EQ(r.out, kStart + single_dialogue("p.rwl") + "\n Invalid tree number positions > " +
                           pad50("p.rwl") + "\n" + kNormalEnd);
      EXPECT_EQ(r.status, 1);
      EXPECT_FALSE(dir.exists("p_AVE.raw"));
    }
  }
}

TEST(RunE2E, OutputWouldReplaceInput) {
  TempDir dir;
  const std::string name(50, 'n');  // 50 characters, no "." and no blank
  dir.write(name, kTucson);
  const RunResult r = dir.run("F\n" + name + "\n1\n4\n5\n");
  EXPECT_EQ(r.out, kStart + single_dialogue(name) + "\n Output file would replace input > " + name + "\n" +
                       kNormalEnd);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(dir.read(name), kTucson);
}

// A run that stops part-way through an entry leaves that entry's output as
// it was: a new one empty, an existing one with its old contents.
std::string big_file() {
  std::string big;
  for (int i = 1; i <= 2002; ++i) {
    char line[40];
    std::snprintf(line, sizeof line, "X%04dA  1990   100   999\n", i);
    big += line;
  }
  return big;
}

TEST(RunE2E, StopPartWayLeavesTheOutputAsItWas) {
  std::string headers;
  for (int i = 1; i <= 26; ++i) headers += "header line " + std::to_string(i) + "\n";
  struct Case {
    std::string text, err, out_tail;
  } cases[] = {
      {big_file(), "File big.rwl holds more than 2001 series (Max: records in a single file)\n",
       "2001 X2001A   1990   1990      1\n"},
      {headers + kTucson, "sbr trrw:  over 25 text lines\n", "  #      ID    IYR    LYR    AGE\n"},
  };
  for (const Case& c : cases) {
    for (bool existing : {false, true}) {
      SCOPED_TRACE(c.err);
      SCOPED_TRACE(existing);
      TempDir dir;
      dir.write("big.rwl", c.text);
      if (existing) dir.write("big_AVE.raw", "old\n");
      const RunResult r = dir.run("F\nbig.rwl\n1\n2\n5\n");
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(r.err, c.err);
      ASSERT_GE(r.out.size(), c.out_tail.size());
      EXPECT_EQ(r.out.substr(r.out.size() - c.out_tail.size()), c.out_tail);
      EXPECT_EQ(dir.read("big_AVE.raw"), existing ? "old\n" : "");
    }
  }
}

}  // namespace
}  // namespace ringave_e2e
