// The file unit in both directions. Some 440 lines, kept in one
// file because reading, writing and the commit of an output share the
// unit's state (Impl) and its failure reports.
#include "records/file_unit.h"

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
#include "records/line_reader.h"
#include "records/record_cursor.h"
#include "records/outcome.h"

namespace ringave {

namespace {

// Input is streamed through this much memory, however large the file.
constexpr std::size_t kReadBuffer = 256 << 10;
// Output is handed to the operating system in pieces of about this size.
constexpr std::size_t kWriteBuffer = 64 << 10;

// A name as the operating system takes it; a name holding a NUL byte names no file.
bool to_path(std::string_view name, std::string& path) {
  if (name.find('\0') != std::string_view::npos) return false;
  path.assign(name);
  return true;
}

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

struct FileUnit::Impl {
  enum class Mode { closed, reading, writing };

  Mode mode = Mode::closed;
  std::string name;  // as the caller gave it, for messages
  int fd = -1;

  // Reading.
  std::unique_ptr<LineReader> reader;  // made on first use, kept for reopening
  RecordCursor cursor;

  // Writing.
  std::string target;  // the file that close() replaces
  std::string temp;    // the temporary file, empty when writing straight to the target
  int cleanup_slot = -1;  // where an interrupt finds `temp` to remove it
  // Bytes not yet handed to the operating system: out_used of the
  // kWriteBuffer, made by the first open for writing.
  std::unique_ptr<char[]> out;
  std::size_t out_used = 0;
  mode_t perms = 0;
  std::int64_t written = 0;
  std::int64_t file_end = 0;  // bytes handed to the operating system
  std::int64_t reserved = 0;  // the temporary file's blocks reserved up to here (see reserve_ahead)
  bool failed = false;  // a write failed: the output is never committed
  int write_error = 0;  // the operating system's reason for that failure

  std::string label;

  FatalError fatal(std::string what, int err, const char* statement) const {
    std::string message = std::move(what);
    message += " '";
    message += name;
    message += "': ";
    message += std::strerror(err);
    return FatalError{std::move(message), statement, label};
  }

  // Writing needs a unit open for writing whose writes have not failed.
  void check_writable() const {
    if (mode != Mode::writing) throw FatalError{"File is not open for writing", "WRITE", label};
    if (failed) throw fatal("Cannot write file", write_error, "WRITE");
  }

  // Hand the buffered bytes to the operating system. Records are buffered
  // with their carriage returns, which are dropped here: one search of the
  // buffer rather than one per record.
  // `last`: the drain of close(), after which nothing more is written.
  void drain(bool last = false) {
    char* const begin = out.get();
    char* end = begin + out_used;
    out_used = 0;
    if (std::memchr(begin, '\r', static_cast<std::size_t>(end - begin)) != nullptr) end = std::remove(begin, end, '\r');
    file_end += end - begin;
    if (!last && file_end > reserved && !temp.empty()) reserve_ahead();
    for (const char* p = begin; p < end;) {
      const ssize_t n = ::write(fd, p, static_cast<std::size_t>(end - p));
      if (n < 0) {
        if (errno == EINTR) continue;
        failed = true;
        const int err = errno;
        write_error = err;
        throw fatal("Cannot write file", err, "WRITE");
      }
      p += n;
    }
  }

  // A big output's blocks are reserved a few megabytes at a time ahead of
  // its end, so that the file system places them in a few steps rather than
  // a page at a time as they are written; commit() gives back what the
  // output did not fill. Where the file system cannot reserve, the output
  // is written all the same.
  void reserve_ahead() {
    constexpr std::int64_t kStep = std::int64_t{4} << 20;
    if (::fallocate(fd, FALLOC_FL_KEEP_SIZE, file_end, kStep) == 0)
      reserved = file_end + kStep;
    else
      reserved = INT64_MAX;  // no more tries
  }

  // Append bytes that do not fit what is left of the buffer, handing the
  // buffer to the operating system each time it fills.
  [[gnu::noinline]] void buffer_long(const char* p, std::size_t n) {
    while (n > kWriteBuffer - out_used) {
      const std::size_t room = kWriteBuffer - out_used;
      std::memcpy(out.get() + out_used, p, room);
      out_used = kWriteBuffer;
      p += room;
      n -= room;
      drain();
    }
    std::memcpy(out.get() + out_used, p, n);
    out_used += n;
  }

  // Forget an output without committing it: the target stays as it was.
  void discard_output() {
    if (fd >= 0) close_keeping_errno(fd);
    fd = -1;
    if (!temp.empty()) {
      const int saved = errno;
      InterruptsHeld held;
      ::unlink(temp.c_str());
      release_cleanup(cleanup_slot);
      cleanup_slot = -1;
      errno = saved;
    }
    temp.clear();
    out_used = 0;
    mode = Mode::closed;
  }

