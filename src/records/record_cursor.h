// RecordCursor: the step-back rule of every reading unit, in one place, so
// that a reader tested on in-memory text behaves the same on a file.
//
// A unit keeps one record of history: step_back() makes the next read
// deliver the record taken last once more, and a second step back before
// that read does nothing more. After a read that met end of file, a step
// back only clears the end-of-file state (the unit stays at its end: the
// next read meets end of file again); a further step back then delivers the
// last record again. At the start of the input a step back does nothing.
#pragma once

#include <cstdint>
#include <string_view>

namespace ringave {

class RecordCursor {
 public:
  // Take the next record into `record`: the record taken last when a step
  // back asked for it, else whatever `fetch` (bool(std::string_view&): a new
  // record, or false at end of input) gives. Returns false at end of input,
  // and keeps returning false, without calling fetch, until a step back.
  // The record taken last must stay valid in its unit until fetch is called
  // again. An exception from fetch propagates; call lose() before throwing
  // it when the record taken last is gone.
  template <typename Fetch>
  bool next(std::string_view& record, Fetch&& fetch) {
    if (at_end_) return false;
    if (replay_) {
      replay_ = false;
      record = last_;
      ++line_;
      return true;
    }
    if (!fetch(record)) {
      at_end_ = true;
      return false;
    }
    took(record);
    return true;
  }

  // Whether the next read fetches a new record (no step back to replay, not
  // at the end of the input).
  bool fetches() const { return !at_end_ && !replay_; }

  // `count` new records taken straight from the unit's reader, the last of
  // them `last`, as that many calls of next() take them while fetches()
  // holds.
  void took(std::string_view last, std::int64_t count = 1) {
    last_ = last;
    have_last_ = true;
    line_ += count;
  }

  void step_back() {
    if (at_end_) {
      at_end_ = false;
      return;
    }
    if (have_last_ && !replay_) {
      replay_ = true;
      --line_;
    }
  }

  // The line number of the record taken last (0 before the first): records
  // delivered, less the one a step back will deliver again.
  std::int64_t line() const { return line_; }

  // A failed read: the unit stays at its end, with no record to step back to.
  void lose() {
    at_end_ = true;
    have_last_ = replay_ = false;
    last_ = {};
  }

  // Back to the start of a new input.
  void reset() { *this = RecordCursor(); }

 private:
  std::string_view last_;
  bool have_last_ = false;
  bool replay_ = false;  // the next read delivers last_ again
  bool at_end_ = false;
  std::int64_t line_ = 0;
};

}  // namespace ringave
