// The Heidelberg output: every tree of a file as a HalfChrono block, its
// cores named and counted year by year from the cores as read.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "formats/heidelberg.h"
#include "formats/tucson_line.h"
#include "records/error.h"
#include "run/outputs.h"

namespace ringave {

namespace {

// The largest thousandths the Heidelberg reader takes back: nine digits.
constexpr std::int64_t kLargest = 999999999;

std::string_view key_code(const Series& tree) { return tree.name.empty() ? tree.id.trimmed() : tree.name; }

class HeidelbergTrees final : public TreeWriter {
 public:
  // A value whose thousandths a value field cannot hold would not read
  // back: refused before anything is written.
  void check(const TreeFile& file) const override {
    for (const Series& t : file.trees) {
      for (std::int32_t j = 0; j < t.count && static_cast<std::size_t>(j) < t.values.size(); ++j) {
        const float v = t.values[static_cast<std::size_t>(j)];
        if (std::isnan(v)) continue;
        const std::int32_t n = thousandths(v);
        if (n != kFieldOverflow && std::llabs(n) <= kLargest) continue;
        stop(ErrorCode::stop, " ",
             "tree " + std::string(key_code(t)) + " has a mean too large for a Heidelberg file in " +
                 std::to_string(static_cast<std::int64_t>(t.first_year) + j) +
                 " (at most 999999.999 mm); check its cores' values and units");
      }
    }
  }

  void write(RecordSink& sink, const TreeFile& file) const override {
    std::vector<std::vector<const PlotCore*>> cores(file.trees.size());
    for (std::size_t c = 0; c < file.core_trees.size() && c < file.cores.size(); ++c) {
      const auto k = static_cast<std::size_t>(file.core_trees[c]);
      if (k < cores.size()) cores[k].push_back(&file.cores[c]);
    }
    std::vector<std::int32_t> counts;
    std::vector<std::string> members;
    for (std::size_t k = 0; k < file.trees.size(); ++k) {
      const Series& t = file.trees[k];
      if (t.count < 1) continue;
      counts.assign(static_cast<std::size_t>(t.count), 0);
      members.clear();
      for (const PlotCore* c : cores[k]) {
        members.push_back(c->id);
        for (std::size_t j = 0; j < c->values.size(); ++j) {
          const std::int64_t year = static_cast<std::int64_t>(c->first_year) + static_cast<std::int64_t>(j);
          const std::int64_t at = year - t.first_year;
          if (!std::isnan(c->values[j]) && at >= 0 && at < t.count) ++counts[static_cast<std::size_t>(at)];
        }
      }
      write_heidelberg_tree(sink, {key_code(t), t, counts, members});
    }
  }
};

}  // namespace

const TreeWriter& heidelberg_trees() {
  static const HeidelbergTrees kWriter;
  return kWriter;
}

}  // namespace ringave
