// The series table: every series of one input file, read into rows 0.. by the
// road of the file and averaged in place into one row per tree. Made once at start-up,
// every number zero and every ID blank, and reused for every file; nothing is
// allocated per file or per series. Rows above the row count keep whatever an
// earlier file left in them and are never read.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "averaging/key_rule.h"
#include "averaging/treemean.h"
#include "formats/series.h"
#include "records/field.h"
#include "run/limits.h"

namespace ringave {

// kSeriesLimit rows of series ID, whole ID (where the ID field does not hold
// all of it), what the file says of the series besides its values, first
// year, last year, value count and kLengthLimit value slots. The values are one row-major matrix, as the
// averaging takes them. Rows are numbered from 0 (the listing shows row r
// as r+1).
class SeriesTable {
 public:
  // Allocates the table (about 24 MB of values, made resident only as rows
  // are first written). Throws std::bad_alloc when the memory is not there.
  SeriesTable();
  SeriesTable(const SeriesTable&) = delete;
  SeriesTable& operator=(const SeriesTable&) = delete;

  // Number of rows in use, 0 .. kSeriesLimit.
  std::int32_t rows = 0;

  // Columns, index r for row r.
  std::span<Field<8>> ids() { return {ids_.get(), kSeriesLimit}; }
  // The whole IDs and what the file says of each series: empty spans until
  // keep_names() (a run of Tucson and Compact files never makes them), then
  // kSeriesLimit entries, a name empty where the ID field holds all of it.
  std::span<std::string> names() { return {names_.get(), names_ ? std::size_t{kSeriesLimit} : 0}; }
  std::span<std::vector<SeriesField>> fields() {
    return {fields_.get(), fields_ ? std::size_t{kSeriesLimit} : 0};
  }
  // Makes the names and fields (every name empty, no fields), once.
  void keep_names();
  std::span<std::int32_t> first_years() { return {first_years_.get(), kSeriesLimit}; }
  std::span<std::int32_t> last_years() { return {last_years_.get(), kSeriesLimit}; }
  std::span<std::int32_t> counts() { return {counts_.get(), kSeriesLimit}; }
  // The whole value matrix: kSeriesLimit rows of kLengthLimit slots.
  std::span<float> values() { return {values_.get(), static_cast<std::size_t>(kSeriesLimit) * kLengthLimit}; }
  // The kLengthLimit value slots of row r.
  std::span<float> row_values(std::int32_t r) {
    return values().subspan(static_cast<std::size_t>(r) * kLengthLimit, kLengthLimit);
  }
  // The rows in use as the averaging takes them; valid while the table lives.
  CoreTable cores() {
    CoreTable t{ids(), first_years(), last_years(), counts(), values(), static_cast<std::size_t>(kLengthLimit), rows};
    t.names = names();
    t.fields = &field_view_;
    return t;
  }
  // The rows in use as a key rule reads them; valid while the table lives.
  SeriesRows series_rows() { return cores().series_rows(); }

 private:
  // The fields of row r by key, in any case; the last of a repeated key.
  class FieldView final : public SeriesFields {
   public:
    explicit FieldView(const SeriesTable& table) : table_(table) {}
    std::optional<std::string_view> value(std::size_t row, std::string_view key) const override;

   private:
    const SeriesTable& table_;
  };

  std::unique_ptr<Field<8>[]> ids_;
  std::unique_ptr<std::string[]> names_;
  std::unique_ptr<std::vector<SeriesField>[]> fields_;
  FieldView field_view_{*this};
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

}  // namespace ringave
