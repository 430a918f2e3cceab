// Records of input files and in-memory units, step back, and committed output.
#include "records/file_unit.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "records/memory_unit.h"
#include "records/outcome.h"

namespace ringave {
namespace {

// A fresh folder per test, removed with everything in it afterwards.
class TempDir {
 public:
  TempDir() {
    char templ[] = "/tmp/ringave-io-XXXXXX";
    path_ = ::mkdtemp(templ);
  }
  ~TempDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }
  // Names in the folder, sorted.
  std::set<std::string> entries() const {
    std::set<std::string> names;
    if (DIR* d = ::opendir(path_.c_str())) {
      while (dirent* e = ::readdir(d)) {
        const std::string n = e->d_name;
        if (n != "." && n != "..") names.insert(n);
      }
      ::closedir(d);
    }
    return names;
  }

 private:
  std::string path_;
};

void write_bytes(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary);
  f << bytes;
}

std::string read_bytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

std::vector<std::string> all_records(RecordSource& src) {
  std::vector<std::string> out;
  std::string_view r;
  while (src.next(r)) out.emplace_back(r);
  return out;
}

const std::string kBlanks8(8, ' ');

struct SplitCase {
  const char* what;
  std::string bytes;
  std::vector<std::string> records;
};

const std::vector<SplitCase>& split_cases() {
  static const std::vector<SplitCase> cases = {
      {"line feeds", "ab\ncd\n", {"ab", "cd"}},
      {"carriage return and line feed", "ab\r\ncd\r\n", {"ab", "cd"}},
      {"last line without line feed", "ab\ncd", {"ab", "cd"}},
      {"empty file", "", {}},
      {"empty lines", "\n\r\n\n", {"", "", ""}},
      {"carriage return inside a line", "a\rb\r\n", {"ab"}},
      {"lone carriage return", "\r", {""}},
      {"carriage returns in a row", "ab\r\r\nc\r\rd\n", {"ab", "cd"}},
      {"tab in column 1", "\tX\n", {kBlanks8 + "X"}},
      {"tab in column 5", "1234\tX\n", {"1234    X"}},
      {"tab in column 8 and 9", "1234567\tX\tY", {"1234567 X       Y"}},
      {"carriage return before a tab does not count", "ab\r\tc\n", {"ab      c"}},
      {"NUL is a character", std::string("a\0b\n", 4), {std::string("a\0b", 3)}},
  };
  return cases;
}

TEST(RecordSplitTest, FileAndMemoryUnitsSplitAlike) {
  TempDir dir;
  for (const SplitCase& c : split_cases()) {
    SCOPED_TRACE(c.what);
    write_bytes(dir / "in.txt", c.bytes);
    FileUnit file(12);
    file.open_read(dir / "in.txt");
    EXPECT_EQ(all_records(file), c.records);
    std::string_view r;
    EXPECT_FALSE(file.next(r)) << "end of file is sticky";

    MemoryUnit mem(c.bytes);
    EXPECT_EQ(all_records(mem), c.records);
    EXPECT_FALSE(mem.next(r));
  }
}

// Long records and records that straddle the read buffer come out whole.
TEST(RecordSplitTest, LongLinesAndBufferBoundaries) {
  TempDir dir;
  std::string bytes;
  std::vector<std::string> expected;
  const std::string mega(1 << 20, 'x');
  bytes += "\t" + mega + "\r\n";
  expected.push_back(kBlanks8 + mega);
  for (int i = 0; bytes.size() < (3u << 20); ++i) {
    std::string line(static_cast<std::size_t>((i * 7919) % 20011), static_cast<char>('a' + i % 26));
    bytes += line + (i % 3 == 0 ? "\r\n" : "\n");
    expected.push_back(line);
  }
  // A line longer than two read buffers.
  const std::string huge((5u << 20) / 2, 'y');
  bytes += huge + "\n";
  expected.push_back(huge);
  bytes += "last";
  expected.push_back("last");
  write_bytes(dir / "big.txt", bytes);

  FileUnit file(12);
  file.open_read(dir / "big.txt");
  const std::vector<std::string> got = all_records(file);
  ASSERT_EQ(got.size(), expected.size());
  for (std::size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], expected[i]) << "record " << i + 1;
}

// Operations: 'n' takes a record (shown as its text, or "EOF"), 'b' steps back.
std::string run_ops(Unit& unit, const std::string& ops) {
  std::string shown;
  for (char op : ops) {
    if (op == 'b') {
      unit.step_back();
      continue;
    }
    std::string_view r;
    if (!shown.empty()) shown += ' ';
    shown += unit.next(r) ? std::string(r) : "EOF";
  }
  return shown;
}

