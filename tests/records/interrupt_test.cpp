// The clean-up on a signal: the slots for files to remove, and the handler
// that removes them and ends the run by the signal.
#include "records/interrupt.h"

#include <climits>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "test_files.h"

namespace {

namespace fs = std::filesystem;
using namespace ringave;

TEST(InterruptSlots, TakenUpToTheLimitAndFreedForReuse) {
  std::vector<int> taken;
  for (int i = 0; i < kCleanupSlots; ++i) {
    taken.push_back(register_for_cleanup("/nonexistent/slot"));
    EXPECT_GE(taken.back(), 0);
  }
  EXPECT_EQ(register_for_cleanup("/nonexistent/one-more"), -1);
  release_cleanup(taken[3]);
  EXPECT_EQ(register_for_cleanup("/nonexistent/again"), taken[3]);
  for (int slot : taken) release_cleanup(slot);
  release_cleanup(-1);  // nothing to forget
  EXPECT_EQ(register_for_cleanup(std::string(PATH_MAX, 'x').c_str()), -1) << "a name too long to keep";
  const int longest = register_for_cleanup(std::string(PATH_MAX - 1, 'x').c_str());
  EXPECT_GE(longest, 0);
  release_cleanup(longest);
}

// In a child: install the handler (with `ignored` ignored beforehand),
// register the file unless `released`, then send `signo` to itself. Returns
// the child's status as a shell shows it.
int child_signalled(int signo, int ignored, const fs::path& file, bool released) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (ignored != 0) signal(ignored, SIG_IGN);
    install_interrupt_cleanup();
    int slot;
    {
      InterruptsHeld held;
      slot = register_for_cleanup(file.c_str());
      // Held back: the file must still be there when the hold ends.
      raise(signo);
      if (access(file.c_str(), F_OK) != 0) _exit(3);
      if (released) release_cleanup(slot);
    }
    _exit(0);
  }
  int st = 0;
  waitpid(pid, &st, 0);
  return WIFSIGNALED(st) ? 128 + WTERMSIG(st) : WEXITSTATUS(st);
}

TEST(InterruptHandler, RemovesRegisteredFilesAndEndsByTheSignal) {
  const struct { int signo, ignored; bool released; int status; bool file_left; } cases[] = {
      {SIGINT, 0, false, 130, false}, {SIGTERM, 0, false, 143, false}, {SIGHUP, 0, false, 129, false},
      {SIGINT, 0, true, 130, true},          // committed before the signal came through
      {SIGHUP, SIGHUP, false, 0, true},      // ignored from the start: the run goes on
      {SIGTERM, SIGHUP, false, 143, false},  // only the ignored one stays ignored
  };
  ringave::testing::ScratchFolder dir("ringave-interrupt");
  const fs::path file = dir.path / "x_AVE.raw.AbCdEf";
  for (const auto& c : cases) {
    std::ofstream(file) << "partial";
    EXPECT_EQ(child_signalled(c.signo, c.ignored, file, c.released), c.status) << c.signo << "/" << c.ignored;
    EXPECT_EQ(fs::exists(file), c.file_left) << c.signo << "/" << c.ignored;
  }
}

}  // namespace
