// FileUnit: a sequential text file connected to a unit number (12 for input,
// 13 for output), read or written record by record.
//
// Reading streams the file through a fixed buffer and splits it into records
// at line feeds: carriage returns are dropped wherever they stand, a tab is
// replaced by blanks up to the next tab stop (every 8 columns), and a last
// line without a line feed is a record like any other; a NUL byte is an
// ordinary character and a record may be of any length. step_back() makes
// the next read deliver the last record again; after end of file it only
// clears the end-of-file state (the file stays at its end, and a further step
// back delivers the last record again); at the start of the file it does
// nothing. Only the last record is kept: two step backs in a row after a
// read deliver that record once more, not the one before it.
//
// Writing goes through a buffered sink into a temporary file in the target's
// folder, renamed over the target by close() when at least one record was
// written. open_write() creates the target empty when it does not exist, so a
// new output exists from the moment it is opened, and an existing one keeps
// its old contents when nothing is written to it. A unit destroyed without
// close() (a stop or a fatal report part-way) removes its temporary file and
// leaves the target as it was, and so does close() after a failed write. The
// committed file has the target's permissions (those of any new file when the
// target was created by the open). A symbolic link is written through; a
// target that is not a regular file (a device, a pipe) is written directly.
//
// The temporary file is named after the target with six random characters
// appended ("site_AVE.raw.Ab3xYz"). close() flushes it to disk (fsync) before
// the rename and flushes the target's folder after it, so a power loss leaves
// the old output or the complete new one; a file system that cannot flush
// (EINVAL, ENOTSUP, EROFS) or a folder that cannot be opened is passed over.
// Concurrent runs writing the same target each rename a complete file: the
// last rename wins. The temporary file is registered with the interrupt
// handler (interrupt.h) from its making to its rename or removal, so SIGINT,
// SIGTERM or SIGHUP removes it; only a hard kill (SIGKILL, a crash) can leave
// one behind.
//
// Failures throw FatalError with a message naming the file and the system's
// reason, the unit number, and the statement: "OPEN" (missing input, a
// folder, no permission, more outputs open at once than the interrupt handler
// keeps), "READ", "WRITE" (handing bytes to the system, also when close()
// writes the last of them or flushes them to disk), "CLOSE" (setting
// permissions, closing, renaming).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "records/record_io.h"

namespace ringave {

class FileUnit final : public Unit {
 public:
  explicit FileUnit(int number);
  ~FileUnit() override;
  FileUnit(const FileUnit&) = delete;
  FileUnit& operator=(const FileUnit&) = delete;

  // Status "OLD", action "READ": the file must exist and be a readable file.
  void open_read(std::string_view name);
  // Status "UNKNOWN": see above.
  void open_write(std::string_view name);
  // Release an input file; commit an output file. Closing a closed unit does
  // nothing.
  void close();

  bool is_open() const;
  int number() const { return number_; }

  // RecordSource (reading units).
  bool next(std::string_view& record) override;
  void step_back() override;

  // RecordSink (writing units).
  void put(std::string_view record, bool line_end) override;
  // Records written since open_write().
  std::int64_t records_written() const;

  std::string unit_label() const override { return std::to_string(number_); }

 private:
  struct Impl;
  int number_;
  std::unique_ptr<Impl> impl_;
};

// The file system's answer whether a file of this name exists (trailing
// blanks of a field already removed by the caller).
bool file_exists(std::string_view name);

}  // namespace ringave
