// Records of input files and in-memory units, step back, committed output,
// and the fatal reports of files that cannot be opened, read or written.
#include "records/file_unit.h"

#include <dlfcn.h>
#include <errno.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "records/memory_unit.h"
#include "records/outcome.h"
#include "test_files.h"

// Every fsync() of this process, counted by what it flushes, then done.
int g_file_syncs = 0;
int g_folder_syncs = 0;
extern "C" int fsync(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) == 0) ++(S_ISDIR(st.st_mode) ? g_folder_syncs : g_file_syncs);
  static const auto real = reinterpret_cast<int (*)(int)>(::dlsym(RTLD_NEXT, "fsync"));
  return real(fd);
}

// The next close() fails with EIO, after closing its descriptor all the same.
bool g_fail_next_close = false;
extern "C" int close(int fd) {
  static const auto real = reinterpret_cast<int (*)(int)>(::dlsym(RTLD_NEXT, "close"));
  const int rc = real(fd);
  if (!g_fail_next_close || rc != 0) return rc;
  g_fail_next_close = false;
  errno = EIO;
  return -1;
}

namespace ringave {
namespace {

namespace fs = std::filesystem;

void write_bytes(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
using testing::slurp;

// A fresh folder per test, removed with everything in it afterwards.
struct TempDir : testing::ScratchFolder {
  TempDir() : ScratchFolder("ringave-io") {}
  std::string operator/(const std::string& name) const { return (path / name).string(); }
  std::set<std::string> entries() const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(path)) names.insert(e.path().filename());
    return names;
  }
  // Opens `unit` for reading a file of `bytes` (in.txt).
  void read(FileUnit& unit, const std::string& bytes) const {
    write_bytes(*this / "in.txt", bytes);
    unit.open_read(*this / "in.txt");
  }
};

// The fatal report a call ends in, as "STATEMENT/unit: message", or "none".
template <typename F> std::string fatal_of(F f) {
  try { f(); } catch (const Error& e) { return e.statement + "/" + e.unit + ": " + e.message; }
  return "none";
}

// 'n' takes a record (shown as its text, or "EOF"), 'b' steps back.
std::string run_ops(Unit& unit, const std::string& ops) {
  std::string shown;
  std::string_view r;
  for (char op : ops) shown += op == 'b' ? (unit.step_back(), "") : "|" + (unit.next(r) ? std::string(r) : "EOF");
  return shown.substr(1);
}

// Takes lines from the text a unit hands over while `wanted` says so, and
// keeps them.
struct TakeLines final : LineTaker {
  explicit TakeLines(bool (*wanted)(std::string_view)) : wanted_(wanted) {}
  std::vector<std::string> took;
  std::size_t take(std::string_view text, std::size_t& lines) override {
    std::size_t at = 0;
    lines = 0;
    for (std::size_t lf; (lf = text.find('\n', at)) != std::string_view::npos; at = lf + 1, ++lines) {
      EXPECT_EQ(text.substr(at, lf - at).find_first_of("\r\t"), std::string_view::npos);
      if (!wanted_(text.substr(at, lf - at))) break;
      took.emplace_back(text.substr(at, lf - at));
    }
    EXPECT_EQ(text.back(), '\n');
    return at;
  }

