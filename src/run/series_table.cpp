#include "run/series_table.h"

#include <algorithm>
#include <cctype>
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

void SeriesTable::keep_names() {
  if (!names_) names_ = std::make_unique<std::string[]>(kSeriesLimit);
  if (!fields_) fields_ = std::make_unique<std::vector<SeriesField>[]>(kSeriesLimit);
}

std::optional<std::string_view> SeriesTable::FieldView::value(std::size_t row, std::string_view key) const {
  const auto same = [](std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
             return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
  };
  if (!table_.fields_ || row >= static_cast<std::size_t>(kSeriesLimit)) return std::nullopt;
  const std::vector<SeriesField>& fields = table_.fields_[row];
  for (auto f = fields.rbegin(); f != fields.rend(); ++f)
    if (same(f->key, key)) return std::string_view(f->value);
  return std::nullopt;
}

}  // namespace ringave
