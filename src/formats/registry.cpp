#include "formats/registry.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "formats/compact.h"
#include "formats/csv_table.h"
#include "formats/heidelberg.h"
#include "formats/tucson.h"

namespace ringave {

namespace {

// The Tucson and Compact readers have no options.
template <class R>
std::unique_ptr<SeriesReader> reader(Unit& unit, Reporter& reporter, const ReadOptions&) {
  return std::make_unique<R>(unit, reporter);
}

template <class R>
std::unique_ptr<SeriesReader> reader_with_options(Unit& unit, Reporter& reporter, const ReadOptions& options) {
  return std::make_unique<R>(unit, reporter, options);
}

// One line per format. Sniffing: the record that tells it, the leads and
// within counts, the second look. A later format never claims a file an
// earlier one tells.
const FormatEntry kFormats[] = {
    {Format::tucson, "Tucson", 1, reader<TucsonReader>, {looks_like_tucson_data, 0, 26, looks_like_tucson}},
    {Format::compact, "Compact", 2, reader<CompactReader>, {looks_like_compact_header, 4, 0, looks_like_compact}},
    {Format::heidelberg, "Heidelberg", std::nullopt, reader_with_options<HeidelbergReader>,
     {is_heidelberg_header_line, 1, 0, looks_like_heidelberg}},
    {Format::csv, "CSV", std::nullopt, reader_with_options<CsvReader>, {looks_like_csv_header, 1, 0, looks_like_csv}},
};

}  // namespace

std::span<const FormatEntry> formats() { return kFormats; }

const FormatEntry& entry_of(Format format) {
  return *std::find_if(std::begin(kFormats), std::end(kFormats),
                       [format](const FormatEntry& e) { return e.format == format; });
}

std::string_view format_name(Format format) { return entry_of(format).name; }

std::string format_names(bool lower_case) {
  std::string names;
  for (std::size_t i = 0; i < std::size(kFormats); ++i) {
    if (i > 0) names += i + 1 < std::size(kFormats) ? ", " : " or ";
    for (char c : kFormats[i].name)
      names += lower_case ? static_cast<char>(std::tolower(static_cast<unsigned char>(c))) : c;
  }
  return names;
}

std::optional<std::int32_t> code_of(Format format) { return entry_of(format).code; }

Format format_of_code(std::int32_t code) {
  for (const FormatEntry& e : kFormats)
    if (e.code && *e.code == code) return e.format;
  return Format::compact;
}

std::optional<Format> format_of_name(std::string_view name) {
  std::string lower(name);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const FormatEntry& e : kFormats) {
    std::string known(e.name);
    for (char& c : known) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (known == lower) return e.format;
  }
  return std::nullopt;
}

}  // namespace ringave
