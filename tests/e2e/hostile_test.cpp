// Hostile input and I/O failures, end to end with the real binary: each row
// is a set of files, the console answers (or a closed standard input), the
// exit status and the key line of standard output or standard error. Every
// row must end in its defined way, within the time limit, never by a signal.
// Rows that replace an earlier output check that the old file survives whole
// and that no temporary file is left beside it.
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "e2e/e2e_helper.h"

namespace ringave_e2e {
namespace {

namespace fs = std::filesystem;

// Contents of an earlier output that a failed run must leave as they are.
const std::string kOld = "OLD TREE SERIES, KEPT WHOLE\n";

// How the process is started.
enum class Env {
  plain,
  stdin_closed,     // descriptor 0 not open at all
  stdout_closed,    // descriptor 1 not open at all
  stdout_full,      // standard output is /dev/full: every write fails
  as_nobody,        // without root's override of permissions (uid 65534 when root)
  file_size_limit,  // writes beyond 100 KiB fail (EFBIG), like a full disk
};

struct Row {
  std::string name;
  std::vector<std::pair<std::string, std::string>> files;
  std::string answers;
  int status;
  std::string out_has;  // a line (or part of one) standard output must hold
  std::string err_has;  // the same for standard error
  Env env = Env::plain;
  std::function<void(const fs::path&)> setup = nullptr;
  std::string kept = {};  // a file of `files` whose contents are checked after the run:
  std::string kept_as = kOld;  // they must be these (the old contents, unless given)
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

RunResult run_binary(const fs::path& dir, const std::string& answers, Env env) {
  TempDir io;  // standard input, output and error, outside `dir`
  io.write("in", answers);
  const int fi = open((io.path() / "in").c_str(), O_RDONLY);
  const int fo = open((io.path() / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int fe = open((io.path() / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  RunResult r;
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(120);
    dup2(fi, 0);
    dup2(fo, 1);
    dup2(fe, 2);
    close(fi);
    close(fo);
    close(fe);
    if (env == Env::stdin_closed) close(0);
    if (env == Env::stdout_closed) close(1);
    if (env == Env::stdout_full) {
      const int full = open("/dev/full", O_WRONLY);
      if (full < 0) _exit(123);
      dup2(full, 1);
      close(full);
    }
    if (env == Env::file_size_limit) {
      signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead of a kill
      const rlimit small{100 << 10, 100 << 10};
      setrlimit(RLIMIT_FSIZE, &small);
    }
    if (env == Env::as_nobody && geteuid() == 0) {
      if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(121);
    }
    alarm(120);  // a hang ends by SIGALRM, which fails the row
    execl(RINGAVE_BIN, "ringave", static_cast<char*>(nullptr));
    _exit(122);
  }
  close(fi);
  close(fo);
  close(fe);
  int st = 0;
  if (pid < 0 || waitpid(pid, &st, 0) != pid) return r;
  if (WIFEXITED(st)) r.status = WEXITSTATUS(st);
  r.out = io.read("out");
  r.err = io.read("err");
  return r;
}

// Deterministic binary garbage, line feeds and NULs included.
std::string garbage(std::size_t n, std::uint32_t seed) {
  std::string s(n, '\0');
  for (char& c : s) {
    seed = seed * 1664525u + 1013904223u;
    c = static_cast<char>(seed >> 24);
  }
  return s;
}

// A Compact series header with its fields in their columns: count 1-8 with
// "=N", first year 11-18 with "=I", ID 22-29, exponent 69-71, layout 72-79.
std::string compact(const std::string& count, const std::string& year, const std::string& exponent,
                    const std::string& layout) {
  auto right = [](const std::string& s, std::size_t w) { return std::string(w > s.size() ? w - s.size() : 0, ' ') + s; };
  std::string layout8 = layout + std::string(layout.size() < 8 ? 8 - layout.size() : 0, ' ');
  return right(count, 8) + "=N" + right(year, 8) + "=I ABC01A  " + std::string(39, ' ') + right(exponent, 3) +
         layout8 + "~\n" + "   123    45   100\n";
}

// 300 series of 300 values: about 650 KB of tree series to write.
std::string large_tucson() {
  std::string s;
  for (int k = 0; k < 300; ++k) {
    char id[9];
    std::snprintf(id, sizeof id, "ABC%03dA ", k);
    for (int year = 1000; year < 1300; year += 10) {
      s += id;
      s += std::to_string(year);
      for (int j = 0; j < 10; ++j) s += "   " + std::to_string(100 + (k * 7 + year + j) % 800);
      s += '\n';
    }
    s += std::string(id) + "1300   999\n";
  }
  return s;
}

const std::string kOk = "ABC01A  1901   123    45   100   999\n";
const std::string kFatal = "? ringave: run-time error in the record layer";
const std::string kPastEnd = "? Attempt to read past end of file\n? READ(UNIT=*,...";
const std::string kOverflowConsole = "? Numeric overflow in numeric input\n? READ(UNIT=*,...";
const std::string kOverflowList = "? Numeric overflow in numeric input\n? READ(UNIT=12,...";
const std::string kCdfDataError = " *** error reading data in sbr cdf: ";
const std::string kNormal = " Normal Termination of program";
const std::string kSingle = "F\nx.rwl\n1\n4\n5\n";
const std::string kSingleCmp = "F\nx.cmp\n2\n4\n5\n";

std::vector<Row> bad_input_rows() {
  std::string blank_lines;
  for (int k = 0; k < 20; ++k) blank_lines += std::string(100000, ' ') + "\n";
  const std::string mb_line = std::string(1 << 20, 'A') + "\n";
  std::string many_entries;
  for (int k = 0; k < 100000; ++k) many_entries += "x.rwl 1 4 5\n";
  const std::string long_name(200, 'n');

  return {
      {"GarbageTucson", {{"x.rwl", garbage(4000, 1)}}, kSingle, 0, kNormal, ""},
      {"GarbageCompact", {{"x.cmp", garbage(4000, 1)}}, kSingleCmp, 1, " *** header line read error in sbr cdf: ", ""},
      {"NulBytesInDataLinesAreTextLines",
       {{"x.rwl", kOk + std::string("\0\0\0\0garbage\n", 12) + std::string("ABC02A  1901   1\0\0    45   999\n", 32)}},
       kSingle, 0, "   1 ABC01A   1901   1903      3\n\n" + kNormal, ""},
      {"MegabyteLineTucson", {{"x.rwl", mb_line + kOk}}, kSingle, 0, "   1 ABC01A   1901   1903      3", ""},
      {"MegabyteLineCompact", {{"x.cmp", mb_line}}, kSingleCmp, 0, kNormal, ""},
      {"BlankLinesTucson", {{"x.rwl", blank_lines + kOk}}, kSingle, 0, "   1 ABC01A   1901   1903      3", ""},
      {"BlankLinesCompact", {{"x.cmp", blank_lines}}, kSingleCmp, 1, kCdfDataError, ""},
      // Integer answers beyond 32 bits at every numeric prompt.
      {"AnswerFormatOverflow", {{"x.rwl", kOk}}, "F\nx.rwl\n99999999999\n4\n5\n", 255, "", kOverflowConsole},
      {"AnswerStartOverflow", {{"x.rwl", kOk}}, "F\nx.rwl\n1\n2147483648\n5\n", 255, "", kOverflowConsole},
      {"AnswerStopOverflow", {{"x.rwl", kOk}}, "F\nx.rwl\n1\n4\n-2147483649\n", 255, "", kOverflowConsole},
      {"AnswerLargestInt", {{"x.rwl", kOk}}, "F\nx.rwl\n1\n4\n2147483647\n", 1, " Invalid tree number positions > x.rwl", ""},
      // The same in every column of a list file.
      {"ListCodeOverflow", {{"x.rwl", kOk}, {"l.lst", "x.rwl 99999999999 4 5\n"}}, "T\nl.lst\n", 255, "", kOverflowList},
      {"ListStartOverflow", {{"x.rwl", kOk}, {"l.lst", "x.rwl 1 4294967297 5\n"}}, "T\nl.lst\n", 255, "", kOverflowList},
      {"ListStopOverflow", {{"x.rwl", kOk}, {"l.lst", "x.rwl,1,4,-2147483649\n"}}, "T\nl.lst\n", 255, "", kOverflowList},
      // Compact header fields: the exponent 999 scales to infinity, which the
      // writer shows as asterisks; -999 does not fit its three columns and
      // pushes the layout out of place.
      {"CompactExponent999", {{"x.cmp", compact("3", "1901", "999", "(10F6.0)")}}, kSingleCmp, 0, kNormal, "",
       Env::plain, nullptr, "x_AVE.raw", "ABC01   1901****************** -9999\n"},
      {"CompactExponentMinus999", {{"x.cmp", compact("3", "1901", "-999", "(10F6.0)")}}, kSingleCmp, 1,
       kCdfDataError, ""},
      {"CompactCountOverLimit", {{"x.cmp", compact("9999999", "1901", "-2", "(10F6.0)")}}, kSingleCmp, 1,
       " *** series length exceeds maximum allowable length: ABC01A    **** > 3001", ""},
      {"CompactCount2147483647", {{"x.cmp", compact("2147483647", "1901", "-2", "(10F6.0)")}}, kSingleCmp, 1,
       kCdfDataError, ""},
      {"CompactYearWiderThanListing", {{"x.cmp", compact("3", "99999999", "-2", "(10F6.0)")}}, kSingleCmp, 0,
       "   1 ABC01A   ****   ****      3", ""},
      {"CompactDeepNesting", {{"x.cmp", compact("3", "1901", "-2", "((((((((")}}, kSingleCmp, 1, kCdfDataError, ""},
      {"CompactHugeRepeat", {{"x.cmp", compact("3", "1901", "-2", "(9999999")}}, kSingleCmp, 1, kCdfDataError, ""},
      {"CompactLayoutWithoutData", {{"x.cmp", compact("3", "1901", "-2", "(99(9x))")}}, kSingleCmp, 1,
       kCdfDataError, ""},
      // Lists: only the first 100 entries are taken; names are cut to 50.
      {"ListOf100000Lines", {{"x.rwl", kOk}, {"l.lst", many_entries}}, "T\nl.lst\n", 0,
       "  100 " + pad50("x.rwl") + " 1 4 5\n", ""},
      {"ListName200Characters", {{"l.lst", long_name + " 1 4 5\n"}}, "T\nl.lst\n", 1,
       " File not found > " + long_name.substr(0, 50), ""},
      {"InputIsADirectory", {}, kSingle, 255, "", "? Cannot open file 'x.rwl': Is a directory\n? OPEN(UNIT=12,...",
       Env::plain, [](const fs::path& d) { fs::create_directory(d / "x.rwl"); }},
      {"ListIsADirectory", {}, "T\nl.lst\n", 255, "", "? Cannot open file 'l.lst': Is a directory",
       Env::plain, [](const fs::path& d) { fs::create_directory(d / "l.lst"); }},
      {"UnreadableInput", {{"x.rwl", kOk}}, kSingle, 255, "", "? Cannot open file 'x.rwl': Permission denied",
       Env::as_nobody, [](const fs::path& d) { fs::permissions(d / "x.rwl", fs::perms::none); }},
      // Standard input ends at each prompt in turn, or is not open at all.
      {"EndOfInputAtQuestion", {{"x.rwl", kOk}}, "", 255, "", kPastEnd},
      {"EndOfInputAtName", {{"x.rwl", kOk}}, "F\n", 255, "", kPastEnd},
      {"EndOfInputAtFormat", {{"x.rwl", kOk}}, "F\nx.rwl\n", 255, "", kPastEnd},
      {"EndOfInputAtStart", {{"x.rwl", kOk}}, "F\nx.rwl\n1\n", 255, "", kPastEnd},
      {"EndOfInputAtStop", {{"x.rwl", kOk}}, "F\nx.rwl\n1\n4\n", 255, "", kPastEnd},
      {"EndOfInputAtListName", {{"x.rwl", kOk}}, "T\n", 255, "", kPastEnd},
      {"EndOfInputAtPause", {}, "F\nnone.rwl\n", 1, " Hit RETURN to Quit", ""},
      // A standard stream the process starts without reads as end of input
      // or takes the output like /dev/null; no file opened later gets its number.
      {"StandardInputNotOpen", {{"x.rwl", kOk}}, "", 255, "", kPastEnd, Env::stdin_closed},
  };
}

std::vector<Row> io_failure_rows() {
  return {
      {"OutputIsADirectory", {{"x.rwl", kOk}}, kSingle, 255, "",
       "? Cannot open file 'x_AVE.raw': Is a directory\n? OPEN(UNIT=13,...", Env::plain,
       [](const fs::path& d) { fs::create_directory(d / "x_AVE.raw"); }},
      {"OutputFolderNotWritable", {{"ro/x.rwl", kOk}, {"ro/x_AVE.raw", kOld}}, "F\nro/x.rwl\n1\n4\n5\n", 255, "",
       "? Cannot open file 'ro/x_AVE.raw': Permission denied", Env::as_nobody,
       [](const fs::path& d) {
         fs::permissions(d / "ro", fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                       fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
       },
       "ro/x_AVE.raw"},
      {"DiskFillsWhileWriting", {{"x.rwl", large_tucson()}, {"x_AVE.raw", kOld}}, "F\nx.rwl\n1\n4\n6\n", 255,
       " 300 ABC299A  1000   1299    300", "? Cannot write file 'x_AVE.raw': File too large\n? WRITE(UNIT=13,...",
       Env::file_size_limit, nullptr, "x_AVE.raw"},
      {"OutputPathInAReadOnlyFileSystem", {}, "F\n/proc/version\n1\n4\n5\n", 255, "",
       "? Cannot open file '/proc/version_AVE.raw': No such file or directory", Env::plain,
       [](const fs::path&) {
         if (!fs::exists("/proc/version")) GTEST_SKIP() << "no /proc/version here";
       }},
      {"StandardOutputNotOpen", {{"x.rwl", kOk}, {"x_AVE.raw", kOld}}, kSingle, 0, "", "", Env::stdout_closed,
       nullptr, "x_AVE.raw", "ABC01   1901  1230   450  1000 -9999\n"},
      {"StandardOutputFull", {{"x.rwl", kOk}, {"x_AVE.raw", kOld}}, kSingle, 255, "",
       "? Cannot write to standard output: No space left on device\n? WRITE(UNIT=*,...", Env::stdout_full, nullptr,
       "x_AVE.raw"},
  };
}

class HostileRun : public ::testing::TestWithParam<Row> {};

TEST_P(HostileRun, EndsAsDefined) {
  const Row& row = GetParam();
  TempDir dir;
  fs::permissions(dir.path(), fs::perms::all);  // reachable when run as nobody
  for (const auto& [name, text] : row.files) {
    fs::create_directories((dir.path() / name).parent_path());
    dir.write(name, text);
  }
  if (row.setup) row.setup(dir.path());
  if (::testing::Test::IsSkipped()) return;

  const RunResult r = run_binary(dir.path(), row.answers, row.env);
  EXPECT_EQ(r.status, row.status) << r.err;
  if (!row.out_has.empty()) {
    EXPECT_NE(r.out.find(row.out_has), std::string::npos) << r.out.substr(0, 4000);
  }
  if (!row.err_has.empty()) {
    EXPECT_NE(r.err.find(kFatal), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(row.err_has), std::string::npos) << r.err;
  }
  if (row.status != 255) {
    EXPECT_EQ(r.err.find(kFatal), std::string::npos) << r.err;
  }

  if (!row.kept.empty()) {
    EXPECT_EQ(dir.read(row.kept), row.kept_as);
    const fs::path kept = dir.path() / row.kept;
    for (const auto& e : fs::directory_iterator(kept.parent_path())) {
      const std::string n = e.path().filename().string();
      EXPECT_FALSE(n != kept.filename().string() && n.rfind(kept.filename().string(), 0) == 0)
          << "left behind: " << n;
    }
  }
  // Let the folder be removed whatever the row did to its permissions.
  for (const auto& e : fs::recursive_directory_iterator(dir.path())) fs::permissions(e.path(), fs::perms::all);
}

std::string row_name(const ::testing::TestParamInfo<Row>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(BadInput, HostileRun, ::testing::ValuesIn(bad_input_rows()), row_name);
INSTANTIATE_TEST_SUITE_P(IoFailure, HostileRun, ::testing::ValuesIn(io_failure_rows()), row_name);

}  // namespace
}  // namespace ringave_e2e
