// A reporter that lets every finding pass without a word: the reader
// harnesses look only at what the readers deliver and whether they crash.
#pragma once

#include "records/reporter.h"

namespace ringave {

struct QuietReporter final : Reporter {
  void note(const Finding&) override {}
  void warning(const Finding&) override {}
  void file_error(const Finding&) override {}
};

}  // namespace ringave
