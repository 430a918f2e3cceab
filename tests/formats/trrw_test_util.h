// Helpers for the Tucson reader and writer tests: a console over temporary
// files whose output and error text can be read back, the caller's variables
// of trrw in one place, and builders for Tucson data lines.
#pragma once

#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "formats/trrw.h"
#include "records/console.h"
#include "records/memory_unit.h"

namespace ringave::testing {

class CapturedConsole {
 public:
  CapturedConsole()
      : in_(std::tmpfile()), out_(std::tmpfile()), err_(std::tmpfile()),
        con_(new Console(fileno(in_), fileno(out_), fileno(err_))) {}
  ~CapturedConsole() {
    con_.reset();
    std::fclose(in_);
    std::fclose(out_);
    std::fclose(err_);
  }
  Console& con() { return *con_; }
  std::string out() { return slurp(out_); }
  std::string err() { return slurp(err_); }

 private:
  std::string slurp(std::FILE* f) {
    con_->flush();
    std::string text;
    char buf[4096];
    off_t at = 0;
    for (;;) {
      const ssize_t n = pread(fileno(f), buf, sizeof buf, at);
      if (n <= 0) break;
      text.append(buf, static_cast<std::size_t>(n));
      at += n;
    }
    return text;
  }
  std::FILE* in_;
  std::FILE* out_;
  std::FILE* err_;
  std::unique_ptr<Console> con_;
};

// The caller's variables of trrw, as the run driver keeps them.
struct TrrwVars {
  Field<8> id;
  std::int32_t first_year = 0;
  std::int32_t count = 0;
  std::int32_t depths = 0;
  std::int32_t counter = 0;
  std::vector<float> values = std::vector<float>(3001, 0.0f);
  Field<85> title;
  Field<6> tag;
  std::int32_t max_count = 3001;
  std::array<Field<88>, 3> headers;
  RecordSink* listing = nullptr;

  void read(Unit& unit, Console& con) {
    trrw(id, first_year, count, values, depths, counter, unit, listing, "mr", title, tag, max_count, headers, con);
  }
  void write(Unit& unit, Console& con) {
    trrw(id, first_year, count, values, depths, counter, unit, listing, "mw", title, tag, max_count, headers, con);
  }
  std::vector<float> got() const {
    if (count <= 0) return {};
    return {values.begin(), values.begin() + count};
  }
};

// Columns 1-12 as given, then one I6 field per number.
inline std::string data_line(std::string_view head, std::initializer_list<int> fields) {
  std::string s(head);
  char buf[32];
  for (int v : fields) {
    std::snprintf(buf, sizeof buf, "%6d", v);
    s += buf;
  }
  return s;
}

// `text` blank-padded to `column - 1` characters, then `what` from `column` on.
inline std::string put_at(std::string text, std::size_t column, std::string_view what) {
  if (text.size() < column - 1) text.resize(column - 1, ' ');
  text.resize(column - 1);
  text += what;
  return text;
}

inline std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace ringave::testing
