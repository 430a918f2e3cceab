// FileUnit: a sequential text file connected to a unit number (12 for input,
// 13 for output), read or written record by record.
//
// Reading streams the file through a fixed buffer and splits it into records
// at line feeds (clean_record: carriage returns dropped, tabs expanded; a
// last line without a line feed is a record like any other; a NUL byte is an
// ordinary character; a record may be of any length). Step back follows
// RecordCursor (record_cursor.h), the rule every unit shares.
//
// Writing goes through a buffered sink (OutputFile, output_file.h) into a
// temporary file in the target's folder, renamed over the target by close(),
// so that an output is never left half-written and an existing one keeps its
// contents when nothing is written to it.
//
// The temporary file is named after the target with six random characters
// appended ("site_AVE.raw.Ab3xYz"). close() flushes it to disk (fsync) before
// the rename, so a power loss leaves the old output or the complete new one,
// and the target's folder is flushed after the rename, once per folder for
// all of a run's outputs (sync_output_folders); a file system that cannot flush
// (EINVAL, ENOTSUP, EROFS) or a folder that cannot be opened is passed over.
// Concurrent runs writing the same target each rename a complete file: the
// last rename wins. The temporary file is registered with the interrupt
// handler (interrupt.h) from its making to its rename or removal, so SIGINT,
// SIGTERM or SIGHUP removes it; only a hard kill (SIGKILL, a crash) can leave
// one behind.
//
// Failures throw the fatal report with a message naming the file and the operating
// system's reason, the unit number, and the statement: "OPEN" (missing input, a
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

  // Connect the unit, closing what it had open first, to the existing file
  // `name` for reading from its first record. Throws the fatal report ("OPEN"):
  // the file is missing, is a folder, cannot be read, or the name holds a
  // NUL byte.
  void open_read(std::string_view name);
  // Connect the unit, closing what it had open first, for writing `name`.
  // Creates the target empty when it does not exist (a new output exists
  // from the open on); an existing one keeps its contents until close(). A
  // symbolic link is written through; a target that is not a regular file (a
  // device, a pipe) is written directly. Throws the fatal report ("OPEN"): a
  // folder, no permission, a missing folder on the way, a NUL byte in the
  // name.
  void open_write(std::string_view name);
  // Release an input file. Commit an output file: when at least one record
  // was written, hand the rest to the operating system and rename the
  // temporary file over the target with the target's permissions (those of
  // any new file when the open created it); otherwise, or after a failed
  // write, remove the temporary file and leave the target as it was. Throws
  // the fatal report ("WRITE" for the last bytes, "CLOSE" for permissions, close
  // or rename), the target then as it was. Closing a closed unit does
  // nothing. A unit destroyed without close() discards its output the same
  // way and never throws.
  void close();

  bool is_open() const;
  int number() const { return number_; }

  // The next record of an input, or false at its end (see RecordCursor for
  // step back). The view stays valid until the next call on this unit.
  // Throws the fatal report ("READ"): the unit is not open for reading, or the
  // operating system refused a read (the unit then stays at its end).
  bool next(std::string_view& record) override;
  // RecordCursor's rule; does nothing on a unit not open for reading.
  void step_back() override;
  // The whole lines left in the block read last, when the block needs no
  // cleaning (see Unit::take_lines); nothing with a record to deliver again
  // after a step back.
  std::size_t take_lines(LineTaker& taker) override;
  // Records keep their tabs until the unit is opened again.
  void keep_tabs() override;

  // Append one record (carriage returns dropped, a line feed unless
  // line_end is false) to the output; bytes reach the operating system in
  // large pieces. Throws the fatal report ("WRITE"): the unit is not open for
  // writing, or a write failed now or before (the output is then never
  // committed).
  void put(std::string_view record, bool line_end) override;
  // Room in the output buffer, handing what it holds to the operating
  // system first when the room is not left; nullptr for more than the
  // buffer holds. Throws as put() does. commit() takes the records formatted
  // there; their carriage returns are dropped with the buffer's.
  char* room(std::size_t size) override;
  void commit(const char* end, std::size_t records) override;
  // Records written since open_write().
  std::int64_t records_written() const;
  // The line number of the input record taken last (0 before the first; a
  // step back counts back), for messages that name a line.
  std::int64_t line() const override;

  std::string unit_label() const override { return std::to_string(number_); }

 private:
  struct Impl;
  int number_;
  std::unique_ptr<Impl> impl_;
};

// Whether a file (or folder) of this name exists, as the operating system
// answers; false for an empty name or one holding a NUL byte (trailing
// blanks of a field already removed by the caller). Never throws.
bool file_exists(std::string_view name);

// Flushes to disk every folder that close() renamed an output into since the
// last call, so that the renames themselves survive a power loss. Until
// then a power loss leaves each such output old or complete (its contents
// are flushed before the rename). The program calls it once before it
// exits; a folder that cannot be opened or flushed is passed over. Never
// throws.
void sync_output_folders();

}  // namespace ringave
