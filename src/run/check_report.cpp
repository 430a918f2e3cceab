#include "run/check_report.h"

#include <cmath>
#include <cstdio>

#include "run/limits.h"

namespace ringave {

namespace {

std::string fixed(double v, int decimals) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, v);
  return text;
}

std::string signed_years(std::int32_t n) {
  std::string text = std::to_string(n);
  if (n > 0) text.insert(text.begin(), '+');
  return text;
}

std::string years_word(std::int32_t n) { return n == 1 || n == -1 ? " year" : " years"; }

// A CSV field, in quotation marks when it holds a comma, a quotation mark
// or a line end.
void append_field(std::string& row, std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
    row.append(text);
    return;
  }
  row.push_back('"');
  for (const char c : text) {
    if (c == '"') row.push_back('"');
    row.push_back(c);
  }
  row.push_back('"');
}

std::string segments_text(const CoreCheck& c) {
  std::string text;
  for (const LowSegment& s : c.segments) {
    if (!text.empty()) text += ';';
    text += std::to_string(s.first) + "-" + std::to_string(s.first + kSegmentLength - 1) + ":" + signed_years(s.shift);
  }
  return text;
}

std::string csv_row(const CheckedCore& core) {
  const CoreCheck& c = core.check;
  const bool judged = c.basis != Basis::none;
  std::string row;
  append_field(row, core.series);
  row += ',';
  append_field(row, core.tree);
  row += ',' + std::to_string(core.first) + ',' + std::to_string(core.last) + ',' + basis_name(c.basis) + ',' +
         std::to_string(c.overlap) + ',' + (judged ? fixed(c.r, 3) : "") + ',' +
         (judged ? signed_years(c.shift) : "") + ',' + (judged ? fixed(c.r_at_shift, 3) : "") + ',' +
         (c.tree_r ? fixed(*c.tree_r, 3) : "") + ',' + flag_name(c.flag) + ',' + segments_text(c);
  return row;
}

std::string warning(const CheckedCore& core) {
  const CoreCheck& c = core.check;
  const std::string who = "series " + core.series + " (tree " + core.tree + ")";
  const std::string r = "r=" + fixed(c.r, 2), moved = "r=" + fixed(c.r_at_shift, 2) + " moved " +
                                                      signed_years(c.shift) + years_word(c.shift);
  switch (c.flag) {
    case Flag::ok:
      return "";
    case Flag::shifted:
      return who + " correlates " + r + " in place but " + moved + ": check its dating";
    case Flag::weak:
      return who + " correlates only " + r + " with its site master over " + std::to_string(c.overlap) +
             " years, below the " + fixed(critical_r(c.overlap), 2) +
             " that 99 % confidence needs, and no better at another lag: check its dating and measurement";
    case Flag::too_short:
      return who + " shares fewer than " + std::to_string(kLeastOverlap) +
             " years with the site master and with its tree's other cores: not checked";
    case Flag::pair:
      return who + " and the other cores of its tree correlate " + r + " in place" +
             (c.shift != 0 ? " but " + moved : " over " + std::to_string(c.overlap) + " years") +
             ", and no site master covers it: one of them is misdated; check their dating";
  }
  return "";
}

}  // namespace

CheckReport check_table(SeriesTable& table, const TreePartition& trees) {
  const auto rows = static_cast<std::size_t>(std::max(table.rows, 0));
  const CheckInput in{table.first_years().first(rows), table.counts().first(rows), table.values(),
                      static_cast<std::size_t>(kLengthLimit), trees.tree, static_cast<std::int32_t>(trees.tree_ids.size())};
  CheckResult result = check_cores(in, kLengthLimit);
  CheckReport report;
  report.not_made = std::move(result.not_made);
  report.cores.resize(result.cores.size());
  for (std::size_t c = 0; c < result.cores.size(); ++c) {
    CheckedCore& core = report.cores[c];
    const std::span<std::string> names = table.names();
    core.series = c < names.size() && !names[c].empty() ? names[c] : std::string(table.ids()[c].trimmed());
    core.tree = trees.tree_ids[static_cast<std::size_t>(trees.tree[c])];
    core.first = table.first_years()[c];
    core.last = table.last_years()[c];
    core.check = std::move(result.cores[c]);
  }
  return report;
}

std::vector<std::string> check_warnings(const CheckReport& report) {
  std::vector<std::string> lines;
  for (const CheckedCore& core : report.cores)
    if (core.check.flag != Flag::ok) lines.push_back(warning(core));
  return lines;
}

std::string check_counts(const CheckReport& report) {
  if (report.not_made) return "not checked";
  std::int32_t n[5] = {};
  for (const CheckedCore& core : report.cores) ++n[static_cast<int>(core.check.flag)];
  std::string text = "checked:";
  const char* before = " ";
  for (const Flag f : {Flag::ok, Flag::shifted, Flag::weak, Flag::too_short, Flag::pair}) {
    if (n[static_cast<int>(f)] == 0) continue;
    text += before + std::to_string(n[static_cast<int>(f)]) + " " + flag_name(f);
    before = ", ";
  }
  return text;
}

std::int32_t misdated(const CheckReport& report) {
  std::int32_t n = 0;
  for (const CheckedCore& core : report.cores) n += core.check.flag == Flag::shifted || core.check.flag == Flag::pair;
  return n;
}

void write_check_csv(RecordSink& sink, const CheckReport& report, bool flagged_only) {
  sink.put("series,tree,first,last,basis,overlap,r,shift,r_at_shift,tree_r,flag,segments", true);
  for (const CheckedCore& core : report.cores)
    if (!flagged_only || core.check.flag != Flag::ok) sink.put(csv_row(core), true);
}

std::string check_note(const CoreCheck& check) {
  switch (check.flag) {
    case Flag::ok:
      return "";
    case Flag::shifted:
    case Flag::pair:
      if (check.shift != 0) return std::string(flag_name(check.flag)) + " " + signed_years(check.shift);
      return flag_name(check.flag);
    default:
      return flag_name(check.flag);
  }
}

}  // namespace ringave
