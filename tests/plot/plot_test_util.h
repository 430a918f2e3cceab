// Helpers for the plot tests: a reporter that ends the run at a file error;
// shell tools.
#pragma once

#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "averaging/fixed_positions.h"
#include "averaging/treemean.h"
#include "test_files.h"
#include "plot/tree_plot.h"
#include "run/outputs.h"
#include "run/plot_cores.h"
#include "run/run_storage.h"

namespace ringave::testing {

// Ends the read at a file error; notes and warnings are not the plot's business.
struct FailingReporter final : Reporter {
  void note(const Finding&) override {}
  void warning(const Finding&) override {}
  void file_error(const Finding& f) override { stop(kExitFailure, f.summary); }
};

// Why `tool` cannot be run here, or empty when it can.
inline std::string missing_tool(const std::string& tool, const std::string& package) {
  if (std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0) return "";
  return tool + " is not installed (Debian package " + package + ")";
}

inline int run_shell(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace ringave::testing
