#include "records/line_reader.h"

#include <cerrno>
#include <cstring>

#include <unistd.h>

#include "records/record_io.h"

namespace ringave {

LineReader::LineReader(int fd, std::size_t buffer_size)
    : fd_(fd), buf_(new char[buffer_size]), cap_(buffer_size) {}

void LineReader::reset(int fd) {
  fd_ = fd;
  begin_ = end_ = 0;
  error_ = 0;
  expand_tabs_ = true;
}

LineReader::Status LineReader::next_slow(std::string_view& record) {
  bool partial = false;  // line_ holds the start of the record
  for (;;) {
    if (begin_ < end_) {
      const char* start = buf_.get() + begin_;
      const std::size_t avail = end_ - begin_;
      const void* lf = std::memchr(start, '\n', avail);
      if (lf != nullptr) {
        const std::size_t n = static_cast<std::size_t>(static_cast<const char*>(lf) - start);
        begin_ += n + 1;
        std::string_view raw(start, n);
        if (partial) {
          line_.append(raw);
          record = clean_record(line_, scratch_, expand_tabs_);
        } else {
          // A line of a block without carriage returns and tabs is its own
          // record: clean_record would hand it back as it is.
          record = plain_block_ ? raw : clean_record(raw, scratch_, expand_tabs_);
        }
        return Status::record;
      }
      // No line feed in what is buffered: keep it and read on. (line_ is
      // only touched here and above, so the record delivered last stays
      // intact when this call meets the end of the data.)
      if (partial) {
        line_.append(start, avail);
      } else {
        line_.assign(start, avail);
        partial = true;
      }
      begin_ = end_;
    }
    ssize_t got;
    do {
      got = ::read(fd_, buf_.get(), cap_);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
      error_ = errno;
      begin_ = end_ = 0;
      return Status::failed;
    }
    begin_ = 0;
    end_ = static_cast<std::size_t>(got);
    plain_block_ = std::memchr(buf_.get(), '\r', end_) == nullptr &&
                   (!expand_tabs_ || std::memchr(buf_.get(), '\t', end_) == nullptr);
    if (got == 0) {
      if (!partial) return Status::end;
      // A last line without a line feed.
      record = clean_record(line_, scratch_, expand_tabs_);
      return Status::record;
    }
  }
}

}  // namespace ringave
