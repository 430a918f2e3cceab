// The in-memory data of a run: the series table that holds every series of
// one input file, the series buffer through which one series passes between
// the driver and a reader or the writer, and the file list that the input
// selection fills. All three are made once at start-up with every number
// zero and every character field blank, and reused for every file; nothing
// is allocated per file or per series.
//
// Rows, entries and value slots are numbered from 1 in the driver's terms;
// the accessors take those numbers. Rows above the row count keep whatever
// an earlier file left in them and are never read.
#pragma once

#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>

#include "records/field.h"
#include "run/limits.h"

namespace ringave {

// Series table: kSeriesLimit rows of series ID, first year, last year, value
// count and kLengthLimit value slots. The values are one row-major matrix,
// as the averaging takes them.
class SeriesTable {
 public:
  SeriesTable();
  SeriesTable(const SeriesTable&) = delete;
  SeriesTable& operator=(const SeriesTable&) = delete;

  // Number of rows in use, 0 .. kSeriesLimit.
  std::int32_t rows = 0;

  // Columns, index r-1 for row r.
  std::span<Field<8>> ids() { return {ids_.get(), kSeriesLimit}; }
  std::span<std::int32_t> first_years() { return {first_years_.get(), kSeriesLimit}; }
  std::span<std::int32_t> last_years() { return {last_years_.get(), kSeriesLimit}; }
  std::span<std::int32_t> counts() { return {counts_.get(), kSeriesLimit}; }
  // The whole value matrix: kSeriesLimit rows of kLengthLimit slots.
  std::span<float> values() { return {values_.get(), static_cast<std::size_t>(kSeriesLimit) * kLengthLimit}; }
  // The kLengthLimit value slots of row r (1-based).
  std::span<float> row_values(std::int32_t r) {
    return values().subspan(static_cast<std::size_t>(r - 1) * kLengthLimit, kLengthLimit);
  }

 private:
  std::unique_ptr<Field<8>[]> ids_;
  std::unique_ptr<std::int32_t[]> first_years_;
  std::unique_ptr<std::int32_t[]> last_years_;
  std::unique_ptr<std::int32_t[]> counts_;
  // The value matrix comes from calloc: the system hands out zero pages
  // as they are first touched, so start-up does not fill 24 MB with zeros
  // and a small file never makes the untouched rows resident.
  struct FreeValues {
    void operator()(float* p) const { std::free(p); }
  };
  std::unique_ptr<float[], FreeValues> values_;
};

// Series buffer: one series on its way between the driver and a reader or
// the writer, plus what links the reader calls of one file.
struct SeriesBuffer {
  Field<8> id;
  std::int32_t first_year = 0;
  std::int32_t count = 0;  // -999 at end of file
  std::array<float, kLengthLimit> values{};
  // Counts the reader's calls on the current file; -999 at its end, which
  // the next file's first call takes as a fresh start. Never set by the driver.
  std::int32_t counter = 0;
  // The readers' and writer's sample-depth argument, consulted by neither mode.
  std::int32_t depths = 0;
  Field<85> title;
  std::array<Field<88>, 3> headers;
  // The tag columns of a Tucson data line; six blanks before each file.
  Field<6> tag;
};

// The end marker that a reader leaves in the series counter and value count.
inline constexpr std::int32_t kEndMarker = -999;

// One input file of the run: its name as entered, format code (1 Tucson,
// anything else Compact) and the positions of the tree number in the series
// IDs. Stored as entered; nothing is checked here.
struct FileEntry {
  Field<50> name;
  std::int32_t format = 0;
  std::int32_t start = 0;
  std::int32_t stop = 0;
};

// File list: up to kFileLimit entries and their count.
struct FileList {
  std::array<FileEntry, kFileLimit> entries;
  std::int32_t count = 0;

  // Entry i, 1-based.
  FileEntry& entry(std::int32_t i) { return entries[static_cast<std::size_t>(i - 1)]; }
};

// Everything a run holds, made once.
struct RunStorage {
  SeriesTable table;
  SeriesBuffer buffer;
  FileList files;
};

}  // namespace ringave