TEST(StepBackTest, FileAndMemoryUnits) {
  struct Case {
    const char* bytes;
    const char* ops;
    const char* shown;
  };
  const Case cases[] = {
      {"A\nB\n", "bn", "A"},                        // at the start: nothing
      {"A\nB\n", "nbnn", "A A B"},                  // after a read: that record again
      {"A\nB\n", "nnbnn", "A B B EOF"},             //
      {"A\nB\n", "nnnbnn", "A B EOF EOF EOF"},      // after end of file: still at the end
      {"A\nB\n", "nnnbbn", "A B EOF B"},            // then one more step back: the last record
      {"A\nB", "nnnbbnn", "A B EOF B EOF"},         // a last line without line feed
      {"A\r\n\tB", "nnnbbn", "A         B EOF         B"},  // cleaned records come back cleaned
      {"", "nbn", "EOF EOF"},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.bytes) + " / " + c.ops);
    write_bytes(dir / "in.txt", c.bytes);
    FileUnit file(12);
    file.open_read(dir / "in.txt");
    EXPECT_EQ(run_ops(file, c.ops), c.shown);
    MemoryUnit mem(c.bytes);
    EXPECT_EQ(run_ops(mem, c.ops), c.shown);
  }
}

TEST(FileUnitReadTest, ReopeningStartsAfresh) {
  TempDir dir;
  write_bytes(dir / "a.txt", "A1\nA2\n");
  write_bytes(dir / "b.txt", "B1\n");
  FileUnit unit(12);
  unit.open_read(dir / "a.txt");
  std::string_view r;
  ASSERT_TRUE(unit.next(r));
  unit.step_back();
  unit.open_read(dir / "b.txt");
  EXPECT_EQ(run_ops(unit, "bnn"), "B1 EOF");
  unit.close();
  EXPECT_FALSE(unit.is_open());
  unit.close();  // closing a closed unit does nothing
}

void expect_fatal(const std::function<void()>& f, const char* statement, const char* unit,
                  const std::vector<std::string>& message_parts) {
  try {
    f();
    ADD_FAILURE() << "no FatalError";
  } catch (const FatalError& e) {
    EXPECT_EQ(e.statement, statement);
    EXPECT_EQ(e.unit, unit);
    for (const std::string& part : message_parts)
      EXPECT_NE(e.message.find(part), std::string::npos) << e.message << " lacks " << part;
  }
}

TEST(FileUnitOpenTest, InputsThatCannotBeRead) {
  TempDir dir;
  ::mkdir((dir / "folder").c_str(), 0777);
  FileUnit unit(12);
  expect_fatal([&] { unit.open_read(dir / "missing.rwl"); }, "OPEN", "12",
               {"missing.rwl", "No such file or directory"});
  expect_fatal([&] { unit.open_read(dir / "folder"); }, "OPEN", "12", {"folder", "Is a directory"});
  expect_fatal([&] { unit.open_read(std::string("a\0b", 3)); }, "OPEN", "12", {});
  EXPECT_FALSE(unit.is_open());
}

// Whether opening ends in the fatal OPEN report for want of permission. Root
// may read and write anything, so for root the open runs in a child process
// that has become the unprivileged user "nobody". Returns "" when it did, a
// description of what happened otherwise, or "skip" when no child could drop
// its privileges.
std::string denied(const std::function<void(FileUnit&)>& open, int unit_number) {
  auto check = [&]() -> std::string {
    FileUnit unit(unit_number);
    try {
      open(unit);
      return "opened";
    } catch (const FatalError& e) {
      if (e.statement == "OPEN" && e.message.find("Permission denied") != std::string::npos) return "";
      return e.message;
    }
  };
  if (::geteuid() != 0) return check();
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(99);
    ::_exit(check().empty() ? 0 : 1);
  }
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return "no child";
  if (WEXITSTATUS(status) == 99) return "skip";
  return WEXITSTATUS(status) == 0 ? "" : "not denied";
}

TEST(FileUnitOpenTest, UnreadableInput) {
  TempDir dir;
  ::chmod(dir.path().c_str(), 0755);
  write_bytes(dir / "secret.rwl", "x\n");
  ::chmod((dir / "secret.rwl").c_str(), 0);
  const std::string got = denied([&](FileUnit& u) { u.open_read(dir / "secret.rwl"); }, 12);
  if (got == "skip") GTEST_SKIP() << "running as root and unable to become another user";
  EXPECT_EQ(got, "");
}

