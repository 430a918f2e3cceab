// A job: one input file of a run and what is to be made of it, the same
// whichever front door it came in by. The dialogue makes one from each
// answer or list-file line, the command line from each FILE argument or
// list-file entry; the road of one file (run/pipeline.h) takes it from there.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "averaging/key_rule.h"
#include "formats/format.h"
#include "formats/series_reader.h"

namespace ringave {

struct Job {
  std::string name;  // the input file, any length
  // None: told from the file's first records (the command line's -f auto).
  std::optional<Format> format;
  ReadOptions read;  // how the file's series are read (the command line's options)
  // The tree number's positions in the series IDs, as given (checked on the
  // road), or chosen per file from the IDs when tree_auto is set.
  bool tree_auto = false;
  std::int32_t key_first = 0;
  std::int32_t key_last = 0;
  // A rule the command line's -t names (tag, id, column:NAME, map:FILE,
  // pattern:REGEX, header), the same for every file; none: positions, given
  // or chosen (the dialogue and list files always).
  std::shared_ptr<const KeyRule> tree_rule;
  std::string output;       // the tree series in the Tucson format; empty: none (--no-tucson)
  std::string csv_output;   // the tree series as CSV; empty: none
  std::string plot_output;  // the picture; empty: none
  std::string fh_output;    // the tree series as Heidelberg; empty: none
  std::string check_output;  // the check of the cores, NAME_check.csv; empty: none
  // A line for the user after the job failed (a list-file entry whose name
  // was cut at an unquoted '/'); empty: none.
  std::string list_hint;
};

// Whether the tree number lies inside the 8-character series ID, after a
// site code of key_first-1 characters (none for 1): 1 <= key_first <=
// key_last <= 8. Other positions would make tree IDs longer than their 8
// characters.
constexpr bool positions_valid(const Job& job) {
  return 1 <= job.key_first && job.key_first <= job.key_last && job.key_last <= 8;
}

// Tree-number positions as a person writes them: "4-5".
inline std::string positions_text(std::int32_t first, std::int32_t last) {
  return std::to_string(first) + "-" + std::to_string(last);
}

}  // namespace ringave
