// The Heidelberg writer: one tree series as a HalfChrono block, its values
// in thousandths with the number of cores behind each year.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

#include "formats/heidelberg.h"
#include "formats/tucson_line.h"

namespace ringave {

namespace {

constexpr int kYearsPerLine = 5;
constexpr std::size_t kFieldWidth = 6;

// A number right-justified in a 6-column field; a wider one keeps a blank
// before it, so that the numbers stay apart.
void put_field(std::string& line, std::int64_t n) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
  const auto width = static_cast<std::size_t>(end - digits);
  line.append(width < kFieldWidth ? kFieldWidth - width : 1, ' ');
  line.append(digits, width);
}

void put_key(RecordSink& sink, std::string_view key, std::string_view value) {
  std::string line(key);
  line += '=';
  line += value;
  sink.put(line, true);
}

}  // namespace

void write_heidelberg_tree(RecordSink& sink, const HeidelbergTree& t) {
  const Series& s = t.tree;
  if (s.count < 1) return;
  const auto count = static_cast<std::size_t>(s.count);
  sink.put("HEADER:", true);
  put_key(sink, "KeyCode", t.key_code);
  put_key(sink, "DataFormat", "HalfChrono");
  put_key(sink, "Unit", "1/1000 mm");
  put_key(sink, "DateBegin", std::to_string(s.first_year));
  put_key(sink, "DateEnd", std::to_string(static_cast<std::int64_t>(s.first_year) + s.count - 1));
  put_key(sink, "Length", std::to_string(s.count));
  put_key(sink, "ChronoMemberCount", std::to_string(t.members.size()));
  std::string members;
  for (const std::string& m : t.members) members.append(members.empty() ? "" : ",").append(m);
  put_key(sink, "ChronoMemberKeycodes", members);
  sink.put("DATA:HalfChrono", true);

  std::string line;
  for (std::size_t j = 0; j < count; ++j) {
    const float value = j < s.values.size() ? s.values[j] : std::nanf("");
    const std::int32_t cores = j < t.counts.size() ? t.counts[j] : 0;
    const bool none = std::isnan(value) || cores == 0;
    put_field(line, none ? 0 : thousandths(value));
    put_field(line, none ? 0 : cores);
    if ((j + 1) % kYearsPerLine == 0 || j + 1 == count) {
      sink.put(line, true);
      line.clear();
    }
  }
}

}  // namespace ringave
