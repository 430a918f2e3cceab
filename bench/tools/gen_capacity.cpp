// gen_capacity <out-dir> <fraction-denominator>
//
// Writes the capacity data set (see capacity_data.h) at 1/denominator of
// capacity into out-dir, as capN_t3.rwl (Tucson, thousandths, -9999),
// capN_t2.rwl (Tucson, hundredths, 999) and capN_c2.cmp (Compact, (10F8.0),
// exponent -2), N being the denominator, and the thousandths as CSV tables
// in millimetres with three decimals: capN_s3.csv (one series per row) and
// capN_y3.csv (one year per row), whose trees are capN_t3_AVE.expected.
// For each Tucson and Compact input it also writes the
// list file <base>.lst ("<file> <code> 4 7"), the answers <base>.ans that
// ringave reads from standard input (T, then the list name) and
// <base>_AVE.expected, the output that ringave must write for it.
//
// Run ringave in out-dir with <base>.ans on standard input.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "capacity_data.h"

namespace {

using capacity::Kind;

class Output {
 public:
  explicit Output(const std::string& path) : path_(path), f_(std::fopen(path.c_str(), "wb")) {
    if (f_ == nullptr) {
      std::fprintf(stderr, "gen_capacity: cannot create %s: %s\n", path.c_str(), std::strerror(errno));
      std::exit(2);
    }
  }
  ~Output() { close(); }
  void write(const std::string& s) {
    if (f_ != nullptr && std::fwrite(s.data(), 1, s.size(), f_) != s.size()) fail();
  }
  void close() {
    if (f_ != nullptr) {
      if (std::fclose(f_) != 0) {
        f_ = nullptr;
        fail();
      }
      f_ = nullptr;
    }
  }

 private:
  [[noreturn]] void fail() {
    std::fprintf(stderr, "gen_capacity: cannot write %s: %s\n", path_.c_str(), std::strerror(errno));
    std::exit(2);
  }
  std::string path_;
  std::FILE* f_;
};

// Thousandths as millimetres with three decimals ("1.234", "-0.050").
void append_mm(std::string& out, int thousandths) {
  char cell[24];
  const int a = thousandths < 0 ? -thousandths : thousandths;
  std::snprintf(cell, sizeof cell, "%s%d.%03d", thousandths < 0 ? "-" : "", a / 1000, a % 1000);
  out += cell;
}

// The two CSV tables of the cores' thousandths.
void write_tables(const std::string& dir, const std::string& prefix, const std::vector<std::string>& ids,
                  const std::vector<std::vector<int>>& values, int count) {
  Output rows(dir + "/" + prefix + "_s3.csv");
  Output years(dir + "/" + prefix + "_y3.csv");
  std::string text = "series";
  for (int j = 0; j < count; ++j) text += "," + std::to_string(capacity::kFirstYear + j);
  text += '\n';
  for (std::size_t s = 0; s < ids.size(); ++s) {
    text += ids[s];
    for (int j = 0; j < count; ++j) {
      text += ',';
      append_mm(text, values[s][static_cast<std::size_t>(j)]);
    }
    text += '\n';
    rows.write(text);
    text.clear();
  }
  text = "year";
  for (const std::string& id : ids) text += "," + id;
  text += '\n';
  for (int j = 0; j < count; ++j) {
    text += std::to_string(capacity::kFirstYear + j);
    for (const std::vector<int>& v : values) {
      text += ',';
      append_mm(text, v[static_cast<std::size_t>(j)]);
    }
    text += '\n';
    years.write(text);
    text.clear();
  }
}

void write_small(const std::string& path, const std::string& text) {
  Output o(path);
  o.write(text);
  o.close();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: gen_capacity <out-dir> <fraction-denominator>\n");
    return 2;
  }
  const std::string dir = argv[1];
  char* end = nullptr;
  const long denominator = std::strtol(argv[2], &end, 10);
  if (end == argv[2] || *end != '\0' || denominator < 1 || denominator > capacity::kMaxSeries) {
    std::fprintf(stderr, "gen_capacity: the denominator must be a whole number from 1 to %d\n",
                 capacity::kMaxSeries);
    return 2;
  }
  if (mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) {
    std::fprintf(stderr, "gen_capacity: cannot create %s: %s\n", dir.c_str(), std::strerror(errno));
    return 2;
  }

  const capacity::Plan plan = capacity::plan_for(static_cast<int>(denominator));
  const std::vector<capacity::Core> cores = capacity::cores_of(plan);
  const capacity::Widths widths(plan.values);

