// Record layer throughput: Tucson data lines read from internal records.
//
// The Tucson reader takes each line whole into an 88-character field and then
// parses it with "(a8,i4,10i6)" from that field as an internal record. The
// layout is compiled once, as the reader's is; the counter "records/s" is the
// figure to watch (target: 3 million per second on one core).

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "records/field.h"
#include "records/items.h"
#include "records/layout.h"
#include "records/outcome.h"
#include "records/record_io.h"
#include "records/transfer.h"

namespace ringave {
namespace {

// An 88-character record: ID, decade year and ten values, blank-padded.
Field<88> tucson_line() {
  return Field<88>("ABC01A  1990   123   456    78  1002    -5    99   300   301   302 -9999");
}

void BM_ReadTucsonDataLine(benchmark::State& state) {
  const Field<88> line = tucson_line();
  const Layout& data = layout("(a8,i4,10i6)");
  if (!data.ok()) {
    state.SkipWithError(data.error().c_str());
    return;
  }
  Field<8> id;
  std::int32_t year = 0;
  std::int32_t v[10] = {};
  for (auto _ : state) {
    InternalSource source(line.view());
    const Outcome outcome = read_formatted(source, data,
                                 {id, year, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9]},
                                 Handles::error);
    benchmark::DoNotOptimize(outcome);
    benchmark::DoNotOptimize(v);
    benchmark::ClobberMemory();
  }
  if (year != 1990 || v[0] != 123 || v[9] != -9999 || id.view() != "ABC01A  ") {
    state.SkipWithError("the record was read wrongly");
  }
  state.counters["records/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReadTucsonDataLine);

// The same read through the cache lookup by text on every record, as a
// caller that passes the layout text each time does.
void BM_ReadTucsonDataLineByText(benchmark::State& state) {
  const Field<88> line = tucson_line();
  Field<8> id;
  std::int32_t year = 0;
  std::int32_t v[10] = {};
  for (auto _ : state) {
    InternalSource source(line.view());
    const Outcome outcome = read_formatted(source, "(a8,i4,10i6)",
                                 {id, year, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9]},
                                 Handles::error);
    benchmark::DoNotOptimize(outcome);
    benchmark::DoNotOptimize(v);
    benchmark::ClobberMemory();
  }
  state.counters["records/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReadTucsonDataLineByText);

// Compiling a layout text, what a cache miss costs (a Compact data layout).
void BM_CompileLayout(benchmark::State& state) {
  for (auto _ : state) {
    Layout l = Layout::compile("(/t2,'*** error reading data in sbr cdf: '/1x,a,1x,2i6,2x,a/1x,a) ");
    benchmark::DoNotOptimize(l);
  }
}
BENCHMARK(BM_CompileLayout);

// A cache hit: looking up a layout text already compiled.
void BM_LayoutCacheHit(benchmark::State& state) {
  const std::string text = "(10F8.0)";
  layout(text);
  for (auto _ : state) {
    const Layout& l = layout(text);
    benchmark::DoNotOptimize(&l);
  }
}
BENCHMARK(BM_LayoutCacheHit);

}  // namespace
}  // namespace ringave
