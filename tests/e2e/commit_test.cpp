// The commit of outputs under stress, with the real ringave binary: runs
// killed (SIGKILL) or interrupted (SIGINT) at many moments of a list run over
// inputs whose outputs already exist, and runs writing the same outputs at
// the same moment. Every `_AVE.raw` must always be its old contents or the
// complete new contents; an interrupt and a finished run leave no temporary
// file, a hard kill may.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "test_files.h"

namespace {

namespace fs = std::filesystem;
using ringave::testing::slurp;

// Four inputs of both formats and of different sizes, so that a list run
// spends its time reading, averaging and writing in turn.
const char* const kInputs[] = {"nm046.rwl", "wa082_cmp.cmp", "anos1.rwl", "gp.rwl"};
const char* const kOutputs[] = {"nm046_AVE.raw", "wa082_cmp_AVE.raw", "anos1_AVE.raw", "gp_AVE.raw"};

// Old outputs that differ from the new ones in length and content.
std::string old_output(int k) { return "OLD0" + std::to_string(k) + "1  1990   100   200  -9999\n"; }

class CommitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* in : kInputs) fs::copy_file(fs::path(RINGAVE_TEST_DATA) / in, dir_ / in);
    std::ofstream(dir_ / "k.lst") << "nm046.rwl 1 4 5\nwa082_cmp.cmp 2 4 5\nanos1.rwl 1 6 7\ngp.rwl 1 1 2\n";
    std::ofstream(dir_ / "answers") << "T\nk.lst\n";
    // The complete new outputs, from a run nobody disturbs.
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(wait_status(start()), 0);
    run_time_ = std::chrono::steady_clock::now() - t0;
    for (const char* out : kOutputs) fresh_.push_back(slurp(dir_ / out));
    for (const std::string& f : fresh_) ASSERT_FALSE(f.empty());
  }

  // Starts a list run in the folder; the pipe `go`, when given, is read to
  // its end before the program starts, so that several runs start together.
  pid_t start(const int* go = nullptr) {
    const pid_t pid = fork();
    if (pid == 0) {
      char c;
      if (go != nullptr) close(go[1]);
      while (go != nullptr && read(go[0], &c, 1) > 0) {
      }
      const int in = open((dir_ / "answers").c_str(), O_RDONLY), null = open("/dev/null", O_WRONLY);
      if (chdir(dir_.c_str()) != 0 || dup2(in, 0) < 0 || dup2(null, 1) < 0) _exit(120);
      alarm(60);
      execl(RINGAVE_BIN, "ringave", static_cast<char*>(nullptr));
      _exit(123);
    }
    return pid;
  }

  // The status a shell shows: 128 + the signal number for a run a signal ended.
  static int wait_status(pid_t pid) {
    int st = 0;
    if (pid <= 0 || waitpid(pid, &st, 0) != pid) return -1;
    return WIFSIGNALED(st) ? 128 + WTERMSIG(st) : WEXITSTATUS(st);
  }

  void put_old_outputs() {
    for (int k = 0; k < 4; ++k) std::ofstream(dir_ / kOutputs[k]) << old_output(k);
  }

  // Every output old or complete; returns the names of temporary files found (and removes them).
  std::vector<std::string> check_outputs(const std::string& when) {
    for (int k = 0; k < 4; ++k) {
      const std::string got = slurp(dir_ / kOutputs[k]);
      EXPECT_TRUE(got == old_output(k) || got == fresh_[k])
          << kOutputs[k] << " " << when << " is neither old nor complete (" << got.size() << " bytes)";
    }
    std::vector<std::string> temps;
    for (const auto& e : fs::directory_iterator(dir_))
      if (e.path().filename().string().find("_AVE.raw.") != std::string::npos) temps.push_back(e.path().filename()), fs::remove(e.path());
    return temps;
  }

  ringave::testing::ScratchFolder folder_{"ringave-commit"};
  const fs::path& dir_ = folder_.path;
  std::chrono::steady_clock::duration run_time_{};
  std::vector<std::string> fresh_;
};

// Signals a list run at 24 moments spread over a little more than an
// undisturbed run's time; some of them must reach a run.
TEST_F(CommitTest, KilledOrInterruptedAnywhereEveryOutputIsOldOrComplete) {
  for (const int signo : {SIGKILL, SIGINT}) {
    int ended_by_signal = 0;
    for (int i = 0; i < 24; ++i) {
      put_old_outputs();
      const auto delay = std::chrono::duration_cast<std::chrono::nanoseconds>(run_time_ * 1.2 * i / 24);
      const pid_t pid = start();
      const timespec ts{static_cast<time_t>(delay.count() / 1000000000), static_cast<long>(delay.count() % 1000000000)};
      nanosleep(&ts, nullptr);
      kill(pid, signo);
      const int status = wait_status(pid);
      const std::string when = "after signal " + std::to_string(signo) + " at " + std::to_string(delay.count() / 1000) + " us";
      EXPECT_TRUE(status == 128 + signo || status == 0) << when << ": status " << status;
      ended_by_signal += status == 128 + signo;
      const std::vector<std::string> temps = check_outputs(when);
      EXPECT_TRUE(signo == SIGKILL || temps.empty()) << when << ": left behind " << temps.front();
    }
    EXPECT_GT(ended_by_signal, 0) << "no signal " << signo << " reached a run";
  }
}

TEST_F(CommitTest, ConcurrentRunsEachCommitCompleteOutputs) {
  for (int round = 0; round < 3; ++round) {
    put_old_outputs();
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    std::vector<pid_t> runs;
    for (int i = 0; i < 6; ++i) runs.push_back(start(go));
    close(go[0]), close(go[1]);  // all six start now
    for (pid_t pid : runs) EXPECT_EQ(wait_status(pid), 0);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(slurp(dir_ / kOutputs[k]), fresh_[k]) << kOutputs[k];
    const std::vector<std::string> temps = check_outputs("after concurrent runs");
    EXPECT_TRUE(temps.empty()) << "left behind: " << temps.front();
  }
}

}  // namespace