  // Make the temporary file beside the target (so that the rename stays
  // within one file system) and register it for removal on an interrupt.
  void make_temp() {
    std::string templ = target + ".XXXXXX";
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
    fd = made;
    temp = std::move(templ);
    cleanup_slot = slot;
  }

  // Close an output written straight to a device or a pipe.
  void close_direct() {
    try {
      drain();
    } catch (...) {
      discard_output();
      throw;
    }
    const int rc = ::close(fd);
    fd = -1;
    mode = Mode::closed;
    if (rc != 0 && errno != EINTR) throw fatal("Cannot close file", errno, "CLOSE");
  }

  // Discard the output and throw the fatal report for `err`.
  [[noreturn]] void fail_commit(const char* what, int err, const char* statement) {
    discard_output();
    throw fatal(what, err, statement);
  }

  // Put the temporary file in the target's place: the last bytes written,
  // the target's permissions, flushed to disk, renamed, the folder flushed.
  void commit() {
    try {
      drain(true);
    } catch (...) {
      discard_output();
      throw;
    }
    // Give back the blocks reserved past the end (a failure only leaves
    // them reserved).
    if (reserved > file_end && reserved != INT64_MAX) (void)::ftruncate(fd, file_end);
    // The committed file gets the target's permissions (a new target has
    // those of any new file), not the private ones of a temporary file.
    if (::fchmod(fd, perms) != 0) fail_commit("Cannot close file", errno, "CLOSE");
    // The new contents reach the disk before they replace the old ones, so a
    // power loss leaves the old output or the new one, never an empty file.
    if (::fsync(fd) != 0 && !sync_unsupported(errno)) fail_commit("Cannot write file", errno, "WRITE");
    const int rc = ::close(fd);
    fd = -1;
    if (rc != 0 && errno != EINTR) fail_commit("Cannot close file", errno, "CLOSE");
    {
      // An interrupt sees the temporary file registered until the rename and
      // nothing after it: the rename and the release happen as one step with
      // interrupts held, so it never removes a name that another run may
      // have taken in between.
      InterruptsHeld held;
      if (::rename(temp.c_str(), target.c_str()) != 0) fail_commit("Cannot close file", errno, "CLOSE");
      release_cleanup(cleanup_slot);
      cleanup_slot = -1;
    }
    temp.clear();
    mode = Mode::closed;
    // The folder is flushed by sync_output_folders(), once for all the
    // outputs a run puts there: each flush costs a journal commit.
    std::vector<std::string>& folders = folders_to_sync();
    std::string dir = folder_of(target);
    if (std::find(folders.begin(), folders.end(), dir) == folders.end()) folders.push_back(std::move(dir));
  }

  void close_input() {
    if (fd >= 0) ::close(fd);
    fd = -1;
    mode = Mode::closed;
    cursor.reset();
  }
};

FileUnit::FileUnit(int number) : number_(number), impl_(std::make_unique<Impl>()) {
  impl_->label = std::to_string(number);
}

FileUnit::~FileUnit() {
  if (impl_->mode == Impl::Mode::writing) {
    impl_->discard_output();
  } else if (impl_->mode == Impl::Mode::reading) {
    impl_->close_input();
  }
}

bool FileUnit::is_open() const { return impl_->mode != Impl::Mode::closed; }

std::int64_t FileUnit::records_written() const { return impl_->written; }

std::int64_t FileUnit::line() const { return impl_->cursor.line(); }

void FileUnit::open_read(std::string_view name) {
  close();
  Impl& u = *impl_;
  u.name.assign(name);
  std::string path;
  if (!to_path(name, path)) throw u.fatal("Cannot open file", EINVAL, "OPEN");

  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) throw u.fatal("Cannot open file", errno, "OPEN");
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    const int err = errno;
    ::close(fd);
    throw u.fatal("Cannot open file", err, "OPEN");
  }
  if (S_ISDIR(st.st_mode)) {
    ::close(fd);
    throw u.fatal("Cannot open file", EISDIR, "OPEN");
  }

  if (!u.reader) {
    u.reader = std::make_unique<LineReader>(fd, kReadBuffer);
  } else {
    u.reader->reset(fd);
  }
  u.fd = fd;
  u.mode = Impl::Mode::reading;
  u.cursor.reset();
}

