// The console over pipes: prompts on the screen before the wait, answers,
// end of input, pause and warnings.
#include "records/console.h"

#include <fcntl.h>
#include <unistd.h>

#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "records/outcome.h"

namespace ringave {
namespace {

// A console whose standard input holds `answers` (then ends) and whose
// standard output and error output share one pipe, so their order shows.
struct PipedConsole {
  explicit PipedConsole(const std::string& answers) {
    EXPECT_EQ(::pipe(in) | ::pipe(out), 0);
    EXPECT_EQ(::write(in[1], answers.data(), answers.size()), static_cast<ssize_t>(answers.size()));
    ::close(in[1]);
    ::fcntl(out[0], F_SETFL, O_NONBLOCK);
    con.emplace(in[0], out[1], out[1]);
  }
  ~PipedConsole() { con.reset(), ::close(in[0]), ::close(out[0]), ::close(out[1]); }
  std::string shown() {
    std::string got;
    char buf[4096];
    for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) > 0;) got.append(buf, static_cast<std::size_t>(n));
    return got;
  }
  int in[2], out[2];
  std::optional<Console> con;
};

TEST(ConsoleTest, PromptIsOnTheScreenBeforeTheWait) {
  PipedConsole pc("\tanswer\r\n");
  pc.con->put(" Enter input file name :  ", false);
  EXPECT_EQ(pc.shown(), "") << "output is buffered until a read or a flush";
  std::string_view record;
  ASSERT_TRUE(pc.con->next(record));
  EXPECT_EQ(record, "        answer");  // records split and cleaned as in files
  EXPECT_EQ(pc.shown(), " Enter input file name :  ");
  pc.con->put("c\rr", true);
  pc.con->warn("Warning: something");
  EXPECT_EQ(pc.shown(), "cr\nWarning: something\n");
}

// Answers read in a row, one per letter of `kinds`: 'n' a number (old value
// 99), 'y' yes/no (old value false), 'l' a line, 'p' a pause; "!" and the
// report when one is fatal; then what reached the screen.
std::string answers(const char* kinds, const std::string& input) {
  PipedConsole pc(input);
  std::string shown;
  try {
    for (const char* k = kinds; *k; ++k) {
      std::int32_t n = 99;
      bool yes = false;
      Field<50> line("old");
      if (*k == 'n') read_answer(*pc.con, n), shown += std::to_string(n) + " ";
      if (*k == 'y') read_answer(*pc.con, yes), shown += yes ? "T " : "F ";
      if (*k == 'l') read_answer(*pc.con, line), shown += line.str() + "|";
      if (*k == 'p') pause(*pc.con, "Hit RETURN to Quit");
    }
  } catch (const Error& e) {
    shown += "!" + e.message + " " + e.statement + "(" + e.unit + ")";
  }
  return shown + pc.shown();
}

TEST(ConsoleTest, Answers) {
  const struct { const char* kinds; std::string input, shown; } cases[] = {
      {"nn", "\n   \n  42\n7\n", "42 7 "}, {"nn", "3 4\n-5,9\n", "3 -5 "},  // blank lines skipped; first value only
      {"nn", ",\n/\n", "99 99 "}, {"nn", "3a\n", "!Illegal character in numeric input READ(*)"},  // null, "/": old value
      {"nn", "1\n\n  \n", "1 !Attempt to read past end of file READ(*)"},
      {"yyy", "T\n.true.\nyes\n", "T T F "}, {"yy", "\nTree\n", "T !Attempt to read past end of file READ(*)"},
      {"ll", "  site.rwl\n" + std::string(60, 'n') + "\n",  // leading blanks kept, padded or cut to 50
       "  site.rwl" + std::string(40, ' ') + "|" + std::string(50, 'n') + "|"},
      {"l", "", "!Attempt to read past end of file READ(*)"},
      {"pn", "anything at all\n5\n", "5  Hit RETURN to Quit\n"},  // the pause discards one line
      {"pn", "", "!Attempt to read past end of file READ(*) Hit RETURN to Quit\n"},  // or meets the end
  };
  for (const auto& c : cases) EXPECT_EQ(answers(c.kinds, c.input), c.shown) << c.input;
}

}  // namespace
}  // namespace ringave
