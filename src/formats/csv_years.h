// The values of a year-per-row CSV table on their way from rows to series:
// each row's cells are parsed into a small row-major block of rows that
// stays in cache, and each full block is turned into column order in a
// chunk of rows (about 256 KiB; the block itself for a wide table), where
// a column's rows of the chunk lie together. The columns handed on give
// their pages back a run of columns at a time, so the table and the series
// made from it do not both stay resident.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace ringave {

class YearColumns {
 public:
  static constexpr std::size_t kBlockRows = 32;
  // The most values held, twice those of a full series table: a longer
  // table (years no series of it needs) is refused, not held.
  static constexpr std::size_t kMostHeld = std::size_t{2} * 2002 * 3001;

  explicit YearColumns(std::size_t columns);
  ~YearColumns();
  YearColumns(const YearColumns&) = delete;
  YearColumns& operator=(const YearColumns&) = delete;

  // Room for the next row's values, one per column; the caller sets every
  // one (not a number for no value), then keeps the row with commit().
  float* row() { return block_.data() + in_block_ * columns_; }
  void commit(std::int64_t line);

  // A column whose values span more than `capacity` years: the first row
  // (in row order, then column order) that takes it past them.
  struct Overlong {
    std::size_t column, first_row, row;
    std::int64_t line;
  };

  // Puts the rows kept so far in column order and finds each column's
  // first and last row with a value; the first column to span more than
  // `capacity` rows, if any.
  std::optional<Overlong> finish(std::size_t capacity);

  std::size_t rows() const { return rows_; }
  // After finish(): the first row with a value of column k (rows() when it
  // has none) and the count of rows from it to its last value.
  std::size_t first(std::size_t k) const { return first_[k]; }
  std::size_t count(std::size_t k) const { return count_[k]; }

  // Copies column k's values from its first row with a value, count(k) of
  // them, to `out`, then gives back the memory only it used.
  void take(std::size_t k, float* out);

 private:
  struct PageFree {
    void operator()(float* p) const;
  };
  using Chunk = std::unique_ptr<float[], PageFree>;

  void flush();
  bool has_value(std::size_t k, std::size_t r) const;
  float at(std::size_t k, std::size_t r) const {
    return chunks_[r / chunk_rows_][k * chunk_rows_ + r % chunk_rows_];
  }

  std::size_t columns_;
  std::size_t chunk_rows_;  // a multiple of kBlockRows
  std::vector<float> block_;  // kBlockRows rows, row-major
  std::size_t in_block_ = 0, rows_ = 0, flushed_ = 0;
  std::vector<Chunk> chunks_;
  std::vector<std::int64_t> lines_;  // of each row
  std::size_t released_ = 0;         // bytes of each chunk given back
  std::vector<std::size_t> first_, count_;
};

}  // namespace ringave
