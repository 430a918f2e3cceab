#include "records/interrupt.h"

#include <cerrno>
#include <climits>
#include <cstring>

#include <pthread.h>
#include <unistd.h>

namespace ringave {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// A slot holds a path while `armed` is set. Both are written only with the
// signals blocked and read only by the handler, so the handler always sees a
// complete path or none.
struct Slot {
  volatile sig_atomic_t armed = 0;
  char path[PATH_MAX];
};
Slot slots[kCleanupSlots];

sigset_t interrupt_set() {
  sigset_t set;
  sigemptyset(&set);
  for (int s : kSignals) sigaddset(&set, s);
  return set;
}

extern "C" void on_interrupt(int signo) {
  const int saved = errno;
  for (Slot& s : slots) {
    if (s.armed) ::unlink(s.path);
  }
  // The handler runs with all three signals blocked, so a second interrupt
  // waits until the re-raised one below ends the run: the default action,
  // set here, ends it.
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  ::sigaction(signo, &dfl, nullptr);
  ::raise(signo);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, signo);
  ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  // Not reached: the default action of these signals ends the process.
  errno = saved;
  ::_exit(128 + signo);
}

}  // namespace

void install_interrupt_cleanup() {
  struct sigaction act {};
  act.sa_handler = on_interrupt;
  act.sa_mask = interrupt_set();
  for (int s : kSignals) {
    struct sigaction old {};
    if (::sigaction(s, nullptr, &old) != 0) continue;
    if (old.sa_handler == SIG_IGN) continue;  // nohup: stays ignored
    ::sigaction(s, &act, nullptr);
  }
}

InterruptsHeld::InterruptsHeld() {
  const sigset_t set = interrupt_set();
  ::pthread_sigmask(SIG_BLOCK, &set, &old_);
}

InterruptsHeld::~InterruptsHeld() { ::pthread_sigmask(SIG_SETMASK, &old_, nullptr); }

int register_for_cleanup(const char* path) {
  const std::size_t n = std::strlen(path);
  if (n >= PATH_MAX) return -1;
  for (int i = 0; i < kCleanupSlots; ++i) {
    Slot& s = slots[i];
    if (s.armed) continue;
    std::memcpy(s.path, path, n + 1);
    s.armed = 1;
    return i;
  }
  return -1;
}

void release_cleanup(int slot) {
  if (slot < 0 || slot >= kCleanupSlots) return;
  slots[slot].armed = 0;
}

}  // namespace ringave
