#include "formats/csv_years.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace ringave {

namespace {

constexpr std::size_t kPage = 4096;
constexpr std::size_t kTile = 8;
static_assert(YearColumns::kChunkRows * sizeof(float) == kPage, "a column's part of a chunk is one page");

// Columns whose pages go back to the system together.
constexpr std::size_t kReleaseColumns = 64;

// Gives `n` pages of a chunk back to the system (their contents are not
// read again); nothing where the page size differs or the call is not there.
void release_pages(float* first, std::size_t n) {
#if defined(__linux__) && defined(MADV_DONTNEED)
  static const bool fits = sysconf(_SC_PAGESIZE) == static_cast<long>(kPage);
  if (fits) madvise(first, n * kPage, MADV_DONTNEED);
#else
  (void)first;
  (void)n;
#endif
}

}  // namespace

void YearColumns::PageFree::operator()(float* p) const { ::operator delete(p, std::align_val_t{kPage}); }

YearColumns::YearColumns(std::size_t columns) : columns_(columns), block_(kBlockRows * columns) {}

YearColumns::~YearColumns() = default;

void YearColumns::commit(std::int64_t line) {
  lines_.push_back(line);
  ++rows_;
  if (++in_block_ == kBlockRows) flush();
}

// The block's rows into their chunk, column by column: each column's rows
// of the block are one run of adjacent floats there.
void YearColumns::flush() {
  if (in_block_ == 0) return;
  const std::size_t offset = flushed_ % kChunkRows;
  if (offset == 0) {
    const std::size_t bytes = kChunkRows * columns_ * sizeof(float);
    chunks_.emplace_back(static_cast<float*>(::operator new(bytes, std::align_val_t{kPage})));
  }
  // A block never straddles two chunks: kChunkRows is a multiple of kBlockRows.
  float* const chunk = chunks_.back().get() + offset;
  const float* const block = block_.data();
  const std::size_t n = in_block_, width = columns_;
  std::size_t k = 0;
  if (n == kBlockRows)  // tiles of kTile columns, so that the compiler unrolls them
    for (; k + kTile <= width; k += kTile)
      for (std::size_t i = 0; i < kBlockRows; ++i)
        for (std::size_t j = 0; j < kTile; ++j) chunk[(k + j) * kChunkRows + i] = block[i * width + k + j];
  for (; k < width; ++k) {
    float* const out = chunk + k * kChunkRows;
    for (std::size_t i = 0; i < n; ++i) out[i] = block[i * width + k];
  }
  flushed_ += n;
  in_block_ = 0;
}

// Whether row r of column k holds a value.
bool YearColumns::has_value(std::size_t k, std::size_t r) const { return !std::isnan(at(k, r)); }

// Each column's first and last value are found from its ends; only a
// column wider than `capacity` is searched for the row that makes it so.
std::optional<YearColumns::Overlong> YearColumns::finish(std::size_t capacity) {
  flush();
  first_.assign(columns_, rows_);
  count_.assign(columns_, 0);
  std::optional<Overlong> worst;
  for (std::size_t k = 0; k < columns_; ++k) {
    std::size_t first = 0, last = rows_;
    while (first < rows_ && !has_value(k, first)) ++first;
    if (first == rows_) continue;
    while (!has_value(k, last - 1)) --last;
    std::size_t r = first + capacity;
    if (last - first > capacity) {
      while (!has_value(k, r)) ++r;
      if (!worst || r < worst->row) worst = Overlong{k, first, r, lines_[r]};
    }
    first_[k] = first;
    count_[k] = last - first;
  }
  return worst;
}

void YearColumns::take(std::size_t k, float* out) {
  std::size_t r = first_[k];
  const std::size_t end = r + count_[k];
  while (r < end) {
    const std::size_t c = r / kChunkRows, i = r % kChunkRows, n = std::min(kChunkRows - i, end - r);
    std::memcpy(out, chunks_[c].get() + k * kChunkRows + i, n * sizeof(float));
    out += n;
    r += n;
  }
  // The pages of the columns taken so far go back a run of them at a time.
  if ((k + 1) % kReleaseColumns == 0 || k + 1 == columns_) {
    const std::size_t from = k + 1 - ((k + 1) % kReleaseColumns == 0 ? kReleaseColumns : (k + 1) % kReleaseColumns);
    for (Chunk& chunk : chunks_) release_pages(chunk.get() + from * kChunkRows, k + 1 - from);
  }
}

}  // namespace ringave
