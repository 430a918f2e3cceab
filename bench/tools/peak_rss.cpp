// peak_rss [-n runs] [-i stdin-file] [-o stdout-file] -- command [args...]
//
// Runs a command `runs` times (default 1), each with standard input from
// stdin-file (default /dev/null) and standard output to stdout-file (default
// /dev/null), and prints one line:
//
//   <best wall s> <largest peak resident set in KiB> <exit status of the last run> <best CPU s>
//
// Wall time is taken from just before fork to just after the child is reaped;
// CPU time (user + system) and the peak resident set are the child's own, from
// wait4. On a machine shared with other work the CPU time is the steadier
// figure; the wall time is what the user waits. Standard
// error of the command is passed through. Used by bench/run.sh, so that the
// benchmark needs neither /usr/bin/time nor a scripting language.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace {

double now() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

int usage() {
  std::fprintf(stderr, "usage: peak_rss [-n runs] [-i stdin-file] [-o stdout-file] -- command [args...]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 1;
  const char* in = "/dev/null";
  const char* out = "/dev/null";
  int i = 1;
  for (; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) {
      ++i;
      break;
    }
    if (i + 1 >= argc) return usage();
    if (std::strcmp(argv[i], "-n") == 0) {
      runs = std::atoi(argv[++i]);
      if (runs < 1) return usage();
    } else if (std::strcmp(argv[i], "-i") == 0) {
      in = argv[++i];
    } else if (std::strcmp(argv[i], "-o") == 0) {
      out = argv[++i];
    } else {
      return usage();
    }
  }
  if (i >= argc) return usage();
  char** command = argv + i;

  double best = -1.0;
  double best_cpu = -1.0;
  long max_rss = 0;
  int status_out = 0;
  for (int r = 0; r < runs; ++r) {
    const int in_fd = open(in, O_RDONLY);
    const int out_fd = open(out, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (in_fd < 0 || out_fd < 0) {
      std::fprintf(stderr, "peak_rss: cannot open %s: %s\n", in_fd < 0 ? in : out, std::strerror(errno));
      return 2;
    }
    const double start = now();
    const pid_t pid = fork();
    if (pid < 0) {
      std::perror("peak_rss: fork");
      return 2;
    }
    if (pid == 0) {
      dup2(in_fd, 0);
      dup2(out_fd, 1);
      close(in_fd);
      close(out_fd);
      execvp(command[0], command);
      std::fprintf(stderr, "peak_rss: cannot run %s: %s\n", command[0], std::strerror(errno));
      _exit(127);
    }
    close(in_fd);
    close(out_fd);
    int status = 0;
    rusage usage_of_child;
    std::memset(&usage_of_child, 0, sizeof usage_of_child);
    while (wait4(pid, &status, 0, &usage_of_child) < 0) {
      if (errno != EINTR) {
        std::perror("peak_rss: wait4");
        return 2;
      }
    }
    const double wall = now() - start;
    if (best < 0 || wall < best) best = wall;
    const double cpu = static_cast<double>(usage_of_child.ru_utime.tv_sec + usage_of_child.ru_stime.tv_sec) +
                       static_cast<double>(usage_of_child.ru_utime.tv_usec + usage_of_child.ru_stime.tv_usec) * 1e-6;
    if (best_cpu < 0 || cpu < best_cpu) best_cpu = cpu;
    if (usage_of_child.ru_maxrss > max_rss) max_rss = usage_of_child.ru_maxrss;
    status_out = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  std::printf("%.6f %ld %d %.6f\n", best, max_rss, status_out, best_cpu);
  return 0;
}
