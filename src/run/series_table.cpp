#include "run/series_table.h"

#include <cstdint>
#include <new>

#include <sys/mman.h>

namespace ringave {

namespace {

// Ask the system to back the value matrix with huge pages where it can: a
// full table is then made resident by a dozen page faults instead of some
// six thousand. Only the whole 2 MB pages inside the block are named; the
// advice changes no contents (untouched pages still read as zero), and a
// system without it just ignores the call.
void advise_huge_pages(void* block, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
  constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
  const std::uintptr_t begin = (reinterpret_cast<std::uintptr_t>(block) + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(block) + bytes) & ~(kHugePage - 1);
  if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)block;
  (void)bytes;
#endif
}

}  // namespace

// make_unique<T[]>(n) value-initialises: numbers start at zero, fields
// blank. The values are all-zero bytes from calloc, which is 0.0f.
SeriesTable::SeriesTable()
    : ids_(std::make_unique<Field<8>[]>(kSeriesLimit)),
      first_years_(std::make_unique<std::int32_t[]>(kSeriesLimit)),
      last_years_(std::make_unique<std::int32_t[]>(kSeriesLimit)),
      counts_(std::make_unique<std::int32_t[]>(kSeriesLimit)),
      values_(static_cast<float*>(std::calloc(static_cast<std::size_t>(kSeriesLimit) * kLengthLimit, sizeof(float)))) {
  if (!values_) throw std::bad_alloc();
  advise_huge_pages(values_.get(), static_cast<std::size_t>(kSeriesLimit) * kLengthLimit * sizeof(float));
}

}  // namespace ringave
