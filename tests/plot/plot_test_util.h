// Helpers for the plot tests: a ring-width file read and averaged the way a
// run does it, with the cores kept for the picture; the picture rendered to
// PNG by rsvg-convert and read back as pixels; XML checked by xmllint.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "averaging/treemean.h"
#include "formats/compact.h"
#include "formats/tucson.h"
#include "plot/tree_plot.h"
#include "records/file_unit.h"
#include "records/outcome.h"
#include "run/plot_cores.h"
#include "run/run_storage.h"

namespace ringave::testing {

// Ends the read at a file error; notes and warnings are not the plot's business.
struct FailingReporter final : Reporter {
  void note(const Finding&) override {}
  void warning(const Finding&) override {}
  void file_error(const Finding& f) override { stop(kExitFailure, f.summary); }
};

// Reads every series of `path` (format 1 Tucson, 2 Compact) into the table,
// keeps the cores, averages them with the tree number at kf..kl and returns
// the picture's data, titled with `shown`.
inline PlotData plot_of_file(const std::string& path, int format, int kf, int kl, const std::string& shown) {
  auto run = std::make_unique<RunStorage>();
  FailingReporter reporter;
  FileUnit in(12);
  in.open_read(path);
  run->series.begin_file();
  std::int32_t row = 0;
  for (;;) {
    Series& s = run->series;
    const SeriesRead got = format == 1 ? read_tucson_series(in, s, reporter) : read_compact_series(in, s, reporter);
    if (got != SeriesRead::series) break;
    const auto i = static_cast<std::size_t>(row++);
    run->table.ids()[i] = s.id;
    run->table.first_years()[i] = s.first_year;
    run->table.counts()[i] = s.count;
    run->table.last_years()[i] = s.first_year + s.count - 1;
    std::copy_n(s.values.begin(), s.count, run->table.row_values(row).begin());
  }
  run->table.rows = row;
  std::vector<PlotCore> cores = keep_cores(run->table);
  CoreTable table = run->table.cores();
  AveragingWork work = run->work();
  const std::int32_t trees = treemean(table, work, kf, kl);
  return plot_data(shown, kf, kl, std::move(cores), run->table, trees);
}

inline bool have_tool(const char* name) {
  const std::string probe = std::string("command -v ") + name + " >/dev/null 2>&1";
  return std::system(probe.c_str()) == 0;
}

inline int run_shell(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline std::string quoted(const std::filesystem::path& p) {
  std::string q = "'";
  for (char c : p.string()) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

inline std::string slurp(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

inline void spill(const std::filesystem::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
}

// A folder of its own for one test, removed with it.
struct ScratchDir {
  std::filesystem::path path;
  ScratchDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "ringave-plot-XXXXXX").string();
    path = mkdtemp(tmpl.data());
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
};

// 8-bit RGB pixels, row by row.
struct Image {
  std::int64_t width = 0;
  std::int64_t height = 0;
  std::vector<std::uint8_t> rgb;
  const std::uint8_t* at(std::int64_t x, std::int64_t y) const {
    return rgb.data() + static_cast<std::size_t>((y * width + x) * 3);
  }
  // A pixel of the mean's black, or nearly (antialiased edges are lighter;
  // no core colour comes close).
  bool black(std::int64_t x, std::int64_t y) const {
    const std::uint8_t* p = at(x, y);
    return p[0] <= 40 && p[1] <= 40 && p[2] <= 40;
  }
  bool white(std::int64_t x, std::int64_t y) const {
    const std::uint8_t* p = at(x, y);
    return p[0] == 255 && p[1] == 255 && p[2] == 255;
  }
};

// Reads a non-interlaced 8-bit RGB or RGBA PNG, as rsvg-convert writes it
// (alpha dropped: the picture paints a white background). An empty image
// when the file is anything else. Defined in png_read.cpp.
Image read_png(const std::string& bytes);

}  // namespace ringave::testing
