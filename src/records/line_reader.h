// LineReader: splits the bytes of a file descriptor into records, streaming
// them through a fixed buffer so that memory stays small whatever the size of
// the file. Input files and the console share it, so both split records the
// same way: a line feed ends a record, a last line without one is a record
// too, and every raw line is cleaned as clean_record() does (a block read
// without carriage returns and tabs is searched for them once, and its lines
// are handed out as they stand).
//
// The record delivered last stays intact until the next call of next(), so a
// unit can hand it out a second time after a step back.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace ringave {

class LineReader {
 public:
  // Reads from fd (not owned) with a buffer of buffer_size bytes.
  LineReader(int fd, std::size_t buffer_size);
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // Start over on another descriptor, keeping the buffer (tabs expanded).
  void reset(int fd);

  // Records from the next one on keep their tabs (Unit::keep_tabs).
  void keep_tabs() { expand_tabs_ = false; }

  enum class Status { record, end, failed };

  // Take the next record. `end`: no byte remains. `failed`: the operating system
  // refused a read; error() holds its errno. A record that was being
  // gathered when a read failed is lost.
  Status next(std::string_view& record) {
    if (next_buffered(record)) return Status::record;
    return next_slow(record);
  }

  // Only the common record, inline: a whole line of a block that needs no
  // cleaning. False, with nothing taken, for every other (next() takes it).
  bool next_buffered(std::string_view& record) {
    if (plain_block_ && begin_ < end_) {
      const char* start = buf_.get() + begin_;
      const std::size_t avail = end_ - begin_;
      const void* lf = std::memchr(start, '\n', avail);
      if (lf == nullptr) return false;
      const auto n = static_cast<std::size_t>(static_cast<const char*>(lf) - start);
      begin_ += n + 1;
      record = std::string_view(start, n);
      return true;
    }
    return false;
  }
  // The whole lines of a block that needs no cleaning that are still to be
  // taken, each with its line feed (empty when there are none); skip(n)
  // takes the first n bytes of them.
  std::string_view buffered_lines() const {
    if (!plain_block_ || begin_ >= end_) return {};
    const char* start = buf_.get() + begin_;
    const void* lf = ::memrchr(start, '\n', end_ - begin_);
    return lf ? std::string_view(start, static_cast<std::size_t>(static_cast<const char*>(lf) - start) + 1)
              : std::string_view();
  }
  void skip(std::size_t n) { begin_ += n; }

  int error() const { return error_; }

 private:
  // Every other record: lines that span refills, lines to clean, reads.
  Status next_slow(std::string_view& record);

  int fd_;
  std::unique_ptr<char[]> buf_;
  std::size_t cap_;
  std::size_t begin_ = 0;  // first unused byte of buf_
  std::size_t end_ = 0;    // one past the last byte read into buf_
  std::string line_;       // a raw line that spans refills of buf_
  std::string scratch_;    // the cleaned record when it differs from the raw line
  // The bytes read last hold no carriage return and no tab, so their lines
  // need no cleaning: one search per block instead of two per line.
  bool plain_block_ = false;
  bool expand_tabs_ = true;  // false: tabs are kept, only carriage returns need cleaning
  int error_ = 0;
};

}  // namespace ringave
