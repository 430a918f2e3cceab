#include "averaging/map_rule.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

namespace ringave {

namespace {

// One record of a CSV text: its cells and the line it starts on.
struct CsvRecord {
  std::vector<std::string> cells;
  std::int64_t line = 0;
};

std::string trim_blanks(std::string_view v) {
  const std::size_t from = v.find_first_not_of(' ');
  if (from == std::string_view::npos) return {};
  return std::string(v.substr(from, v.find_last_not_of(' ') - from + 1));
}

// Reads the record at text[at ..) into `rec`, moving `at` past its line end
// and counting lines in `line`. Returns what is wrong, if anything.
std::optional<std::string> next_record(std::string_view text, std::size_t& at, std::int64_t& line, CsvRecord& rec) {
  rec.cells.clear();
  rec.line = line;
  std::string cell;
  for (;;) {
    cell.clear();
    bool quoted = false;
    if (at < text.size() && text[at] == '"') {
      quoted = true;
      for (++at;; ++at) {
        if (at >= text.size()) return "line " + std::to_string(rec.line) + ": a quoted cell is not closed";
        if (text[at] == '\n') ++line;
        if (text[at] != '"') {
          cell.push_back(text[at]);
        } else if (at + 1 < text.size() && text[at + 1] == '"') {
          cell.push_back('"');
          ++at;
        } else {
          ++at;
          break;
        }
      }
    } else {
      while (at < text.size() && text[at] != ',' && text[at] != '\n' && text[at] != '"') cell.push_back(text[at++]);
      if (at < text.size() && text[at] == '"')
        return "line " + std::to_string(line) + ": a quotation mark inside a cell that does not begin with one";
    }
    if (!cell.empty() && cell.back() == '\r' && !quoted) cell.pop_back();
    if (quoted && at < text.size() && text[at] == '\r') ++at;
    rec.cells.push_back(quoted ? cell : trim_blanks(cell));
    if (at >= text.size() || text[at] == '\n') break;
    if (text[at] != ',')
      return "line " + std::to_string(line) + ": text after the closing quotation mark of a cell";
    ++at;
  }
  if (at < text.size()) ++at, ++line;
  return std::nullopt;
}

bool blank_record(const CsvRecord& rec) { return rec.cells.size() == 1 && rec.cells[0].empty(); }

std::string lower(std::string_view v) {
  std::string s(v);
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The columns of the header.
struct MapColumns {
  std::size_t series = 0, tree = 0, site = 0;
  bool has_site = false;
};

std::optional<MapColumns> header_columns(const CsvRecord& rec) {
  std::optional<std::size_t> series, tree, site;
  for (std::size_t c = 0; c < rec.cells.size(); ++c) {
    const std::string name = lower(rec.cells[c]);
    if (name == "series" && !series) series = c;
    if (name == "tree" && !tree) tree = c;
    if (name == "site" && !site) site = c;
  }
  if (!series || !tree) return std::nullopt;
  return MapColumns{*series, *tree, site.value_or(0), site.has_value()};
}

}  // namespace

TreeText MapRule::tree_text(const SeriesRows& rows, std::size_t row) const {
  TreeText t;
  const std::string id(rows.whole_id(row));
  if (const auto found = trees_.find(id); found != trees_.end()) {
    t.id = found->second;
  } else {
    t.unreadable = "is not in the map file " + file_ + ": add a row for it (series,tree)";
    t.held = id;
  }
  return t;
}

std::variant<std::shared_ptr<const MapRule>, std::string> parse_tree_map(std::string_view text,
                                                                         const std::string& file) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::size_t at = 0;
  std::int64_t line = 1;
  CsvRecord rec;
  const auto fail = [&](const std::string& what) { return file + ": " + what; };
  if (const auto bad = next_record(text, at, line, rec)) return fail(*bad);
  const std::optional<MapColumns> cols = header_columns(rec);
  if (!cols)
    return fail("line 1: the header row must name the columns series and tree (and optionally site), e.g. "
                "series,tree");
  std::unordered_map<std::string, std::string> trees;
  std::unordered_map<std::string, std::int64_t> lines;
  while (at < text.size()) {
    if (const auto bad = next_record(text, at, line, rec)) return fail(*bad);
    if (blank_record(rec)) continue;
    const std::string where = "line " + std::to_string(rec.line) + ": ";
    const std::size_t needed = std::max({cols->series, cols->tree, cols->has_site ? cols->site : std::size_t{0}}) + 1;
    if (rec.cells.size() < needed)
      return fail(where + std::to_string(rec.cells.size()) + " cells, where the header's columns need " +
                  std::to_string(needed));
    const std::string& series = rec.cells[cols->series];
    std::string tree = cols->has_site ? rec.cells[cols->site] : std::string();
    tree += rec.cells[cols->tree];
    if (series.empty()) return fail(where + "the series cell is empty");
    if (rec.cells[cols->tree].empty()) return fail(where + "series " + series + " has an empty tree cell");
    const auto [known, fresh] = trees.try_emplace(series, tree);
    if (!fresh && known->second != tree)
      return fail(where + "series " + series + " is given tree " + tree + " here and tree " + known->second +
                  " on line " + std::to_string(lines[series]));
    if (fresh) lines[series] = rec.line;
  }
  return std::make_shared<const MapRule>(file, std::move(trees));
}

std::variant<std::shared_ptr<const MapRule>, std::string> read_tree_map(const std::string& file) {
  std::FILE* f = std::fopen(file.c_str(), "rb");
  if (!f) return file + ": cannot open the map file: " + std::strerror(errno);
  std::string text;
  char buffer[65536];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) text.append(buffer, n);
  const bool failed = std::ferror(f) != 0;
  const int error = errno;
  std::fclose(f);
  if (failed) return file + ": cannot read the map file: " + std::strerror(error);
  return parse_tree_map(text, file);
}

}  // namespace ringave
