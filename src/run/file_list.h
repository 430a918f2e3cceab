// The file list: the input files of a run as a front door enters them, the
// same for every door.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "run/limits.h"

namespace ringave {

// One input file of the run: its name (any length; the dialogue enters up to
// 50 characters, trailing blanks dropped), the name of its output file, the
// format code (1 Tucson, anything else Compact) and the positions of the tree
// number in the series IDs. Stored as entered; the driver checks them.
struct FileEntry {
  std::string name;
  std::string output;
  std::int32_t format = 0;
  std::int32_t key_first = 0;
  std::int32_t key_last = 0;
};

// Up to kFileLimit entries and their count; for a list file, its name and
// whether it held more entries than were taken.
struct FileList {
  std::array<FileEntry, kFileLimit> entries;
  std::int32_t count = 0;
  std::string list_name;
  bool entries_left_out = false;

  // Entry i, 1-based.
  FileEntry& entry(std::int32_t i) { return entries[static_cast<std::size_t>(i - 1)]; }
};

}  // namespace ringave
