// The console over pipes: prompts on the screen before the wait, answers,
// end of input, pause and warnings.
#include "records/console.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "records/outcome.h"
#include "records/transfer.h"

namespace ringave {
namespace {

// A console whose standard input holds `answers` (then ends) and whose
// standard output and error output are pipes the test can drain.
class PipedConsole {
 public:
  explicit PipedConsole(const std::string& answers) {
    int in[2];
    EXPECT_EQ(::pipe(in), 0);
    EXPECT_EQ(::pipe(out_), 0);
    EXPECT_EQ(::pipe(err_), 0);
    EXPECT_EQ(::write(in[1], answers.data(), answers.size()), static_cast<ssize_t>(answers.size()));
    ::close(in[1]);
    in_ = in[0];
    ::fcntl(out_[0], F_SETFL, O_NONBLOCK);
    ::fcntl(err_[0], F_SETFL, O_NONBLOCK);
    con_ = new Console(in_, out_[1], err_[1]);
  }
  ~PipedConsole() {
    delete con_;
    for (int fd : {in_, out_[0], out_[1], err_[0], err_[1]}) ::close(fd);
  }
  Console& con() { return *con_; }
  // What has reached standard output (or the error output) so far.
  std::string out() { return drain(out_[0]); }
  std::string err() { return drain(err_[0]); }

 private:
  static std::string drain(int fd) {
    std::string got;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0) got.append(buf, static_cast<std::size_t>(n));
    return got;
  }
  int in_ = -1;
  int out_[2] = {-1, -1};
  int err_[2] = {-1, -1};
  Console* con_ = nullptr;
};

TEST(ConsoleTest, PromptIsOnTheScreenBeforeTheWait) {
  PipedConsole pc("answer\n");
  pc.con().put(" Enter input file name :  ", false);
  EXPECT_EQ(pc.out(), "") << "output is buffered until a read or a flush";
  std::string_view record;
  ASSERT_TRUE(pc.con().next(record));
  EXPECT_EQ(record, "answer");
  EXPECT_EQ(pc.out(), " Enter input file name :  ");
}

TEST(ConsoleTest, RecordsSplitLikeFiles) {
  PipedConsole pc("a\r\n\tb\nlast");
  std::vector<std::string> got;
  std::string_view record;
  while (pc.con().next(record)) got.emplace_back(record);
  EXPECT_EQ(got, (std::vector<std::string>{"a", "        b", "last"}));
}

TEST(ConsoleTest, OutputRecordsFlushAndWarn) {
  PipedConsole pc("");
  pc.con().put(" line", true);
  pc.con().put("c\rr", true);
  pc.con().warn("Warning: something");
  EXPECT_EQ(pc.out(), " line\ncr\n") << "standard output comes first";
  EXPECT_EQ(pc.err(), "Warning: something\n");
  pc.con().put("x", false);
  pc.con().flush();
  EXPECT_EQ(pc.out(), "x");
}

TEST(ConsoleTest, LargeOutputIsWrittenWithoutAFlush) {
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  {
    Console con(0, ::fileno(f), 2);
    for (int i = 0; i < 10000; ++i) con.put("0123456789", true);
    struct stat st;
    ASSERT_EQ(::fstat(::fileno(f), &st), 0);
    EXPECT_GT(st.st_size, 0);
  }
  struct stat st;
  ASSERT_EQ(::fstat(::fileno(f), &st), 0);
  EXPECT_EQ(st.st_size, 110000) << "the rest is written when the console goes";
  std::fclose(f);
}

void expect_fatal_read(const std::function<void()>& f, const char* message) {
  try {
    f();
    ADD_FAILURE() << "no FatalError";
  } catch (const FatalError& e) {
    EXPECT_EQ(e.message, message);
    EXPECT_EQ(e.statement, "READ");
    EXPECT_EQ(e.unit, "*");
  }
}

TEST(ConsoleAnswerTest, Numbers) {
  struct Case {
    const char* answers;
    std::int32_t first;
    std::int32_t second;  // a second answer read after the first
  };
  const Case cases[] = {
      {"3\n4\n", 3, 4},
      {"\n   \n  42\n7\n", 42, 7},  // blank lines skipped
      {"3 4\n5\n", 3, 5},          // only the first value of a line
      {"-12,9\n+8\n", -12, 8},
      {",\n/\n", 99, 99},  // null value and slash keep the old value
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answers);
    PipedConsole pc(c.answers);
    std::int32_t a = 99, b = 99;
    read_answer(pc.con(), a);
    read_answer(pc.con(), b);
    EXPECT_EQ(a, c.first);
    EXPECT_EQ(b, c.second);
  }
}

