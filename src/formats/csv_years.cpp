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

// Columns whose pages go back to the system together.
constexpr std::size_t kReleaseColumns = 128;
// The values a chunk holds at least.
constexpr std::size_t kChunkValues = 65536;

// Gives the pages of a chunk within bytes [from, to) back to the system
// (their contents are not read again); nothing where the page size differs
// or the call is not there.
void release_pages(float* chunk, std::size_t from, std::size_t to) {
#if defined(__linux__) && defined(MADV_DONTNEED)
  static const bool fits = sysconf(_SC_PAGESIZE) == static_cast<long>(kPage);
  if (fits && to > from) madvise(reinterpret_cast<char*>(chunk) + from, to - from, MADV_DONTNEED);
#else
  (void)chunk;
  (void)from;
  (void)to;
#endif
}

}  // namespace

void YearColumns::PageFree::operator()(float* p) const { ::operator delete(p, std::align_val_t{kPage}); }

YearColumns::YearColumns(std::size_t columns)
    : columns_(columns),
      chunk_rows_(std::max<std::size_t>(1, (kChunkValues / columns + kBlockRows - 1) / kBlockRows) * kBlockRows),
      block_(kBlockRows * columns) {}

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
  const std::size_t offset = flushed_ % chunk_rows_;
  if (offset == 0) {
    const std::size_t bytes = chunk_rows_ * columns_ * sizeof(float);
    chunks_.emplace_back(static_cast<float*>(::operator new(bytes, std::align_val_t{kPage})));
  }
  // A block never straddles two chunks: chunk_rows_ is a multiple of kBlockRows.
  float* const chunk = chunks_.back().get() + offset;
  const float* const block = block_.data();
  const std::size_t n = in_block_, width = columns_;
  for (std::size_t k = 0; k < width; ++k) {
    float* const out = chunk + k * chunk_rows_;
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
    const std::size_t c = r / chunk_rows_, i = r % chunk_rows_, n = std::min(chunk_rows_ - i, end - r);
    const float* const from = chunks_[c].get() + k * chunk_rows_ + i;
    if (n == kBlockRows)
      std::memcpy(out, from, kBlockRows * sizeof(float));  // a wide table's whole chunk, copied inline
    else
      std::memcpy(out, from, n * sizeof(float));
    out += n;
    r += n;
  }
  // The whole pages of the columns taken so far go back, a run of columns
  // at a time.
  if ((k + 1) % kReleaseColumns == 0 || k + 1 == columns_) {
    const std::size_t to = (k + 1) * chunk_rows_ * sizeof(float) / kPage * kPage;
    for (Chunk& chunk : chunks_) release_pages(chunk.get(), released_, to);
    released_ = std::max(released_, to);
  }
}

}  // namespace ringave