 private:
  bool (*wanted_)(std::string_view);
};

// The records a unit delivers and its step back, alike in files and memory;
// a file's line number follows the records delivered (a step back counts
// back once; at the end of the input it only clears the end).
TEST(FileUnitRead, RecordsAndStepBackAlikeInFilesAndMemory) {
  const std::string x((1 << 20) - 1, 'x'), y((5 << 20) / 2, 'y');
  const struct { std::string bytes; const char* ops; std::string shown; std::int64_t line; } cases[] = {
      {"ab\r\n\n\r\ncd", "nnnnn", "ab|||cd|EOF", 4},  // CR LF, LF, empty lines, a last line without LF
      {"a\rb\r\r\nab\r\tc", "nn", "ab|ab      c", 2},  // carriage returns dropped wherever they stand
      {"\tX\n1234567\tX\tY", "nn", "        X|1234567 X       Y", 2},
      {std::string("a\0b", 3), "n", std::string("a\0b", 3), 1},
      {"", "nbn", "EOF|EOF", 0},
      {"A\nB\n", "bnbnn", "A|A|B", 2},            // at the start nothing, after a read the record again
      {"A\nB\nC", "nnbbnn", "A|B|B|C", 3},        // one record of history: a second step back adds nothing
      {"A\nB\nC", "nbnbbnbbbnn", "A|A|A|A|B", 2},
      {"A\nB\nC", "nnnnbb", "A|B|C|EOF", 2},
      // After end of file a step back leaves the unit at its end; a second one gives the last record.
      {"A\r\n\tB", "nnnbnbbnn", "A|        B|EOF|EOF|        B|EOF", 2},
      // Across the read buffer: a CR LF split over two reads, a line longer than two buffers.
      {x + "\r\n" + y + "\n\tlast", "nnnn", x + "|" + y + "|        last|EOF", 3},
  };
  TempDir dir;
  for (const auto& c : cases) {
    FileUnit file(12);
    dir.read(file, c.bytes);
    MemoryUnit mem(c.bytes);
    EXPECT_TRUE(run_ops(file, c.ops) == c.shown) << "file " << c.bytes.substr(0, 20) << c.ops;
    EXPECT_TRUE(run_ops(mem, c.ops) == c.shown) << "memory " << c.bytes.substr(0, 20) << c.ops;
    EXPECT_EQ(file.line(), c.line) << c.bytes.substr(0, 20) << c.ops;
  }
}

// Reads as a reader of runs does: the lines the unit hands over while
// `wanted` says so ('+' in front), then one record by next() (the refused
// one, or the first of the next block), until the end.
std::vector<std::string> read_in_runs(Unit& unit, bool (*wanted)(std::string_view)) {
  std::vector<std::string> out;
  TakeLines taker(wanted);
  for (std::string_view r;;) {
    const std::size_t n = unit.take_lines(taker);
    EXPECT_EQ(n, taker.took.size());
    for (const std::string& line : taker.took) out.push_back("+" + line);
    taker.took.clear();
    if (!unit.next(r)) return out;
    out.emplace_back(r);
  }
}
bool not_bang(std::string_view line) { return line.empty() || line[0] != '!'; }
std::string joined(const std::vector<std::string>& records) {
  std::string out;
  for (const std::string& r : records) out += r + "|";
  return out + "EOF";
}

// A file of blocks with and without carriage returns and tabs, lines of
// every length up to a few blocks, read from a file and from memory: the
// same records in the same order.
TEST(FileUnitRead, BlocksWithAndWithoutWhatIsCleanedReadAlike) {
  std::mt19937 rng(12);
  std::string bytes;
  while (bytes.size() < (11u << 20) / 2) {
    const std::size_t mib = bytes.size() >> 20;  // tabs in MiB 1 and 5, carriage returns in MiB 3
    const char odd = mib % 4 == 1 ? '\t' : mib % 4 == 3 ? '\r' : 0;
    const std::size_t length = rng() % 20000 == 0 ? rng() % (3u << 20) : rng() % 120;
    for (std::size_t i = 0; i < length; ++i) bytes += "ab 12-"[rng() % 6];
    if (odd && rng() % 50 == 0) bytes.insert(bytes.size() - length / 2, 1, odd);
    bytes += odd == '\r' && rng() % 50 == 0 ? "\r\n" : "\n";
  }
  TempDir dir;
  FileUnit file(12), again(12);
  dir.read(file, bytes);
  again.open_read(dir / "in.txt");
  MemoryUnit mem(bytes), mem_again(bytes);
  std::string_view a, b;
  std::size_t records = 0;
  for (bool more = true; more && !HasFailure(); ++records) {
    more = file.next(a);
    ASSERT_EQ(more, mem.next(b)) << "record " << records;
    EXPECT_TRUE(!more || a == b) << "record " << records;
  }
  EXPECT_GT(records, 20000u);

  // Read again in runs that refuse every record whose length is a multiple
  // of 7: the same records in order, most of them handed over.
  const std::vector<std::string> got = read_in_runs(again, [](std::string_view r) { return r.size() % 7 != 0; });
  ASSERT_EQ(got.size(), records - 1);
  EXPECT_EQ(again.line(), static_cast<std::int64_t>(records - 1));
  std::size_t in_runs = 0;
  for (std::size_t i = 0; i < got.size() && !HasFailure(); ++i) {
    ASSERT_TRUE(mem_again.next(b));
    in_runs += got[i][0] == '+';
    EXPECT_TRUE(std::string_view(got[i]).substr(got[i][0] == '+') == b) << "record " << i;
  }
  EXPECT_GT(in_runs, records / 2);
}

// The lines handed over are the records next() would deliver, in order;
// the first refused one is the next read; the line count goes on as with
// next(), and a step back delivers the last line taken.
TEST(FileUnitRead, LinesHandedOverAreTheRecordsNextWouldDeliver) {
  const struct { std::string bytes; std::string shown; std::int64_t lines; } cases[] = {
      // The first read fills the block; then the lines left in it.
      {"A\nB\n!C\nD\n", "A|+B|!C|+D|EOF", 4},
      {"A\n!B\n!C\nD", "A|!B|!C|D|EOF", 4},  // a last line without LF is left to next()
      {"A\r\nB\n", "A|B|EOF", 2},          // a block with a carriage return: record by record
      {"", "EOF", 0},
  };
  TempDir dir;
  for (const auto& c : cases) {
    FileUnit file(12);
    dir.read(file, c.bytes);
    EXPECT_EQ(joined(read_in_runs(file, not_bang)), c.shown) << c.bytes;
    EXPECT_EQ(file.line(), c.lines) << c.bytes;
  }
  FileUnit file(12);
  dir.read(file, "A\nB\nC\n!D\nE\n");
  TakeLines taker(not_bang);
  EXPECT_EQ(run_ops(file, "n"), "A");
  EXPECT_EQ(file.take_lines(taker), 2u);
  EXPECT_EQ(file.line(), 3);
  EXPECT_EQ(run_ops(file, "bnbbnn"), "C|C|!D");
  // With a record to deliver again after a step back, nothing is handed over.
  file.step_back();
  EXPECT_EQ(file.take_lines(taker), 0u);
  EXPECT_EQ(run_ops(file, "nn"), "!D|E");
  file.open_read(dir / "in.txt");  // opened again: from its start, line 0
  EXPECT_EQ(file.line(), 0);
  EXPECT_EQ(run_ops(file, "bn"), "A");
  EXPECT_EQ(file.line(), 1);
  // An in-memory unit hands nothing over; its records come by next().
  MemoryUnit mem("A\nB\n!C\nD\n");
  EXPECT_EQ(joined(read_in_runs(mem, not_bang)), "A|B|!C|D|EOF");
}

TEST(FileUnitOpen, Failures) {
  TempDir dir;
  fs::create_directory(dir / "folder");
  const struct { bool write; std::string name; const char* reason; } cases[] = {
      {false, "missing.rwl", "No such file or directory"}, {false, "folder", "Is a directory"},
      {false, std::string("a\0b", 3), "Invalid argument"}, {true, "folder", "Is a directory"},
      {true, "no/such/place.raw", "No such file or directory"},
  };
  for (const auto& c : cases) {
    FileUnit unit(c.write ? 13 : 12);
    const std::string path = dir / c.name;
    EXPECT_EQ(fatal_of([&] { c.write ? unit.open_write(path) : unit.open_read(path); }),
              (c.write ? "OPEN/13" : "OPEN/12") + (": Cannot open file '" + path + "': " + c.reason));
  }
  EXPECT_EQ(dir.entries(), std::set<std::string>{"folder"});
  EXPECT_TRUE(file_exists(dir / "folder") && !file_exists(dir / "missing.rwl"));
  FileUnit mem(12), full(13);  // the system refuses to read this process's memory at address 0
  std::string_view r;
  EXPECT_EQ(fatal_of([&] { mem.open_read("/proc/self/mem"), mem.next(r); }),
            "READ/12: Cannot read file '/proc/self/mem': Input/output error");
  // A device is written to directly, and its failure reported at close.
  EXPECT_EQ(fatal_of([&] { full.open_write("/dev/full"), full.put("x", true), full.close(); }),
            "WRITE/13: Cannot write file '/dev/full': No space left on device");
  EXPECT_EQ(fatal_of([&] { full.put("x", true); }), "WRITE/13: File is not open for writing");
  EXPECT_EQ(fatal_of([&] { full.room(1); }), "WRITE/13: File is not open for writing");
}

// Writes the record into the sink's room, line feed and all, as the Tucson
// writer formats its lines; through put() when the room is not given.
void put_in_room(RecordSink& sink, const std::string& record, bool line_end) {
  char* const room = sink.room(record.size() + 1);
  if (room == nullptr) return sink.put(record, line_end);
  record.copy(room, record.size());
  room[record.size()] = '\n';
  sink.commit(room + record.size() + (line_end ? 1 : 0), 1);
}

// A new output exists from the open on and an old one is untouched until
// close, which commits exactly the records (as a memory unit writes them,
// every other one formatted in the room of each unit; the big one does not
// fit a file's),
// through a symbolic link, with the permissions of a new file or of the old
// target, and leaves nothing else behind.
TEST(FileUnitWrite, CloseCommitsTheRecords) {
  TempDir dir;
  write_bytes(dir / "old.raw", "old contents\n");
  fs::permissions(dir / "old.raw", fs::perms(0640));
  fs::create_symlink("old.raw", dir / "link.raw");
  const std::string big(200000, 'h');
  std::string returns;  // carriage returns over several pieces handed to the system
  for (int i = 0; i < 400000; ++i) returns += i % 3 == 0 ? "\r" : "r";
  const std::pair<std::string, bool> records[] = {
      {"ABC01   1990   100", true}, {"", true}, {" prompt:  ", false}, {"a\rb", true}, {returns, true}, {big, true}};
  const mode_t mask = ::umask(022);
  for (const std::string name : {"new.raw", "link.raw"}) {
    FileUnit unit(13);
    MemoryUnit mem;
    unit.open_write(dir / name);
    EXPECT_EQ(slurp(dir / name), name == "new.raw" ? "" : "old contents\n");
    for (std::size_t i = 0; i < std::size(records); ++i) {
      const auto& [rec, line_end] = records[i];
      if (i % 2 == 0) unit.put(rec, line_end), mem.put(rec, line_end);
      if (i % 2 == 1) put_in_room(unit, rec, line_end), put_in_room(mem, rec, line_end);
    }
    EXPECT_EQ(unit.records_written(), 6);
    unit.close();
    EXPECT_TRUE(slurp(dir / name) ==
                "ABC01   1990   100\n\n prompt:  ab\n" + std::string(266666, 'r') + "\n" + big + "\n")
        << name;
    EXPECT_TRUE(mem.written() == slurp(dir / name));
  }
  ::umask(mask);
  EXPECT_TRUE(fs::status(dir / "new.raw").permissions() == fs::perms(0644) && fs::is_symlink(dir / "link.raw"));
  EXPECT_TRUE(fs::status(dir / "old.raw").permissions() == fs::perms(0640));
  EXPECT_EQ(dir.entries(), (std::set<std::string>{"link.raw", "new.raw", "old.raw"}));
}

// A committed output reaches the disk before it replaces the target, and
// its folder once the run flushes the folders it renamed outputs into.
TEST(FileUnitWrite, CommittedOutputAndItsFolderReachTheDisk) {
  TempDir dir;
  const int files = g_file_syncs, folders = g_folder_syncs;
  FileUnit unit(13);
  unit.open_write(dir / "t.raw");
  unit.put("ABC01   1990   100", true);
  unit.close();
  EXPECT_EQ(std::pair(g_file_syncs - files, g_folder_syncs - folders), std::pair(1, 0));
  sync_output_folders();
  EXPECT_EQ(std::pair(g_file_syncs - files, g_folder_syncs - folders), std::pair(1, 1));
}

// An output whose close fails after its bytes were flushed is not
// committed: the target keeps what it had, and no temporary file is left.
TEST(FileUnitWrite, FailedCloseKeepsTheTarget) {
  TempDir dir;
  write_bytes(dir / "t.raw", "good old output\n");
  FileUnit unit(13);
  unit.open_write(dir / "t.raw");
  unit.put("new output", true);
  g_fail_next_close = true;
  EXPECT_EQ(fatal_of([&] { unit.close(); }), "CLOSE/13: Cannot close file '" + dir / "t.raw" + "': Input/output error");
  EXPECT_EQ(slurp(dir / "t.raw"), "good old output\n");
  EXPECT_EQ(dir.entries(), std::set<std::string>{"t.raw"});
}

// A big output (its blocks reserved ahead as it grows) is committed whole,
// with no more disk blocks than its bytes need: the reserve past its end is
// given back; the unit's next output starts afresh.
TEST(FileUnitWrite, BigOutputKeepsNoReserveBeyondItsEnd) {
  TempDir dir;
  const std::string line(80, '7');
  FileUnit unit(13);  // one unit for both, as a run reuses its output units from file to file
  for (const std::size_t lines : {std::size_t{70000}, std::size_t{55000}}) {  // about 5.7 and 4.5 MB
    unit.open_write(dir / "big.raw");
    for (std::size_t i = 0; i < lines; ++i) unit.put(line, true);
    unit.close();
    struct stat st {};
    ASSERT_EQ(::stat((dir / "big.raw").c_str(), &st), 0);
    EXPECT_EQ(static_cast<std::size_t>(st.st_size), 81 * lines);
    EXPECT_LE(static_cast<std::int64_t>(st.st_blocks) * 512, st.st_size + (64 << 10)) << lines;
  }
  EXPECT_TRUE(slurp(dir / "big.raw") == [&] {
    std::string all;
    for (int i = 0; i < 55000; ++i) all += line + "\n";
    return all;
  }());
}

// Nothing written and closed, the unit gone before close() (a stop or a
// fatal report part-way), or a failed write (a full disk, played by a file
// size limit) and a close after it: an old target stays, a new one stays
// empty, and no temporary file is left.
TEST(FileUnitWrite, UnfinishedOutputsLeaveTargetsAsTheyWere) {
  const auto old_handler = ::signal(SIGXFSZ, SIG_IGN);
  rlimit limit{}, small{};
  ::getrlimit(RLIMIT_FSIZE, &limit);
  small = {1000, limit.rlim_max};
  for (const std::string how : {"nothing", "gone", "failed"}) {
    for (const bool existing : {true, false}) {
      TempDir dir;
      if (existing) write_bytes(dir / "t.raw", "good old output\n");
      {
        FileUnit unit(13);
        unit.open_write(dir / "t.raw");
        ::setrlimit(RLIMIT_FSIZE, how == "failed" ? &small : &limit);
        const std::string got = fatal_of([&] {
          for (int i = 0; how != "nothing" && i < 40000; ++i) unit.put("partial output line", true);  // past the buffer
        });
        ::setrlimit(RLIMIT_FSIZE, &limit);
        EXPECT_EQ(got, how != "failed" ? "none" : "WRITE/13: Cannot write file '" + dir / "t.raw" + "': File too large");
        if (how == "failed") {
          EXPECT_EQ(fatal_of([&] { unit.room(80); }), got);  // never a write after a failed one
        }
        if (how != "gone") {
          unit.close();  // the clean-up is close()'s own, not left to the destructor
          EXPECT_EQ(std::tuple(unit.is_open(), dir.entries()), std::tuple(false, std::set<std::string>{"t.raw"}))
              << how << existing;
        }
      }
      EXPECT_EQ(slurp(dir / "t.raw"), existing ? "good old output\n" : "") << how << existing;
      EXPECT_EQ(dir.entries(), std::set<std::string>{"t.raw"});
    }
  }
  ::signal(SIGXFSZ, old_handler);
}

}  // namespace
}  // namespace ringave
