// Helpers for the Tucson reader and writer tests: a console over temporary
// files whose output and error text can be read back, the caller's variables
// of trrw in one place, and a builder for Tucson data lines.
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

#include "formats/trrw.h"
#include "records/console.h"
#include "records/memory_unit.h"

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

// The caller's variables of trrw, as the run driver keeps them.
struct TrrwVars {
  Field<8> id;
  std::int32_t first_year = 0, count = 0, depths = 0, counter = 0, max_count = 3001;
  std::vector<float> values = std::vector<float>(3001, 0.0f);
  Field<85> title;
  Field<6> tag;
  std::array<Field<88>, 3> headers;
  RecordSink* listing = nullptr;

  void read(Unit& unit, Console& con) { call(unit, con, "mr"); }
  void write(Unit& unit, Console& con) { call(unit, con, "mw"); }
  void call(Unit& unit, Console& con, std::string_view mode) {
    trrw(id, first_year, count, values, depths, counter, unit, listing, mode, title, tag, max_count, headers, con);
  }
  std::vector<float> got() const { return {values.begin(), values.begin() + std::max(count, 0)}; }
};

// Columns 1-12 as given, one I6 field per number, then `tail` and a line feed.
inline std::string data_line(std::string_view head, std::initializer_list<int> fields, std::string_view tail = "") {
  std::string s(head);
  for (int n : fields) s += std::string(std::max<int>(0, 6 - static_cast<int>(std::to_string(n).size())), ' ') + std::to_string(n);
  return s.append(tail) += '\n';
}

}  // namespace ringave::testing
