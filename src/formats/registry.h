// The registered ring-width formats: for each, its name and format code, its
// reader's factory and its sniffing, one entry per format in one table
// (registry.cpp). A format added there is read by the command line, chosen
// by -f and told by -f auto; with a format code, by the dialogue and list
// files too.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "formats/format.h"
#include "formats/series_reader.h"
#include "formats/sniff.h"
#include "records/record_io.h"
#include "records/reporter.h"

namespace ringave {

struct FormatEntry {
  Format format;
  std::string_view name;  // in messages; in any case, the command line's -f
  // The dialogue's and list files' format code; none for a format read
  // only from the command line's FILE arguments (the dialogue offers codes
  // 1 and 2 and reads any other as Compact).
  std::optional<std::int32_t> code;
  // A reader for the open file on `unit`, its findings to `reporter`.
  std::unique_ptr<SeriesReader> (*reader)(Unit& unit, Reporter& reporter, const ReadOptions& options);
  Sniffing sniffing;
};

// Every format, in the order the sniffing asks them.
std::span<const FormatEntry> formats();

// The entry of `format`.
const FormatEntry& entry_of(Format format);

// Every format's name, in registration order, as a person lists them:
// "Tucson, Compact, Heidelberg or CSV"; in lower case as -f takes them.
std::string format_names(bool lower_case = false);

// A reader of `format` for the open file on `unit`.
inline std::unique_ptr<SeriesReader> make_reader(Format format, Unit& unit, Reporter& reporter,
                                                 const ReadOptions& options = {}) {
  return entry_of(format).reader(unit, reporter, options);
}

}  // namespace ringave
