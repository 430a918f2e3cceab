// The tree plot at capacity: the picture of the capacity data set (2001
// cores of 3001 years, two or three a tree) and of 1/10 and 1/100 of it,
// written to a file through the output file unit, as a run with a picture
// writes it. Counters: the values drawn, the picture's size and its bytes
// per value (linear growth shows as the same bytes per value at every size).
//
// Target: the full-capacity picture in under a second.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "plot/tree_plot.h"
#include "records/file_unit.h"
#include "run/unit_numbers.h"
#include "tools/capacity_data.h"

namespace {

// The data set at 1/denominator of capacity as the picture takes it, the
// mean of each tree computed from its cores.
ringave::PlotData plot_data(int denominator) {
  const capacity::Plan plan = capacity::plan_for(denominator);
  const capacity::Widths widths(plan.values);
  ringave::PlotData d{"capacity.rwl",
                      "positions " + std::to_string(capacity::kTreeStart) + "-" + std::to_string(capacity::kTreeStop),
                      {}};
  std::vector<int> h;
  for (const capacity::Core& c : capacity::cores_of(plan)) {
    if (c.core == 0) d.trees.push_back({capacity::tree_id(c.tree), capacity::kFirstYear, {}, {}});
    ringave::PlotCore core{capacity::series_id(c), capacity::kFirstYear, {}};
    widths.core(c, h);
    for (int v : h) core.values.push_back(capacity::as_read(capacity::Kind::kHundredths, v));
    d.trees.back().cores.push_back(std::move(core));
  }
  for (ringave::PlotTree& t : d.trees) {
    t.mean.assign(static_cast<std::size_t>(plan.values), 0.0f);
    for (const ringave::PlotCore& c : t.cores)
      for (std::size_t j = 0; j < c.values.size(); ++j) t.mean[j] += c.values[j] / static_cast<float>(t.cores.size());
  }
  return d;
}

void BM_PlotFile(benchmark::State& state) {
  const ringave::PlotData data = plot_data(static_cast<int>(state.range(0)));
  std::string dir = (std::filesystem::temp_directory_path() / "ringave_plot_bench_XXXXXX").string();
  if (mkdtemp(dir.data()) == nullptr) {
    state.SkipWithError("mkdtemp failed");
    return;
  }
  const std::string out = dir + "/capacity_AVE.svg";
  for (auto _ : state) {
    ringave::FileUnit svg(ringave::kPlotUnit);
    svg.open_write(out);
    ringave::write_tree_plot(svg, data);
    svg.close();
  }
  double values = 0;
  for (const ringave::PlotTree& t : data.trees) {
    values += static_cast<double>(t.mean.size());
    for (const ringave::PlotCore& c : t.cores) values += static_cast<double>(c.values.size());
  }
  const auto bytes = static_cast<double>(std::filesystem::file_size(out));
  state.counters["trees"] = static_cast<double>(data.trees.size());
  state.counters["values"] = values;
  state.counters["MB"] = bytes / 1e6;
  state.counters["B/value"] = bytes / values;
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_PlotFile)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace
