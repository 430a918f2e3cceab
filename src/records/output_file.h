// OutputFile: the writing side of a file unit (FileUnit, file_unit.h, holds
// one, open while the unit is open for writing). It takes records into a
// 256 KiB buffer and hands them to the operating system in pieces of that
// size, dropping their carriage returns as the buffer is drained.
//
// A regular target is written into a temporary file beside it (named after
// the target with six random characters appended), registered with the
// interrupt handler (interrupt.h) from its making to its rename or removal.
// A big output's blocks are reserved a few megabytes ahead of its end and
// what it did not fill is given back at close(). close() commits: the last
// bytes, the target's permissions, a flush to disk, the rename over the
// target with interrupts held; the target's folder is remembered and flushed
// later, once for all of a run's outputs (sync_committed_folders). A target
// that is not a regular file (a device, a pipe) is written straight to.
//
// Failures throw Error (file_failure) naming the file as the
// caller gave it and the unit: "OPEN", "WRITE", "CLOSE", as FileUnit
// documents them. A failed output is discarded: the target stays as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include <sys/types.h>

#include "records/outcome.h"

namespace ringave {

// The fatal report of a file that cannot be opened, read, written or closed:
// "<what> '<name>': <the operating system's reason for err>", for statement
// `statement` on unit `unit`. Both sides of a file unit report this way.
Error file_failure(std::string what, std::string_view name, int err, const char* statement, std::string unit);

class OutputFile {
 public:
  // `unit`: the unit's label, for the fatal reports.
  explicit OutputFile(std::string unit);
  // An output still open is discarded; never throws.
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Start writing the file `name`, on an output not open. A symbolic link
  // is written through; a target absent until now is created empty. Throws
  // Error ("OPEN"): a folder, no permission, a missing folder on the
  // way, a NUL byte in the name, more outputs open at once than the
  // interrupt handler keeps.
  void open(std::string_view name);
  bool is_open() const { return open_; }

  // Append one record and, unless line_end is false, a line feed. Throws
  // Error ("WRITE"): a write failed now or before.
  void put(std::string_view record, bool line_end);
  // Room for `size` bytes in the buffer, drained first when they do not fit
  // what is left; nullptr for more than the buffer holds. Throws as put().
  char* room(std::size_t size);
  // Take the bytes formatted from the last room() up to `end` as `records`
  // records.
  void commit(const char* end, std::size_t records);
  // Records written since open().
  std::int64_t records_written() const { return written_; }

  // Commit the output when at least one record was written to a temporary
  // file (or close a device or a pipe); discard it after a failed write or
  // when nothing was written. Throws Error ("WRITE", "CLOSE"), the
  // output then discarded and the target as it was.
  void close();
  // Forget the output without committing it: the target stays as it was.
  // Keeps errno; never throws.
  void discard();

  // Flush to disk every folder that close() renamed an output into since
  // the last call. A folder that cannot be opened or flushed is passed over.
  static void sync_committed_folders();

 private:
  void check_writable() const;
  void drain(bool last = false);
  void reserve_ahead();
  [[gnu::noinline]] void buffer_long(const char* p, std::size_t n);
  void make_temp();
  void close_direct();
  [[noreturn]] void fail_commit(const char* what, int err, const char* statement);
  void commit_temp();
  Error fatal(std::string what, int err, const char* statement) const;

  std::string unit_;
  std::string name_;  // as the caller gave it, for messages
  bool open_ = false;
  int fd_ = -1;
  std::string target_;  // the file that close() replaces
  std::string temp_;    // the temporary file, empty when writing straight to the target
  int cleanup_slot_{};  // while temp_ is not empty: where an interrupt finds it to remove it
  // Bytes not yet handed to the operating system: out_used_ of the
  // kWriteBuffer, made by the first open(). None when the output is
  // discarded: drain() hands them over first, and a failed write leaves none.
  std::unique_ptr<char[]> out_;
  std::size_t out_used_ = 0;
  mode_t perms_ = 0;
  std::int64_t written_ = 0;
  std::int64_t file_end_ = 0;  // bytes handed to the operating system
  std::int64_t reserved_ = 0;  // the temporary file's blocks reserved up to here (see reserve_ahead)
  bool failed_ = false;  // a write failed: the output is never committed
  int write_error_ = 0;  // the operating system's reason for that failure
};

}  // namespace ringave
