// The ring-width formats a file can be in, named once: a user's choice (the
// dialogue's format code, the command line's -f) is turned into a Format
// where it is parsed, and nothing past that point looks at codes or names.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace ringave {

enum class Format { tucson, compact };

// The dialogue's and list files' format code: 1 is Tucson, any other code
// Compact.
constexpr Format format_of_code(std::int32_t code) { return code == 1 ? Format::tucson : Format::compact; }

// The code that names the format in the dialogue and in list files.
constexpr std::int32_t code_of(Format format) { return format == Format::tucson ? 1 : 2; }

// "Tucson" or "Compact".
constexpr std::string_view format_name(Format format) {
  return format == Format::tucson ? "Tucson" : "Compact";
}

// The format that a command-line name gives, in any case ("tucson",
// "Compact"); none for any other name.
std::optional<Format> format_of_name(std::string_view name);

}  // namespace ringave
