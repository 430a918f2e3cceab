#include "records/memory_unit.h"

#include <cstring>

namespace ringave {

MemoryUnit::MemoryUnit(std::string_view text, int number) : number_(number) {
  std::string scratch;
  while (!text.empty()) {
    const std::size_t lf = text.find('\n');
    const std::string_view raw = text.substr(0, lf);
    records_.emplace_back(clean_record(raw, scratch));
    // A last line without a line feed is a record like any other.
    text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
  }
}

bool MemoryUnit::next(std::string_view& record) {
  if (at_end_) return false;
  if (pos_ >= records_.size()) {
    at_end_ = true;
    return false;
  }
  record = records_[pos_++];
  return true;
}

void MemoryUnit::step_back() {
  if (at_end_) {
    at_end_ = false;  // the unit stays at its end
  } else if (pos_ > 0) {
    --pos_;
  }
}

void MemoryUnit::put(std::string_view record, bool line_end) {
  // Carriage returns inside a record are not written.
  for (char ch : record)
    if (ch != '\r') out_.push_back(ch);
  if (line_end) out_.push_back('\n');
}

}  // namespace ringave
