// gen_heidelberg <out-dir> <fraction-denominator>
//
// Writes the capacity data set (see capacity_data.h) at 1/denominator of
// capacity into out-dir as a Heidelberg file, capN_h3.fh: a header block per
// series (KeyCode, DateBegin, DateEnd, Length, Unit=1/1000 mm, DataFormat=Tree
// and a few more keys, as measuring programs write them), then DATA:Tree and
// ten 6-column values a line. The values are those of capN_t3.rwl, so
// ringave must write the tree file capN_t3_AVE.expected for it
// (gen_capacity writes that one).
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "capacity_data.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: gen_heidelberg <out-dir> <fraction-denominator>\n");
    return 2;
  }
  const long denominator = std::strtol(argv[2], nullptr, 10);
  if (denominator < 1 || denominator > capacity::kMaxSeries) {
    std::fprintf(stderr, "gen_heidelberg: the denominator must be a whole number from 1 to %d\n",
                 capacity::kMaxSeries);
    return 2;
  }
  const std::string path = std::string(argv[1]) + "/cap" + std::to_string(denominator) + "_h3.fh";
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) {
    std::fprintf(stderr, "gen_heidelberg: cannot create %s: %s\n", path.c_str(), std::strerror(errno));
    return 2;
  }
  const capacity::Plan plan = capacity::plan_for(static_cast<int>(denominator));
  const capacity::Widths widths(plan.values);
  std::vector<int> h;
  std::string text;
  for (const capacity::Core& c : capacity::cores_of(plan)) {
    widths.core(c, h);
    text = "HEADER:\nKeyCode=" + capacity::series_id(c) + "\nDateBegin=" + std::to_string(capacity::kFirstYear) +
           "\nDateEnd=" + std::to_string(capacity::kFirstYear + plan.values - 1) +
           "\nLength=" + std::to_string(plan.values) +
           "\nUnit=1/1000 mm\nDataFormat=Tree\nSpecies=PIPO\nProject=Capacity Benchmark Site\nDATA:Tree\n";
    for (std::size_t j = 0; j < h.size(); ++j) {
      capacity::put_int(text, h[j] * 10, 6);
      if (j % 10 == 9 || j + 1 == h.size()) text.push_back('\n');
    }
    if (std::fwrite(text.data(), 1, text.size(), out) != text.size()) {
      std::fprintf(stderr, "gen_heidelberg: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
      return 2;
    }
  }
  if (std::fclose(out) != 0) {
    std::fprintf(stderr, "gen_heidelberg: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
    return 2;
  }
  std::printf("gen_heidelberg: %d series of %d values in %s\n", plan.series, plan.values, path.c_str());
  return 0;
}