  struct Target {
    Kind kind;
    std::string base, name;
    int code;
  };
  const std::string prefix = "cap" + std::to_string(denominator);
  const Target targets[3] = {
      {Kind::kThousandths, prefix + "_t3", prefix + "_t3.rwl", 1},
      {Kind::kHundredths, prefix + "_t2", prefix + "_t2.rwl", 1},
      {Kind::kCompact, prefix + "_c2", prefix + "_c2.cmp", 2},
  };

  Output t3(dir + "/" + targets[0].name);
  Output t2(dir + "/" + targets[1].name);
  Output c2(dir + "/" + targets[2].name);
  Output e3(dir + "/" + targets[0].base + "_AVE.expected");
  Output e2(dir + "/" + targets[1].base + "_AVE.expected");
  Output ec(dir + "/" + targets[2].base + "_AVE.expected");
  t3.write(capacity::tucson_header(plan, 1000));
  t2.write(capacity::tucson_header(plan, 100));

  std::vector<int> h;          // one core, hundredths
  std::vector<int> tenfold;    // the same in thousandths
  std::vector<int> out_vals;   // a tree mean in written thousandths
  std::vector<float> sums[3];  // per format: year sums of the current tree
  std::string text;
  text.reserve(1 << 16);
  const Kind kinds[3] = {Kind::kThousandths, Kind::kHundredths, Kind::kCompact};
  Output* expected[3] = {&e3, &e2, &ec};

  std::vector<std::string> table_ids;          // the cores for the CSV tables
  std::vector<std::vector<int>> table_values;  // their thousandths
  int cores_in_tree = 0;
  for (std::size_t s = 0; s < cores.size(); ++s) {
    const capacity::Core& c = cores[s];
    widths.core(c, h);
    tenfold.resize(h.size());
    for (std::size_t j = 0; j < h.size(); ++j) tenfold[j] = h[j] * 10;
    const std::string id = capacity::series_id(c);
    table_ids.push_back(id.substr(0, id.find_last_not_of(' ') + 1));
    table_values.push_back(tenfold);

    text.clear();
    capacity::append_tucson(text, id, capacity::kFirstYear, tenfold.data(), plan.values, -9999);
    t3.write(text);
    text.clear();
    capacity::append_tucson(text, id, capacity::kFirstYear, h.data(), plan.values, 999);
    t2.write(text);
    text.clear();
    capacity::append_compact(text, id, capacity::kFirstYear, h.data(), plan.values, -2);
    c2.write(text);

    // Year sums in file order, as the averaging adds the cores of a tree.
    if (cores_in_tree == 0)
      for (auto& sum : sums) sum.assign(h.size(), 0.0f);
    ++cores_in_tree;
    for (int f = 0; f < 3; ++f)
      for (std::size_t j = 0; j < h.size(); ++j) sums[f][j] = sums[f][j] + capacity::as_read(kinds[f], h[j]);

    const bool last_core = s + 1 == cores.size() || cores[s + 1].tree != c.tree;
    if (!last_core) continue;
    const float count = static_cast<float>(cores_in_tree);
    for (int f = 0; f < 3; ++f) {
      out_vals.resize(h.size());
      for (std::size_t j = 0; j < h.size(); ++j) out_vals[j] = capacity::thousandths(sums[f][j] / count);
      text.clear();
      capacity::append_tucson(text, capacity::tree_id(c.tree), capacity::kFirstYear, out_vals.data(),
                              plan.values, -9999, "AVE   ");
      expected[f]->write(text);
    }
    cores_in_tree = 0;
  }
  t3.close();
  t2.close();
  c2.close();
  for (Output* e : expected) e->close();
  write_tables(dir, prefix, table_ids, table_values, plan.values);

  for (const Target& t : targets) {
    write_small(dir + "/" + t.base + ".lst",
                t.name + " " + std::to_string(t.code) + " " + std::to_string(capacity::kTreeStart) + " " +
                    std::to_string(capacity::kTreeStop) + "\n");
    write_small(dir + "/" + t.base + ".ans", "T\n" + t.base + ".lst\n");
  }
  std::printf("gen_capacity: %d series of %d values (%d trees) in %s/%s_*\n", plan.series, plan.values,
              cores.empty() ? 0 : cores.back().tree, dir.c_str(), prefix.c_str());
  return 0;
}
