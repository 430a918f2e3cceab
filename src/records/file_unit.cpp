// The file unit: its state (Impl), opening and closing, and the reading
// side (a LineReader over the file, stepped back by a RecordCursor, whole
// lines handed to take_lines). A unit open for writing passes its records to
// its OutputFile (output_file.h), which owns the temporary file, the write
// buffer and the commit.
#include "records/file_unit.h"

#include <cerrno>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "records/line_reader.h"
#include "records/outcome.h"
#include "records/output_file.h"
#include "records/record_cursor.h"

namespace ringave {

namespace {

// Input is streamed through this much memory, however large the file: a
// read this size costs the system less per byte than larger ones (the copy
// stays in the processor's nearer caches).
constexpr std::size_t kReadBuffer = 64 << 10;

// A name as the operating system takes it; a name holding a NUL byte names no file.
bool to_path(std::string_view name, std::string& path) {
  if (name.find('\0') != std::string_view::npos) return false;
  path.assign(name);
  return true;
}

}  // namespace

struct FileUnit::Impl {
  enum class Mode { closed, reading, writing };

  explicit Impl(std::string unit) : label(std::move(unit)), output(label) {}

  Mode mode = Mode::closed;
  std::string label;  // the unit number, for messages

  // Reading.
  std::string name;  // as the caller gave it, for messages
  int fd = -1;
  std::unique_ptr<LineReader> reader;  // made on first use, kept for reopening
  RecordCursor cursor;

  // Writing: open while mode is writing; an output still open when the unit
  // goes is discarded with it.
  OutputFile output;

  Error fatal(std::string what, int err, const char* statement) const {
    return file_failure(std::move(what), name, err, statement, label);
  }

  void close_input() {
    if (fd >= 0) ::close(fd);
    fd = -1;
    mode = Mode::closed;
    cursor.reset();
  }
};

FileUnit::FileUnit(int number) : number_(number), impl_(std::make_unique<Impl>(std::to_string(number))) {}

FileUnit::~FileUnit() {
  if (impl_->mode == Impl::Mode::reading) impl_->close_input();
}

bool FileUnit::is_open() const { return impl_->mode != Impl::Mode::closed; }

std::int64_t FileUnit::records_written() const { return impl_->output.records_written(); }

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
  u.output.open(name);
  u.mode = Impl::Mode::writing;
}

void FileUnit::close() {
  Impl& u = *impl_;
  if (u.mode == Impl::Mode::reading) {
    u.close_input();
    return;
  }
  if (u.mode != Impl::Mode::writing) return;
  // The output ends closed whether its commit succeeds or throws.
  u.mode = Impl::Mode::closed;
  u.output.close();
}

bool FileUnit::next(std::string_view& record) {
  Impl& u = *impl_;
  if (u.mode != Impl::Mode::reading) {
    throw fatal_error("File is not open for reading", "READ", u.label);
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

void FileUnit::keep_tabs() {
  Impl& u = *impl_;
  if (u.mode == Impl::Mode::reading) u.reader->keep_tabs();
}

void FileUnit::step_back() {
  Impl& u = *impl_;
  if (u.mode == Impl::Mode::reading) u.cursor.step_back();
}

void FileUnit::put(std::string_view record, bool line_end) { impl_->output.put(record, line_end); }

char* FileUnit::room(std::size_t size) { return impl_->output.room(size); }

void FileUnit::commit(const char* end, std::size_t records) { impl_->output.commit(end, records); }

void sync_output_folders() { OutputFile::sync_committed_folders(); }

bool file_exists(std::string_view name) {
  std::string path;
  if (name.empty() || !to_path(name, path)) return false;
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

}  // namespace ringave
