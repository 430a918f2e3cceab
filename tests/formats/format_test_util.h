// Helpers for the format tests: a console over temporary files whose output
// and error text can be read back, a series with its own value storage, a
// reporter that writes down what it is told, and a builder for Tucson data
// lines.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "formats/series.h"
#include "records/console.h"
#include "records/memory_unit.h"
#include "records/reporter.h"

namespace ringave::testing {

class CapturedConsole {  // no answers: a pause just ends
 public:
  ~CapturedConsole() { con_.reset(), std::fclose(in_), std::fclose(out_), std::fclose(err_); }
  Console& con() { return *con_; }
  std::string out() { return slurp(out_); }
  std::string err() { return slurp(err_); }

 private:
  std::string slurp(std::FILE* f) {
    con_->flush();
    std::string text(static_cast<std::size_t>(lseek(fileno(f), 0, SEEK_END)), '\0');
    return text.substr(0, static_cast<std::size_t>(std::max<ssize_t>(pread(fileno(f), text.data(), text.size(), 0), 0)));
  }
  std::FILE *in_ = std::tmpfile(), *out_ = std::tmpfile(), *err_ = std::tmpfile();
  std::unique_ptr<Console> con_ = std::make_unique<Console>(fileno(in_), fileno(out_), fileno(err_));
};

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
