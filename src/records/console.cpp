#include "records/console.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include "records/line_reader.h"
#include "records/outcome.h"
#include "records/transfer.h"

namespace ringave {

namespace {

// Answers are short; a pipe of answers is taken in pieces of this size.
constexpr std::size_t kInputBuffer = 64 << 10;
// Output is handed to the operating system once this much has gathered (and before
// every read, so that a prompt is on the screen before the program waits).
constexpr std::size_t kOutputBuffer = 64 << 10;

// Write all of [p, p + n) to fd. Returns 0 or the errno of the failure.
int write_all(int fd, const char* p, std::size_t n) {
  while (n > 0) {
    const ssize_t got = ::write(fd, p, n);
    if (got < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    p += got;
    n -= static_cast<std::size_t>(got);
  }
  return 0;
}

}  // namespace

struct Console::Impl {
  Impl(int in, int out, int err) : in_fd(in), out_fd(out), err_fd(err), reader(in, kInputBuffer) {
    pending.reserve(kOutputBuffer + 256);
  }

  int in_fd;
  int out_fd;
  int err_fd;
  LineReader reader;
  std::string pending;  // output not yet written

  // Returns 0 or the errno of a failed write; the bytes are dropped either way.
  int drain() {
    const int err = write_all(out_fd, pending.data(), pending.size());
    pending.clear();
    return err;
  }
};

Console::Console(int in_fd, int out_fd, int err_fd) : impl_(new Impl(in_fd, out_fd, err_fd)) {}

Console::~Console() {
  impl_->drain();  // a failure at this point has no one left to tell
  delete impl_;
}

void Console::flush() {
  if (impl_->pending.empty()) return;
  if (const int err = impl_->drain()) {
    throw fatal_error(std::string("Cannot write to standard output: ") + std::strerror(err), "WRITE", "*");
  }
}

bool Console::next(std::string_view& record) {
  flush();
  switch (impl_->reader.next(record)) {
    case LineReader::Status::record:
      return true;
    case LineReader::Status::end:
      return false;
    case LineReader::Status::failed:
      break;
  }
  throw fatal_error(std::string("Cannot read standard input: ") + std::strerror(impl_->reader.error()), "READ",
                   "*");
}

void Console::put(std::string_view record, bool line_end) {
  std::string& out = impl_->pending;
  append_record(out, record, line_end);
  if (out.size() >= kOutputBuffer) flush();
}

void Console::warn(std::string_view text) {
  flush();
  std::string line(text);
  line.push_back('\n');
  // Nothing sensible is left to do when even the error output fails.
  (void)write_all(impl_->err_fd, line.data(), line.size());
}

namespace {

// A standard stream that the process was started without is opened on
// /dev/null, so that no file opened later takes its number: with standard
// output closed, an output file would otherwise receive the dialogue, and
// with standard input closed the answers would come from an input file.
// Closed standard input then reads as end of input.
bool open_missing_standard_streams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) < 0 && errno == EBADF) {
      // The lowest free number is fd itself.
      if (::open("/dev/null", O_RDWR) < 0) return false;
    }
  }
  return true;
}

}  // namespace

Console& console() {
  static const bool streams_open = open_missing_standard_streams();
  (void)streams_open;
  static Console con(0, 1, 2);
  return con;
}

void read_answer(Console& con, std::int32_t& number) { read_list_directed(con, {number}); }

void read_answer(Console& con, bool& yes) { read_list_directed(con, {yes}); }

void read_answer(Console& con, Field<50>& line) { read_formatted(con, "(a)", {line}); }

void pause(Console& con, std::string_view message) {
  write_list_directed(con, message);
  std::string_view discarded;
  // End of input just ends the pause: the run stops right after it.
  (void)con.next(discarded);
}

}  // namespace ringave