TEST(ConsoleAnswerTest, BadNumbersAndEndOfInputAreFatal) {
  const std::pair<const char*, const char*> cases[] = {
      {"3a\n", kIllegalCharacter},
      {"2.5\n", kIllegalCharacter},
      {"", kReadPastEnd},
      {"\n\n  \n", kReadPastEnd},
  };
  for (const auto& [answers, message] : cases) {
    SCOPED_TRACE(answers);
    PipedConsole pc(answers);
    std::int32_t n = 0;
    expect_fatal_read([&] { read_answer(pc.con(), n); }, message);
  }
}

TEST(ConsoleAnswerTest, YesNo) {
  const std::pair<const char*, bool> cases[] = {
      {"T\n", true},  {"t\n", true},    {"True\n", true}, {".true.\n", true}, {"Tree\n", true},
      {"F\n", false}, {"yes\n", false}, {"N\n", false},   {"1\n", false},     {"\nT\n", true},
  };
  for (const auto& [answer, want] : cases) {
    SCOPED_TRACE(answer);
    PipedConsole pc(answer);
    bool yes = !want;
    read_answer(pc.con(), yes);
    EXPECT_EQ(yes, want);
  }
  PipedConsole pc("");
  bool yes = false;
  expect_fatal_read([&] { read_answer(pc.con(), yes); }, kReadPastEnd);
}

TEST(ConsoleAnswerTest, Lines) {
  const std::string sixty(60, 'n');
  const std::pair<std::string, std::string> cases[] = {
      {"  site.rwl\n", "  site.rwl"},     // leading blanks stay
      {sixty + "\n", sixty.substr(0, 50)},  // cut to 50
      {"\n", ""},                          // an empty line is 50 blanks
      {"'quoted' a/b, c\n", "'quoted' a/b, c"},
  };
  for (const auto& [answer, want] : cases) {
    SCOPED_TRACE(answer);
    PipedConsole pc(answer);
    Field<50> line("old");
    read_answer(pc.con(), line);
    EXPECT_EQ(line, Field<50>(want));
  }
  PipedConsole pc("");
  Field<50> line;
  expect_fatal_read([&] { read_answer(pc.con(), line); }, kReadPastEnd);
}

TEST(ConsoleAnswerTest, PauseDiscardsOneLine) {
  PipedConsole pc("anything at all\n5\n");
  pause(pc.con(), "Hit RETURN to Quit");
  EXPECT_EQ(pc.out(), " Hit RETURN to Quit\n");
  std::int32_t n = 0;
  read_answer(pc.con(), n);
  EXPECT_EQ(n, 5);
}

TEST(ConsoleAnswerTest, PauseAtEndOfInputJustReturns) {
  PipedConsole pc("");
  pause(pc.con(), " ");
  EXPECT_EQ(pc.out(), "  \n");
}

// A process started with standard input and output closed: the console
// takes their numbers, so files opened later cannot, and the closed input
// reads as end of input.
TEST(ConsoleTest, ClosedStandardStreams) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(0);
    ::close(1);
    Console& con = console();
    const int later = ::open("/dev/null", O_RDONLY);
    std::int32_t n = 0;
    try {
      read_answer(con, n);
    } catch (const FatalError& e) {
      ::_exit(later > 2 && e.message == kReadPastEnd ? 0 : 1);
    }
    ::_exit(2);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace ringave
