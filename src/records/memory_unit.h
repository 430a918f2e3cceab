// MemoryUnit: a unit over text held in memory, read with the same record
// rules as a file (line feeds end records, carriage returns dropped, tabs
// expanded, a last line without line feed is a record) and written into a
// string with a line feed after each record (none after a "$" record).
// Carriage returns inside a written record are dropped, as on a file. Step
// back follows the file rules, and may go back any number of records.
// Used by tests and fuzzers to drive readers and writers without files.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "records/record_io.h"

namespace ringave {

class MemoryUnit final : public Unit {
 public:
  explicit MemoryUnit(std::string_view text = {}, int number = 12);

  bool next(std::string_view& record) override;
  void step_back() override;
  void put(std::string_view record, bool line_end) override;
  std::string unit_label() const override { return std::to_string(number_); }

  // Everything written so far.
  const std::string& written() const { return out_; }

 private:
  int number_;
  std::vector<std::string> records_;
  std::size_t pos_ = 0;
  bool at_end_ = false;
  std::string out_;
};

}  // namespace ringave
