// The ring-width formats a file can be in, named once: a user's choice (the
// dialogue's format code, the command line's -f) is turned into a Format
// where it is parsed, and nothing past that point looks at codes or names.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace ringave {

// One value per registered format (registry.cpp).
enum class Format { tucson, compact, heidelberg, csv };

// The dialogue's and list files' format code: a registered format's own
// code gives it (1 Tucson, 2 Compact), any other code Compact. A format
// without a code (Heidelberg, CSV) is never given by one: those are read
// from the command line's FILE arguments only.
Format format_of_code(std::int32_t code);

// The code that names the format in the dialogue and in list files; none
// for a format that only the command line's FILE arguments read.
std::optional<std::int32_t> code_of(Format format);

// The format's name: "Tucson", "Compact", "Heidelberg", "CSV".
std::string_view format_name(Format format);

// The format that a command-line name gives, in any case ("tucson",
// "Compact"); none for any other name.
std::optional<Format> format_of_name(std::string_view name);

}  // namespace ringave
