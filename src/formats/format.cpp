#include "formats/format.h"

#include <cctype>
#include <string>

namespace ringave {

std::optional<Format> format_of_name(std::string_view name) {
  std::string lower(name);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower == "tucson") return Format::tucson;
  if (lower == "compact") return Format::compact;
  return std::nullopt;
}

}  // namespace ringave