// A file the system refuses to read (reading memory at address 0 of this
// process fails with an I/O error) ends the read with the fatal report.
TEST(FileUnitReadTest, ReadErrorIsFatal) {
  FileUnit unit(12);
  unit.open_read("/proc/self/mem");
  std::string_view r;
  expect_fatal([&] { unit.next(r); }, "READ", "12", {"/proc/self/mem"});
}

TEST(FileUnitReadTest, UnitNotOpen) {
  FileUnit unit(12);
  std::string_view r;
  expect_fatal([&] { unit.next(r); }, "READ", "12", {});
  expect_fatal([&] { unit.put("x", true); }, "WRITE", "12", {});
}

mode_t mode_of(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

TEST(FileUnitWriteTest, CloseCommitsExactBytes) {
  TempDir dir;
  const mode_t mask = ::umask(022);
  {
    FileUnit unit(13);
    unit.open_write(dir / "site_AVE.raw");
    EXPECT_EQ(read_bytes(dir / "site_AVE.raw"), "") << "a new output exists from the open on";
    unit.put("ABC01   1990   100", true);
    unit.put("", true);
    unit.put(" prompt:  ", false);
    unit.put("a\rb", true);
    EXPECT_EQ(unit.records_written(), 4);
    unit.close();
  }
  ::umask(mask);
  EXPECT_EQ(read_bytes(dir / "site_AVE.raw"), "ABC01   1990   100\n\n prompt:  ab\n");
  EXPECT_EQ(mode_of(dir / "site_AVE.raw"), 0644u) << "a new file's permissions, not the temporary's";
  EXPECT_EQ(dir.entries(), std::set<std::string>{"site_AVE.raw"});
}

TEST(FileUnitWriteTest, ReplacingKeepsTheTargetsPermissions) {
  TempDir dir;
  write_bytes(dir / "out.raw", "old contents\n");
  ::chmod((dir / "out.raw").c_str(), 0640);
  FileUnit unit(13);
  unit.open_write(dir / "out.raw");
  EXPECT_EQ(read_bytes(dir / "out.raw"), "old contents\n") << "untouched until close";
  unit.put("new", true);
  unit.close();
  EXPECT_EQ(read_bytes(dir / "out.raw"), "new\n");
  EXPECT_EQ(mode_of(dir / "out.raw"), 0640u);
}

TEST(FileUnitWriteTest, LargeOutputArrivesWhole) {
  TempDir dir;
  std::string expected;
  FileUnit unit(13);
  unit.open_write(dir / "big.raw");
  const std::string huge(300000, 'h');
  unit.put(huge, true);
  expected += huge + "\n";
  for (int i = 0; i < 20000; ++i) {
    const std::string rec = "record " + std::to_string(i);
    unit.put(rec, true);
    expected += rec + "\n";
  }
  unit.close();
  EXPECT_EQ(read_bytes(dir / "big.raw"), expected);
}

// Unfinished outputs: nothing written, or the unit destroyed before close()
// (a stop or a fatal report part-way). The old target stays, a new target
// stays empty, and no temporary file is left behind.
TEST(FileUnitWriteTest, UnfinishedOutputsLeaveTargetsAsTheyWere) {
  struct Case {
    const char* what;
    bool existing;
    bool write_something;
    bool close;
  };
  const Case cases[] = {
      {"existing, nothing written, closed", true, false, true},
      {"new, nothing written, closed", false, false, true},
      {"existing, written, not closed", true, true, false},
      {"new, written, not closed", false, true, false},
      {"existing, nothing written, not closed", true, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    if (c.existing) write_bytes(dir / "t.raw", "good old output\n");
    {
      FileUnit unit(13);
      unit.open_write(dir / "t.raw");
      if (c.write_something) {
        for (int i = 0; i < 10000; ++i) unit.put("partial output line", true);
      }
      if (c.close) unit.close();
    }
    EXPECT_EQ(read_bytes(dir / "t.raw"), c.existing ? "good old output\n" : "");
    EXPECT_EQ(dir.entries(), std::set<std::string>{"t.raw"});
  }
}

TEST(FileUnitWriteTest, WritesThroughASymbolicLink) {
  TempDir dir;
  write_bytes(dir / "real.raw", "old\n");
  ASSERT_EQ(::symlink("real.raw", (dir / "link.raw").c_str()), 0);
  FileUnit unit(13);
  unit.open_write(dir / "link.raw");
  unit.put("new", true);
  unit.close();
  struct stat st;
  ASSERT_EQ(::lstat((dir / "link.raw").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(read_bytes(dir / "real.raw"), "new\n");
}

TEST(FileUnitWriteTest, WritingToADevice) {
  FileUnit unit(13);
  unit.open_write("/dev/null");
  unit.put("gone", true);
  unit.close();
  struct stat st;
  ASSERT_EQ(::stat("/dev/null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode)) << "a device is written to, never replaced";
}

TEST(FileUnitOpenTest, OutputsThatCannotBeWritten) {
  TempDir dir;
  ::mkdir((dir / "folder").c_str(), 0777);
  FileUnit unit(13);
  expect_fatal([&] { unit.open_write(dir / "folder"); }, "OPEN", "13", {"folder", "Is a directory"});
  expect_fatal([&] { unit.open_write(dir / "no/such/place.raw"); }, "OPEN", "13",
               {"place.raw", "No such file or directory"});
  EXPECT_FALSE(unit.is_open());
  EXPECT_EQ(dir.entries(), std::set<std::string>{"folder"});
}

TEST(FileUnitOpenTest, UnwritableFolderOrTarget) {
  TempDir dir;
  ::chmod(dir.path().c_str(), 0755);
  ::mkdir((dir / "ro").c_str(), 0555);
  write_bytes(dir / "locked.raw", "old\n");
  ::chmod((dir / "locked.raw").c_str(), 0444);
  for (const char* name : {"ro/out.raw", "locked.raw"}) {
    SCOPED_TRACE(name);
    const std::string got = denied([&](FileUnit& u) { u.open_write(dir / name); }, 13);
    if (got == "skip") GTEST_SKIP() << "running as root and unable to become another user";
    EXPECT_EQ(got, "");
  }
  EXPECT_EQ(read_bytes(dir / "locked.raw"), "old\n");
  EXPECT_FALSE(file_exists(dir / "ro/out.raw"));
}

// A disk that fills up while writing, played by a file size limit: the write
// fails, the report names it, and the old output survives.
TEST(FileUnitWriteTest, FailedWriteIsFatalAndKeepsTheOldOutput) {
  TempDir dir;
  write_bytes(dir / "t.raw", "good old output\n");
  // Restores the limit and the signal however the test ends.
  struct Limit {
    struct sigaction old_action {};
    rlimit old_limit{};
    Limit() {
      struct sigaction ignore {};
      ignore.sa_handler = SIG_IGN;
      ::sigaction(SIGXFSZ, &ignore, &old_action);
      ::getrlimit(RLIMIT_FSIZE, &old_limit);
    }
    bool shrink() {
      rlimit small = old_limit;
      small.rlim_cur = 1000;
      return ::setrlimit(RLIMIT_FSIZE, &small) == 0;
    }
    void restore() { ::setrlimit(RLIMIT_FSIZE, &old_limit); }
    ~Limit() {
      restore();
      ::sigaction(SIGXFSZ, &old_action, nullptr);
    }
  } limit;
  {
    FileUnit unit(13);
    unit.open_write(dir / "t.raw");
    ASSERT_TRUE(limit.shrink());
    expect_fatal(
        [&] {
          for (int i = 0; i < 100000; ++i) unit.put("a line that will not fit", true);
        },
        "WRITE", "13", {"t.raw", "File too large"});
    limit.restore();
    // The caller closes anyway: the failed output is not committed.
    unit.close();
  }
  EXPECT_EQ(read_bytes(dir / "t.raw"), "good old output\n");
  EXPECT_EQ(dir.entries(), std::set<std::string>{"t.raw"});
}

TEST(FileExistsTest, Entries) {
  TempDir dir;
  write_bytes(dir / "f.rwl", "");
  ::mkdir((dir / "d").c_str(), 0777);
  EXPECT_TRUE(file_exists(dir / "f.rwl"));
  EXPECT_TRUE(file_exists(dir / "d"));
  EXPECT_FALSE(file_exists(dir / "g.rwl"));
  EXPECT_FALSE(file_exists(""));
  EXPECT_FALSE(file_exists(std::string("f.rwl\0x", 7)));
}

TEST(MemoryUnitTest, WritesRecordsWithLineEnds) {
  MemoryUnit unit;
  unit.put("one", true);
  unit.put(" prompt ", false);
  unit.put("tw\ro", true);
  EXPECT_EQ(unit.written(), "one\n prompt two\n");
  EXPECT_EQ(unit.unit_label(), "12");
  EXPECT_EQ(MemoryUnit("", 13).unit_label(), "13");
}

}  // namespace
}  // namespace ringave
