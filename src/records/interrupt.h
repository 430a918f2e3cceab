// Interrupts: SIGINT, SIGTERM and SIGHUP end a run at any moment (a prompt, a
// pause, the middle of a read or a write) without leaving a temporary output
// file behind.
//
// The temporary files of the outputs being written are registered here in
// fixed slots prepared before the signal can need them. The handler does
// only async-signal-safe work: it unlinks every registered path, restores
// the default action and raises the signal again, so the run ends by that
// signal (status 128 + its number in a shell). Registering, committing
// (rename) and removing a temporary file happen with the three signals
// blocked, so the handler never sees a path that has just become the name of
// a committed output.
#pragma once

#include <csignal>

namespace ringave {

// Install the handler for SIGINT, SIGTERM and SIGHUP. A signal that is
// ignored when this is called (a run started under nohup) stays ignored.
// Call once, early in main; without it the registry below is kept but no
// signal removes anything.
void install_interrupt_cleanup();

// While alive, SIGINT, SIGTERM and SIGHUP are held back (blocked for the
// calling thread) and delivered when it ends, on the same thread. Nests.
class InterruptsHeld {
 public:
  InterruptsHeld();
  ~InterruptsHeld();
  InterruptsHeld(const InterruptsHeld&) = delete;
  InterruptsHeld& operator=(const InterruptsHeld&) = delete;

 private:
  sigset_t old_;
};

// The number of temporary files that can be registered at once.
inline constexpr int kCleanupSlots = 8;

// Register `path` (a NUL-terminated name, relative to the working folder or
// absolute) as a file the handler removes. Call with interrupts held, right
// after the file is made. Returns the slot, or -1 when every slot is taken or
// the name is too long to keep (the caller then gives up the file).
int register_for_cleanup(const char* path);

// Forget a slot (after the file was renamed into place or removed). Call with
// interrupts held, in the same held stretch as the rename or removal. -1
// does nothing.
void release_cleanup(int slot);

}  // namespace ringave
