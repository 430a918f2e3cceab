// End-to-end runs of the ringave binary, one scenario per folder of
// tests/data/e2e. files/ is copied into an empty run folder; `setup` may add
// generated files, folders and permissions and choose how the process starts;
// `answers` goes to standard input (empty when there is none); `args`, when
// given, holds the command-line arguments, one per line. The exit status must then equal `status`,
// standard output `stdout` (or hold `stdout.has`), standard error `stderr`
// (or hold `stderr.has`; empty when neither is given). Every file of expect/
// must be in the run folder byte for byte, the inputs must be as they were,
// and nothing else may be left there (no temporary or stale output). A
// failing command-line run's standard error holds no "sbr" and no "(Max:".
//
// setup lines:  env noinput|full|brokenpipe|fsize|nobody   mkdir NAME   chmod NAME OCTAL
//               gen NAME COUNT FORMAT  (appends FORMAT printed with 1..COUNT)
//               any NAME  (the run may write NAME; its contents are not checked)
//               signal INT|TERM|HUP after TEXT  (standard input stays an open
//                 pipe; once standard output holds TEXT the signal is sent,
//                 then `answers.after`, if given, is written and the pipe closed)
//               ignore INT|TERM|HUP  (the run starts with the signal ignored)
// A run ended by a signal has the status a shell shows: 128 + its number.
//
// A run as `nobody` uses a copy of the binary in a folder that user can
// reach (the build tree may lie inside a private folder); when no such copy
// can be made the scenario is skipped with the reason.
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "test_files.h"

namespace {

namespace fs = std::filesystem;
using ringave::testing::slurp;

void spill(const fs::path& p, const std::string& text, bool append = false) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary | (append ? std::ios::app : std::ios::trunc)) << text;
}

// Regular files of a folder and below (symbolic links followed), by relative path.
std::map<std::string, std::string> files_in(const fs::path& dir) {
  std::map<std::string, std::string> out;
  if (!fs::exists(dir)) return out;
  for (const auto& e : fs::recursive_directory_iterator(dir))
    if (e.is_regular_file()) out[e.path().lexically_relative(dir).string()] = slurp(e.path());
  return out;
}

// A difference is shown as its first differing line rather than the whole text.
void expect_same(const std::string& got, const std::string& want, const std::string& what) {
  if (got == want) return;
  const std::size_t at = std::mismatch(got.begin(), got.begin() + std::min(got.size(), want.size()), want.begin()).first - got.begin();
  const std::size_t from = at == 0 ? 0 : got.rfind('\n', at - 1) + 1;
  const auto line = [&](const std::string& s) { return s.substr(from, s.find('\n', from) - from); };
  ADD_FAILURE() << what << " differs at byte " << at + 1 << " (sizes " << got.size() << ", " << want.size()
                << ")\n   got: [" << line(got) << "]\n  want: [" << line(want) << "]";
}

struct Outcome {
  std::string out, err;
  int status = -1;  // 128 + signal number when ended by a signal
};

struct Start {
  std::string env;
  std::string binary = RINGAVE_BIN;
  int signal = 0;           // sent once standard output holds `signal_after`
  std::string signal_after;
  std::string after;        // answers written once the signal is sent
  std::vector<int> ignored;  // signals ignored from the start
  std::vector<std::string> args;  // after the program name
};

int signal_named(const std::string& name) {
  if (name == "INT") return SIGINT;
  if (name == "TERM") return SIGTERM;
  if (name == "HUP") return SIGHUP;
  ADD_FAILURE() << "unknown signal " << name;
  return 0;
}

void write_all(int fd, const std::string& text) {
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n <= 0) return;  // the run has gone: what it did not read stays unread
    done += static_cast<std::size_t>(n);
  }
}

