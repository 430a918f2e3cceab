// MemoryUnit: a unit over text held in memory, for tests and fuzzers that
// drive readers and writers without files. It reads with the record rules of
// a file (line feeds end records, carriage returns dropped, tabs expanded, a
// last line without line feed is a record) and steps back by the same
// RecordCursor as FileUnit, so a reader behaves on it as on a file. It writes
// into a string as an output file is written (append_record).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "records/record_cursor.h"
#include "records/record_io.h"

namespace ringave {

class MemoryUnit final : public Unit {
 public:
  // A unit numbered `number` (for its label) whose records are those of
  // `text`, split at once; text need not stay alive.
  explicit MemoryUnit(std::string_view text = {}, int number = 12);

  // The next record, or false at end of the text (see record_cursor.h for
  // step back). The view stays valid as long as the unit. Never throws.
  bool next(std::string_view& record) override;
  void step_back() override;
  // The records not yet read keep their tabs from here on.
  void keep_tabs() override;
  // Appends the record to written(). Never throws but for memory.
  void put(std::string_view record, bool line_end) override;
  // Room at the end of written(), so that writers format in place here as
  // they do in a file's buffer; commit() drops the carriage returns.
  char* room(std::size_t size) override;
  void commit(const char* end, std::size_t records) override;
  std::string unit_label() const override { return std::to_string(number_); }
  std::int64_t line() const override { return cursor_.line(); }

  // Everything written so far.
  const std::string& written() const { return out_; }

 private:
  int number_;
  std::vector<std::string> records_;
  std::vector<std::string> raw_;  // each line as the text holds it, for keep_tabs
  std::size_t pos_ = 0;
  RecordCursor cursor_;
  std::string out_;
  std::size_t room_at_ = 0;  // where the last room() began in out_
};

}  // namespace ringave
