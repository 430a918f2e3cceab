#include "records/output_file.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "records/interrupt.h"

namespace ringave {

namespace {

// Output is handed to the operating system in pieces of about this size:
// fewer, larger writes cost the system less than the input's reads, which
// are cheapest small (file_unit.cpp); the two buffers together stay within
// the program's memory budget.
constexpr std::size_t kWriteBuffer = 256 << 10;

int close_keeping_errno(int fd) {
  const int saved = errno;
  const int rc = ::close(fd);
  errno = saved;
  return rc;
}

// Some file systems cannot flush a file or a folder to disk at all and say
// so; the output is then as durable as they make it.
bool sync_unsupported(int err) { return err == EINVAL || err == ENOTSUP || err == EROFS; }

// The folder holding `path`.
std::string folder_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// Folders that received a renamed output since they were last flushed.
std::vector<std::string>& folders_to_sync() {
  static std::vector<std::string> folders;
  return folders;
}

// Flush folder `dir` to disk so that the renames into it survive a power
// loss. A folder that cannot be opened or flushed is left as it is.
void sync_folder(const std::string& dir) {
  int fd;
  do {
    fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

Error file_failure(std::string what, std::string_view name, int err, const char* statement, std::string unit) {
  std::string message = std::move(what);
  message += " '";
  message += name;
  message += "': ";
  message += std::strerror(err);
  return fatal_error(std::move(message), statement, std::move(unit));
}

OutputFile::OutputFile(std::string unit) : unit_(std::move(unit)) {}

OutputFile::~OutputFile() {
  if (open_) discard();
}

Error OutputFile::fatal(std::string what, int err, const char* statement) const {
  return file_failure(std::move(what), name_, err, statement, unit_);
}

void OutputFile::open(std::string_view name) {
  name_.assign(name);
  written_ = 0;
  file_end_ = 0;
  reserved_ = 0;
  failed_ = false;
  // A name holding a NUL byte names no file.
  if (name.find('\0') != std::string_view::npos) throw fatal("Cannot open file", EINVAL, "OPEN");
  target_.assign(name);

  // Write through a symbolic link, not over it: the file it names is the
  // one to replace.
  struct stat st;
  if (::lstat(target_.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* real = ::realpath(target_.c_str(), nullptr)) {
      target_ = real;
      std::free(real);
    }
  }

  // Create the target empty when it is absent (the output exists from now
  // on), and learn whether it can be written at all. A folder here fails
  // with "Is a directory".
  int probe;
  do {
    probe = ::open(target_.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  } while (probe < 0 && errno == EINTR);
  if (probe < 0) throw fatal("Cannot open file", errno, "OPEN");
  if (::fstat(probe, &st) != 0) {
    const int err = errno;
    ::close(probe);
    throw fatal("Cannot open file", err, "OPEN");
  }

  if (!S_ISREG(st.st_mode)) {
    // A device or a pipe cannot be replaced by renaming: write to it
    // directly.
    fd_ = probe;
    temp_.clear();
  } else {
    ::close(probe);
    perms_ = st.st_mode & 07777;
    make_temp();
  }
  if (!out_) out_.reset(new char[kWriteBuffer]);  // not cleared: only written bytes are read
  out_used_ = 0;
  open_ = true;
}

// Writing needs an output open whose writes have not failed.
void OutputFile::check_writable() const {
  if (!open_) throw fatal_error("File is not open for writing", "WRITE", unit_);
  if (failed_) throw fatal("Cannot write file", write_error_, "WRITE");
}

void OutputFile::put(std::string_view record, bool line_end) {
  check_writable();
  // Carriage returns are dropped when the buffer is drained.
  const std::size_t n = record.size();
  if (n < kWriteBuffer - out_used_) {  // room for the record and a line feed
    std::memcpy(out_.get() + out_used_, record.data(), n);
    out_used_ += n;
    if (line_end) out_[out_used_++] = '\n';
  } else {
    buffer_long(record.data(), n);
    if (line_end) buffer_long("\n", 1);
  }
  ++written_;
}

char* OutputFile::room(std::size_t size) {
  check_writable();
  if (size > kWriteBuffer) return nullptr;
  if (size > kWriteBuffer - out_used_) drain();
  return out_.get() + out_used_;
}

void OutputFile::commit(const char* end, std::size_t records) {
  out_used_ = static_cast<std::size_t>(end - out_.get());
  written_ += static_cast<std::int64_t>(records);
}

// Hand the buffered bytes to the operating system. Records are buffered
// with their carriage returns, which are dropped here: one search of the
// buffer rather than one per record.
// `last`: the drain of close(), after which nothing more is written.
void OutputFile::drain(bool last) {
  char* const begin = out_.get();
  char* end = begin + out_used_;
  out_used_ = 0;
  if (std::memchr(begin, '\r', static_cast<std::size_t>(end - begin)) != nullptr) end = std::remove(begin, end, '\r');
  file_end_ += end - begin;
  if (!last && file_end_ > reserved_ && !temp_.empty()) reserve_ahead();
  for (const char* p = begin; p < end;) {
    const ssize_t n = ::write(fd_, p, static_cast<std::size_t>(end - p));
    if (n < 0) {
      if (errno == EINTR) continue;
      failed_ = true;
      const int err = errno;
      write_error_ = err;
      throw fatal("Cannot write file", err, "WRITE");
    }
    p += n;
  }
}

// A big output's blocks are reserved a few megabytes at a time ahead of
// its end, so that the file system places them in a few steps rather than
// a page at a time as they are written; commit_temp() gives back what the
// output did not fill. Where the file system cannot reserve, the output
// is written all the same.
void OutputFile::reserve_ahead() {
  constexpr std::int64_t kStep = std::int64_t{4} << 20;
  if (::fallocate(fd_, FALLOC_FL_KEEP_SIZE, file_end_, kStep) == 0)
    reserved_ = file_end_ + kStep;
  else
    reserved_ = INT64_MAX;  // no more tries
}

// Append bytes that do not fit what is left of the buffer, handing the
// buffer to the operating system each time it fills.
void OutputFile::buffer_long(const char* p, std::size_t n) {
  while (n > kWriteBuffer - out_used_) {
    const std::size_t room = kWriteBuffer - out_used_;
    std::memcpy(out_.get() + out_used_, p, room);
    out_used_ = kWriteBuffer;
    p += room;
    n -= room;
    drain();
  }
  std::memcpy(out_.get() + out_used_, p, n);
  out_used_ += n;
}

void OutputFile::discard() {
  if (fd_ >= 0) close_keeping_errno(fd_);
  fd_ = -1;
  if (!temp_.empty()) {
    const int saved = errno;
    InterruptsHeld held;
    ::unlink(temp_.c_str());
    release_cleanup(cleanup_slot_);
    errno = saved;
  }
  temp_.clear();
  open_ = false;
}

// Make the temporary file beside the target (so that the rename stays
// within one file system) and register it for removal on an interrupt.
void OutputFile::make_temp() {
  std::string templ = target_ + ".XXXXXX";
  // An interrupt between making the temporary file and registering it
  // would leave it behind: hold interrupts over both.
  InterruptsHeld held;
  const int made = ::mkostemp(templ.data(), O_CLOEXEC);
  if (made < 0) throw fatal("Cannot open file", errno, "OPEN");
  const int slot = register_for_cleanup(templ.c_str());
  if (slot < 0) {
    ::close(made);
    ::unlink(templ.c_str());
    throw fatal("Cannot open file", ENAMETOOLONG, "OPEN");
  }
  fd_ = made;
  temp_ = std::move(templ);
  cleanup_slot_ = slot;
}

void OutputFile::close() {
  if (!open_) return;
  // A failed write, or nothing written to a temporary file: the target
  // keeps what it had.
  if (failed_ || (!temp_.empty() && written_ == 0)) {
    discard();
  } else if (temp_.empty()) {
    close_direct();
  } else {
    commit_temp();
  }
}

// Close an output written straight to a device or a pipe.
void OutputFile::close_direct() {
  try {
    drain();
  } catch (...) {
    discard();
    throw;
  }
  const int rc = ::close(fd_);
  fd_ = -1;
  open_ = false;
  if (rc != 0 && errno != EINTR) throw fatal("Cannot close file", errno, "CLOSE");
}

// Discard the output and throw the fatal report for `err`.
void OutputFile::fail_commit(const char* what, int err, const char* statement) {
  discard();
  throw fatal(what, err, statement);
}

// Put the temporary file in the target's place: the last bytes written,
// the target's permissions, flushed to disk, renamed, the folder flushed.
void OutputFile::commit_temp() {
  try {
    drain(true);
  } catch (...) {
    discard();
    throw;
  }
  // Give back the blocks reserved past the end (a failure only leaves
  // them reserved).
  if (reserved_ > file_end_ && reserved_ != INT64_MAX) (void)::ftruncate(fd_, file_end_);
  // The committed file gets the target's permissions (a new target has
  // those of any new file), not the private ones of a temporary file.
  if (::fchmod(fd_, perms_) != 0) fail_commit("Cannot close file", errno, "CLOSE");
  // The new contents reach the disk before they replace the old ones, so a
  // power loss leaves the old output or the new one, never an empty file.
  if (::fsync(fd_) != 0 && !sync_unsupported(errno)) fail_commit("Cannot write file", errno, "WRITE");
  const int rc = ::close(fd_);
  fd_ = -1;
  if (rc != 0 && errno != EINTR) fail_commit("Cannot close file", errno, "CLOSE");
  {
    // An interrupt sees the temporary file registered until the rename and
    // nothing after it: the rename and the release happen as one step with
    // interrupts held, so it never removes a name that another run may
    // have taken in between.
    InterruptsHeld held;
    if (::rename(temp_.c_str(), target_.c_str()) != 0) fail_commit("Cannot close file", errno, "CLOSE");
    release_cleanup(cleanup_slot_);
  }
  temp_.clear();
  open_ = false;
  // The folder is flushed by sync_committed_folders(), once for all the
  // outputs a run puts there: each flush costs a journal commit.
  std::vector<std::string>& folders = folders_to_sync();
  std::string dir = folder_of(target_);
  if (std::find(folders.begin(), folders.end(), dir) == folders.end()) folders.push_back(std::move(dir));
}

void OutputFile::sync_committed_folders() {
  std::vector<std::string>& folders = folders_to_sync();
  for (const std::string& dir : folders) sync_folder(dir);
  folders.clear();
}

}  // namespace ringave
