// Throughput of the Tucson reader and writer at capacity, in bytes of Tucson text per second.
//
//  - Read: a Tucson file of 2001 series x 3001 values in thousandths (about
//    44 MB) read series by series into the series buffer, from a file (the
//    road the program takes) and from memory (the record layer's cost
//    without file I/O; splitting the text into records is not timed).
//  - Write: 1000 tree series of 3001 values written in thousandths with the
//    tag "AVE", to a file (committed by close()) and to memory.
//
// Target: 200 MB/s or better for each on the benchmark machine. The rates
// are per CPU second of the process (user and system time, so the file
// system's share counts), which stays meaningful on a machine shared with
// other work; the Time column shows the wall time beside it.
#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "formats/tucson.h"
#include "records/field.h"
#include "records/file_unit.h"
#include "records/memory_unit.h"
#include "records/reporter.h"
#include "tools/capacity_data.h"

namespace {

using ringave::Field;

// The capacity data as text and as tree series, made once and shared by
// every benchmark; the temporary folder goes when the program ends.
class Data {
 public:
  static Data& get() {
    static Data data;
    return data;
  }

  const std::string& tucson_text() const { return tucson_; }
  const std::string& tucson_path() const { return tucson_path_; }
  std::string out_path() const { return dir_ + "/out_AVE.raw"; }

  static constexpr int kWriteSeries = 1000;
  const std::vector<float>& series_values(int s) const { return write_values_[s]; }
  const Field<8>& series_id(int s) const { return write_ids_[s]; }

  ringave::Reporter& quiet_reporter() { return quiet_; }

 private:
  Data() {
    const capacity::Plan plan;  // full capacity
    const std::vector<capacity::Core> cores = capacity::cores_of(plan);
    const capacity::Widths widths(plan.values);
    std::vector<int> h;
    std::vector<int> tenfold;
    tucson_ = capacity::tucson_header(plan, 1000);
    for (std::size_t s = 0; s < cores.size(); ++s) {
      widths.core(cores[s], h);
      tenfold.resize(h.size());
      for (std::size_t j = 0; j < h.size(); ++j) tenfold[j] = h[j] * 10;
      capacity::append_tucson(tucson_, capacity::series_id(cores[s]), capacity::kFirstYear, tenfold.data(),
                              plan.values, -9999);
      if (static_cast<int>(write_values_.size()) < kWriteSeries) {
        std::vector<float> v(h.size());
        for (std::size_t j = 0; j < h.size(); ++j) v[j] = capacity::as_read(capacity::Kind::kThousandths, h[j]);
        write_values_.push_back(std::move(v));
        write_ids_.emplace_back(capacity::tree_id(static_cast<int>(s) + 1));
      }
    }

    std::string pattern = (std::filesystem::temp_directory_path() / "ringave_bench_XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      std::perror("formats_bench: mkdtemp");
      std::exit(2);
    }
    dir_ = pattern;
    tucson_path_ = dir_ + "/capacity.rwl";
    std::FILE* f = std::fopen(tucson_path_.c_str(), "wb");
    if (f == nullptr || std::fwrite(tucson_.data(), 1, tucson_.size(), f) != tucson_.size() || std::fclose(f) != 0) {
      std::perror("formats_bench: writing the capacity file");
      std::exit(2);
    }
  }

