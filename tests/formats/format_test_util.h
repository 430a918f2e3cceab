// Helpers for the format tests: a series with its own value storage, a
// reporter that writes down what it is told, and a builder for Tucson data
// lines.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "formats/series.h"
#include "records/memory_unit.h"
#include "records/reporter.h"

namespace ringave::testing {

// A series with storage for `capacity` values (a store past them is caught by ASan).
struct OwnedSeries {
  std::vector<float> storage;
  Series s;
  explicit OwnedSeries(std::size_t capacity = 3001) : storage(capacity) { s.values = storage; }
  OwnedSeries(const OwnedSeries& o) : storage(o.storage), s(o.s) { s.values = storage; }
  std::vector<float> got() const { return {storage.begin(), storage.begin() + std::max(s.count, 0)}; }
};

// Writes down each finding: a note's records, a warning's summary after
// "warning: ", a file error's records and "file error". Lets the run go on.
struct Recorder final : Reporter {
  std::string said;
  void note(const Finding& f) override { said += f.records; }
  void warning(const Finding& f) override { (said += "warning: ").append(f.summary) += '\n'; }
  void file_error(const Finding& f) override { said.append(f.records) += "file error"; }
};

// Columns 1-12 as given, one I6 field per number, then `tail` and a line feed.
inline std::string data_line(std::string_view head, std::initializer_list<int> fields, std::string_view tail = "") {
  std::string s(head);
  for (int n : fields) s += std::string(std::max<int>(0, 6 - static_cast<int>(std::to_string(n).size())), ' ') + std::to_string(n);
  return s.append(tail) += '\n';
}

}  // namespace ringave::testing
