#include "records/memory_unit.h"

#include <algorithm>

namespace ringave {

MemoryUnit::MemoryUnit(std::string_view text, int number) : number_(number) {
  std::string scratch;
  while (!text.empty()) {
    const std::size_t lf = text.find('\n');
    const std::string_view raw = text.substr(0, lf);
    records_.emplace_back(clean_record(raw, scratch));
    raw_.emplace_back(raw);
    // A last line without a line feed is a record like any other.
    text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
  }
}

bool MemoryUnit::next(std::string_view& record) {
  return cursor_.next(record, [this](std::string_view& fresh) {
    if (pos_ >= records_.size()) return false;
    fresh = records_[pos_++];
    return true;
  });
}

void MemoryUnit::step_back() { cursor_.step_back(); }

void MemoryUnit::keep_tabs() {
  std::string scratch;
  for (std::size_t i = pos_; i < records_.size(); ++i) records_[i] = std::string(clean_record(raw_[i], scratch, false));
}

void MemoryUnit::put(std::string_view record, bool line_end) { append_record(out_, record, line_end); }

char* MemoryUnit::room(std::size_t size) {
  room_at_ = out_.size();
  out_.resize(room_at_ + size);
  return out_.data() + room_at_;
}

void MemoryUnit::commit(const char* end, std::size_t /*records*/) {
  const auto first = out_.begin() + static_cast<std::ptrdiff_t>(room_at_);
  const auto last = out_.begin() + (end - out_.data());
  out_.erase(std::remove(first, last, '\r'), out_.end());
}

}  // namespace ringave