// Waits until the file holds `text`; false after 20 s or when the child ends first.
bool wait_for_text(const fs::path& file, const std::string& text, pid_t pid) {
  for (int i = 0; i < 20000; ++i) {
    if (slurp(file).find(text) != std::string::npos) return true;
    siginfo_t info{};
    if (waitid(P_PID, pid, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid) return false;
    usleep(1000);
  }
  return false;
}

// Runs the binary in `dir`; standard output and error pass through files in
// `io`, standard input through a file or, when a signal is to be sent, a pipe.
Outcome run_binary(const fs::path& dir, const fs::path& io, const std::string& answers, const Start& how) {
  const std::string& env = how.env;
  spill(io / "in", answers);
  int feed[2] = {-1, -1};
  if (how.signal != 0 && pipe2(feed, O_CLOEXEC) != 0) return {};
  const int fi = how.signal != 0 ? feed[0] : open((io / "in").c_str(), O_RDONLY);
  const int fo = open((io / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int fe = open((io / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0 || dup2(fi, 0) < 0 || dup2(fo, 1) < 0 || dup2(fe, 2) < 0) _exit(120);
    close(fi), close(fo), close(fe);
    signal(SIGPIPE, SIG_DFL);
    for (int s : how.ignored) signal(s, SIG_IGN);
    if (env == "noinput") close(0);  // descriptor 0 not open at all
    if (env == "full" && dup2(open("/dev/full", O_WRONLY), 1) < 0) _exit(121);
    if (env == "brokenpipe") {  // standard output a pipe that nobody reads
      int p[2];
      if (pipe(p) != 0 || dup2(p[1], 1) < 0) _exit(124);
      close(p[0]), close(p[1]);
    }
    if (env == "fsize") {  // writes beyond 100 KiB fail with EFBIG, like a full disk
      signal(SIGXFSZ, SIG_IGN);
      const rlimit small{100 << 10, 100 << 10};
      setrlimit(RLIMIT_FSIZE, &small);
    }
    if (env == "nobody" && geteuid() == 0 && (setgroups(0, nullptr) || setgid(65534) || setuid(65534))) _exit(122);
    alarm(120);  // a hang ends by a signal, which fails the scenario
    std::vector<char*> argv{const_cast<char*>("ringave")};
    for (const std::string& a : how.args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(how.binary.c_str(), argv.data());
    _exit(123);
  }
  close(fi), close(fo), close(fe);
  if (how.signal != 0) {
    signal(SIGPIPE, SIG_IGN);  // a run that has ended leaves the rest of its answers unread
    write_all(feed[1], answers);
    if (pid > 0 && wait_for_text(io / "out", how.signal_after, pid)) {
      kill(pid, how.signal);
      write_all(feed[1], how.after);
    } else {
      ADD_FAILURE() << "standard output never held: " << how.signal_after;
    }
    close(feed[1]);
  }
  Outcome r;
  int st = 0;
  if (pid > 0 && waitpid(pid, &st, 0) == pid) {
    if (WIFEXITED(st)) r.status = WEXITSTATUS(st);
    if (WIFSIGNALED(st)) r.status = 128 + WTERMSIG(st);
  }
  r.out = slurp(io / "out");
  r.err = slurp(io / "err");
  return r;
}

void expect_stream(const fs::path& scenario, const std::string& name, const std::string& got, bool empty_by_default) {
  if (fs::exists(scenario / name)) {
    expect_same(got, slurp(scenario / name), name);
  } else if (fs::exists(scenario / (name + ".has"))) {
    EXPECT_NE(got.find(slurp(scenario / (name + ".has"))), std::string::npos) << name << ":\n" << got.substr(0, 4000);
  } else if (empty_by_default) {
    EXPECT_EQ(got, "") << name;
  }
}

void open_up(const fs::path& dir) {
  fs::permissions(dir, fs::perms::all);
  for (const auto& e : fs::recursive_directory_iterator(dir)) fs::permissions(e.path(), fs::perms::all);
}

// The build tree may lie in a folder that nobody cannot enter: the run uses
// a copy of the program in a folder of its own under `tmp`. Returns why the
// scenario cannot run as nobody, or "" with `binary` set to the copy.
std::string copy_for_nobody(const fs::path& tmp, std::string& binary) {
  if (geteuid() != 0) return "running as nobody needs root; this run is not root";
  for (fs::path p = tmp; p != p.root_path(); p = p.parent_path()) {
    if ((fs::status(p).permissions() & fs::perms::others_exec) == fs::perms::none)
      return "nobody cannot enter " + p.string() + ", which holds the temporary folders";
  }
  const fs::path bin = tmp / "bin";
  std::error_code ec;
  fs::create_directory(bin, ec);
  if (!ec) fs::copy_file(RINGAVE_BIN, bin / "ringave", ec);
  if (!ec) fs::permissions(bin, static_cast<fs::perms>(0755), ec);
  if (!ec) fs::permissions(bin / "ringave", static_cast<fs::perms>(0755), ec);
  if (ec) return "no copy of the program for nobody: " + ec.message();
  binary = (bin / "ringave").string();
  return "";
}

class Scenario : public ::testing::TestWithParam<std::string> {};

TEST_P(Scenario, RunsAsRecorded) {
  const fs::path sc = fs::path(RINGAVE_TEST_DATA) / "e2e" / GetParam();
  std::string tmpl = (fs::temp_directory_path() / "ringave-e2e-XXXXXX").string();
  ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
  const fs::path tmp = tmpl, run = tmp / "run";
  fs::create_directory(run);
  for (const auto& [name, text] : files_in(sc / "files")) spill(run / name, text);
  open_up(tmp);  // reachable when run as nobody

  Start how;
  if (fs::exists(sc / "args")) {
    std::istringstream args(slurp(sc / "args"));
    for (std::string a; std::getline(args, a);) how.args.push_back(a);
  }
  std::set<std::string> any;
  std::istringstream setup(slurp(sc / "setup"));
  for (std::string op, name, rest; setup >> op >> name && std::getline(setup, rest);) {
    if (op == "env") how.env = name;
    if (op == "any") any.insert(name);
    if (op == "mkdir") fs::create_directories(run / name);
    if (op == "chmod") fs::permissions(run / name, static_cast<fs::perms>(std::stoi(rest, nullptr, 8)));
    if (op == "ignore") how.ignored.push_back(signal_named(name));
    if (op == "signal") {
      how.signal = signal_named(name);
      how.signal_after = rest.substr(rest.find("after ") + 6);
      if (fs::exists(sc / "answers.after")) how.after = slurp(sc / "answers.after");
    }
    if (op != "gen") continue;
    std::size_t fmt_at = 0;
    const int count = std::stoi(rest, &fmt_at);
    std::string fmt = rest.substr(fmt_at + 1), text;
    for (std::size_t k; (k = fmt.find("\\n")) != std::string::npos;) fmt.replace(k, 2, "\n");
    char buf[512];
    for (int i = 1; i <= count; ++i) text.append(buf, std::snprintf(buf, sizeof buf, fmt.c_str(), i));
    spill(run / name, text, true);
  }
  if (how.env == "nobody") {
    const std::string why = copy_for_nobody(tmp, how.binary);
    if (!why.empty()) {
      open_up(run);  // folders the setup made read-only, so that they can be removed
      fs::remove_all(tmp);
      GTEST_SKIP() << why;
    }
  }
  const std::map<std::string, std::string> inputs = files_in(run);

  const Outcome r = run_binary(run, tmp, slurp(sc / "answers"), how);
  EXPECT_EQ(r.status, std::stoi(slurp(sc / "status"))) << r.err;
  expect_stream(sc, "stdout", r.out, false);
  expect_stream(sc, "stderr", r.err, true);
  // A failing command line speaks plain words: no routine or limit names.
  if (!how.args.empty() && r.status != 0) {
    for (const char* dialogue : {"sbr", "(Max:"}) EXPECT_EQ(r.err.find(dialogue), std::string::npos) << r.err;
  }

  open_up(run);
  const std::map<std::string, std::string> want = files_in(sc / "expect");
  for (const auto& [name, text] : files_in(run)) {
    if (want.count(name) || any.count(name)) continue;
    if (inputs.count(name)) expect_same(text, inputs.at(name), "input " + name);
    if (!inputs.count(name)) ADD_FAILURE() << "left behind: " << name;
  }
  for (const auto& [name, text] : want) {
    EXPECT_TRUE(fs::exists(run / name)) << "not written: " << name;
    if (fs::exists(run / name)) expect_same(slurp(run / name), text, name);
  }
  fs::remove_all(tmp);
}

std::vector<std::string> scenarios() {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(fs::path(RINGAVE_TEST_DATA) / "e2e")) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

INSTANTIATE_TEST_SUITE_P(E2E, Scenario, ::testing::ValuesIn(scenarios()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace
