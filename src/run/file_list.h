// The file list: the input files of a run as a front door enters them, the
// same for every door.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "run/job.h"
#include "run/limits.h"

namespace ringave {

// Up to kFileLimit entries and their count; for a list file, its name and
// whether it held more entries than were taken.
struct FileList {
  std::array<Job, kFileLimit> entries;  // the format as its code gives it
  std::int32_t count = 0;
  std::string list_name;
  bool entries_left_out = false;
};

}  // namespace ringave