  ~Data() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  std::string tucson_;
  std::string dir_;
  std::string tucson_path_;
  std::vector<std::vector<float>> write_values_;
  std::vector<Field<8>> write_ids_;
  // The reader reports nothing on this data; should it, the benchmark stays quiet.
  struct Quiet final : ringave::Reporter {
    void note(const ringave::Finding&) override {}
    void warning(const ringave::Finding&) override {}
    void file_error(const ringave::Finding&) override {}
  } quiet_;
};

// The series of the program with its storage: one series on its way.
struct SeriesBuffer {
  std::vector<float> values = std::vector<float>(capacity::kMaxValues);
  ringave::Series s;
  SeriesBuffer() { s.values = values; }
};

// Read every series of `unit`; returns the number of values delivered.
std::int64_t read_all(ringave::Unit& unit, SeriesBuffer& b, ringave::Reporter& reporter) {
  std::int64_t values = 0;
  ringave::TucsonReader reader(unit, reporter);
  while (reader.next(b.s) == ringave::SeriesRead::series) values += b.s.count;
  benchmark::DoNotOptimize(b.values.data());
  return values;
}

void check_values(benchmark::State& state, std::int64_t values) {
  const std::int64_t want = static_cast<std::int64_t>(capacity::kMaxSeries) * capacity::kMaxValues;
  if (values != want) state.SkipWithError("the reader did not deliver every value of the capacity file");
}

void BM_TucsonReadFile(benchmark::State& state) {
  Data& data = Data::get();
  SeriesBuffer b;
  std::int64_t values = 0;
  for (auto _ : state) {
    ringave::FileUnit unit(12);
    unit.open_read(data.tucson_path());
    values = read_all(unit, b, data.quiet_reporter());
    unit.close();
  }
  check_values(state, values);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(data.tucson_text().size()));
}
BENCHMARK(BM_TucsonReadFile)->Unit(benchmark::kMillisecond);

void BM_TucsonReadMemory(benchmark::State& state) {
  Data& data = Data::get();
  SeriesBuffer b;
  std::int64_t values = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto* unit = new ringave::MemoryUnit(data.tucson_text(), 12);
    state.ResumeTiming();
    values = read_all(*unit, b, data.quiet_reporter());
    state.PauseTiming();
    delete unit;
    state.ResumeTiming();
  }
  check_values(state, values);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(data.tucson_text().size()));
}
BENCHMARK(BM_TucsonReadMemory)->Unit(benchmark::kMillisecond);

// Write the 1000 tree series to `unit`.
// Each comes from the series buffer, as the program's tree series come from
// its table.
void write_all(ringave::Unit& unit, SeriesBuffer& b) {
  Data& data = Data::get();
  const ringave::Field<6> tag("AVE");
  for (int s = 0; s < Data::kWriteSeries; ++s) {
    const std::vector<float>& v = data.series_values(s);
    b.s.id = data.series_id(s);
    b.s.first_year = capacity::kFirstYear;
    b.s.count = static_cast<std::int32_t>(v.size());
    std::copy(v.begin(), v.end(), b.values.begin());
    ringave::write_tucson_series(unit, b.s, tag);
  }
}

// Bytes of the 1000 series as written, for the rate.
std::int64_t written_size() {
  static const std::int64_t size = [] {
    SeriesBuffer b;
    ringave::MemoryUnit unit(std::string_view{}, 13);
    write_all(unit, b);
    return static_cast<std::int64_t>(unit.written().size());
  }();
  return size;
}

void BM_TucsonWriteFile(benchmark::State& state) {
  Data& data = Data::get();
  const std::int64_t bytes = written_size();
  SeriesBuffer b;
  for (auto _ : state) {
    ringave::FileUnit unit(13);
    unit.open_write(data.out_path());
    write_all(unit, b);
    unit.close();
  }
  if (std::filesystem::file_size(data.out_path()) != static_cast<std::uintmax_t>(bytes))
    state.SkipWithError("the file holds other bytes than the memory unit");
  state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_TucsonWriteFile)->Unit(benchmark::kMillisecond);

void BM_TucsonWriteMemory(benchmark::State& state) {
  const std::int64_t bytes = written_size();
  SeriesBuffer b;
  for (auto _ : state) {
    ringave::MemoryUnit unit(std::string_view{}, 13);
    write_all(unit, b);
    benchmark::DoNotOptimize(unit.written().data());
  }
  state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_TucsonWriteMemory)->Unit(benchmark::kMillisecond);

}  // namespace