void FileUnit::open_write(std::string_view name) {
  close();
  Impl& u = *impl_;
  u.name.assign(name);
  u.written = 0;
  u.file_end = 0;
  u.reserved = 0;
  u.failed = false;
  if (!to_path(name, u.target)) throw u.fatal("Cannot open file", EINVAL, "OPEN");

  // Write through a symbolic link, not over it: the file it names is the
  // one to replace.
  struct stat st;
  if (::lstat(u.target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* real = ::realpath(u.target.c_str(), nullptr)) {
      u.target = real;
      std::free(real);
    }
  }

  // Create the target empty when it is absent (the output exists from now
  // on), and learn whether it can be written at all. A folder here fails
  // with "Is a directory".
  int probe;
  do {
    probe = ::open(u.target.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  } while (probe < 0 && errno == EINTR);
  if (probe < 0) throw u.fatal("Cannot open file", errno, "OPEN");
  if (::fstat(probe, &st) != 0) {
    const int err = errno;
    ::close(probe);
    throw u.fatal("Cannot open file", err, "OPEN");
  }

  if (!S_ISREG(st.st_mode)) {
    // A device or a pipe cannot be replaced by renaming: write to it
    // directly.
    u.fd = probe;
    u.temp.clear();
  } else {
    ::close(probe);
    u.perms = st.st_mode & 07777;
    u.make_temp();
  }
  if (!u.out) u.out.reset(new char[kWriteBuffer]);  // not cleared: only written bytes are read
  u.out_used = 0;
  u.mode = Impl::Mode::writing;
}

void FileUnit::close() {
  Impl& u = *impl_;
  if (u.mode == Impl::Mode::reading) {
    u.close_input();
    return;
  }
  if (u.mode != Impl::Mode::writing) return;

  // A failed write, or nothing written to a temporary file: the target
  // keeps what it had.
  if (u.failed || (!u.temp.empty() && u.written == 0)) {
    u.discard_output();
  } else if (u.temp.empty()) {
    u.close_direct();
  } else {
    u.commit();
  }
}

bool FileUnit::next(std::string_view& record) {
  Impl& u = *impl_;
  if (u.mode != Impl::Mode::reading) {
    throw FatalError{"File is not open for reading", "READ", u.label};
  }
  return u.cursor.next(record, [&u](std::string_view& fresh) {
    switch (u.reader->next(fresh)) {
      case LineReader::Status::record:
        return true;
      case LineReader::Status::end:
        // The line reader keeps the record taken last intact: a step back
        // after this one can still deliver it.
        return false;
      case LineReader::Status::failed:
        break;
    }
    u.cursor.lose();
    throw u.fatal("Cannot read file", u.reader->error(), "READ");
  });
}

std::size_t FileUnit::take_lines(LineTaker& taker) {
  Impl& u = *impl_;
  if (u.mode != Impl::Mode::reading || !u.cursor.fetches()) return 0;
  const std::string_view text = u.reader->buffered_lines();
  if (text.empty()) return 0;
  std::size_t lines = 0;
  const std::size_t bytes = taker.take(text, lines);
  if (lines == 0) return 0;
  u.reader->skip(bytes);
  // The last line taken, for a step back: after the line feed before it.
  const std::string_view taken = text.substr(0, bytes - 1);
  const std::size_t before = taken.rfind('\n');
  u.cursor.took(taken.substr(before == std::string_view::npos ? 0 : before + 1), static_cast<std::int64_t>(lines));
  return lines;
}

void FileUnit::step_back() {
  Impl& u = *impl_;
  if (u.mode == Impl::Mode::reading) u.cursor.step_back();
}

void FileUnit::put(std::string_view record, bool line_end) {
  Impl& u = *impl_;
  u.check_writable();
  // Carriage returns are dropped when the buffer is drained.
  const std::size_t n = record.size();
  if (n < kWriteBuffer - u.out_used) {  // room for the record and a line feed
    std::memcpy(u.out.get() + u.out_used, record.data(), n);
    u.out_used += n;
    if (line_end) u.out[u.out_used++] = '\n';
  } else {
    u.buffer_long(record.data(), n);
    if (line_end) u.buffer_long("\n", 1);
  }
  ++u.written;
}

char* FileUnit::room(std::size_t size) {
  Impl& u = *impl_;
  u.check_writable();
  if (size > kWriteBuffer) return nullptr;
  if (size > kWriteBuffer - u.out_used) u.drain();
  return u.out.get() + u.out_used;
}

void FileUnit::commit(const char* end, std::size_t records) {
  Impl& u = *impl_;
  u.out_used = static_cast<std::size_t>(end - u.out.get());
  u.written += static_cast<std::int64_t>(records);
}

void sync_output_folders() {
  std::vector<std::string>& folders = folders_to_sync();
  for (const std::string& dir : folders) sync_folder(dir);
  folders.clear();
}

bool file_exists(std::string_view name) {
  std::string path;
  if (name.empty() || !to_path(name, path)) return false;
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

}  // namespace ringave
