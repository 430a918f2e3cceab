#include "averaging/auto_tree.h"

#include <algorithm>
#include <cstddef>
#include <span>
#include <string_view>

namespace ringave {

namespace {

bool digit(char c) { return c >= '0' && c <= '9'; }

std::string quoted(std::string_view id) { return std::string(1, '\'').append(id).append(1, '\''); }

// Where one ID's tree number ends and where its run of digits starts
// (1-based columns); end 0 with `why` set when the ID has no tree number.
struct IdSplit {
  std::size_t end = 0;
  std::size_t digits_from = 0;
  bool core_digit = false;    // the core code is the ID's last digit
  bool core_letters = false;  // the core code is the letters after the last digit
  std::string why;
};

// The columns where the tree numbers of the IDs with core letters stand,
// when they all stand in the same ones (from 0: no such columns).
struct Lettered {
  std::size_t from = 0;
  std::size_t end = 0;
};

// An ID that ends in digits which fill the columns of `lettered` and end
// there holds a tree number and no core code (a tree of one core): its last
// digit is not taken for a core.
IdSplit split_id(std::string_view id, Lettered lettered = {}) {
  IdSplit s;
  std::size_t last = id.size();
  while (last > 0 && !digit(id[last - 1])) --last;
  if (last == 0) {
    s.why = "series ID " + quoted(id) + " holds no digit";
    return s;
  }
  std::size_t run = last;  // first column of the run of digits ending at `last`
  while (run > 1 && digit(id[run - 2])) --run;
  if (last < id.size()) {
    s.end = last;  // letters after the number: the core code
    s.core_letters = true;
  } else if (lettered.from > 0 && last == lettered.end && run <= lettered.from) {
    s.end = last;  // the tree number where the lettered IDs have theirs, no core code
  } else if (last - run >= 1) {
    s.end = last - 1;  // two or more digits at the end: the last is the core
    s.core_digit = true;
  } else {
    // One digit after letters ("ABC12A3"): the core code is letters and
    // digit, and the tree number the run of digits before them.
    last = run - 1;
    while (last > 0 && !digit(id[last - 1])) --last;
    if (last == 0) {
      s.why = "the only digit of series ID " + quoted(id) + " is its last character";
      return s;
    }
    s.end = last;
    run = last;
    while (run > 1 && digit(id[run - 2])) --run;
  }
  s.digits_from = run;
  return s;
}

// The columns of the tree numbers of the IDs with core letters (ZOF01a,
// ZOF01b, ZOF35b: 4-5), when there are such IDs and their numbers' digits all
// stand in the same columns; else none. Fixed positions that fit those IDs
// are then read in the IDs that end in digits too, so that ZOF28 beside them
// is tree 28 with one core rather than tree 2 with core 8.
Lettered lettered_columns(std::span<const Field<8>> ids) {
  Lettered cols;
  for (const Field<8>& field : ids) {
    const IdSplit s = split_id(field.trimmed());
    if (!s.core_letters) continue;
    if (cols.from == 0) cols = {s.digits_from, s.end};
    else if (s.end != cols.end || s.digits_from != cols.from) return {};
  }
  return cols;
}

}  // namespace

TreeChoice choose_tree_positions(std::span<const Field<8>> ids) {
  TreeChoice choice;
  if (ids.empty()) {
    choice.why = "no series IDs";
    return choice;
  }
  const Lettered lettered = lettered_columns(ids);
  const std::string_view first_id = ids[0].trimmed();
  const IdSplit first = split_id(first_id, lettered);
  std::size_t end = first.end, digits_from = first.digits_from;
  std::size_t common = first_id.size();  // length of the prefix all IDs share
  bool core_digits[10] = {};
  for (const Field<8>& field : ids) {
    const std::string_view id = field.trimmed();
    const IdSplit s = split_id(id, lettered);
    if (!s.why.empty()) {
      choice.why = s.why;
      return choice;
    }
    if (s.end != end) {
      choice.why = "series IDs " + quoted(first_id) + " and " + quoted(id) +
                   " end their tree numbers in different columns (" + std::to_string(end) + " and " +
                   std::to_string(s.end) + ")";
      return choice;
    }
    digits_from = std::max(digits_from, s.digits_from);
    if (s.core_digit) core_digits[id[id.size() - 1] - '0'] = true;
    common = static_cast<std::size_t>(
        std::mismatch(first_id.begin(), first_id.begin() + std::min(common, id.size()), id.begin()).first -
        first_id.begin());
  }
  const auto core_values = std::count(std::begin(core_digits), std::end(core_digits), true);
  if (core_values > 5) {
    choice.why = "the last digit of the series IDs takes " + std::to_string(core_values) +
                 " values: it may belong to the tree number rather than name a core";
    return choice;
  }
  // The columns that vary, but at least two where the digits allow.
  const std::size_t digits = end - digits_from + 1;
  const std::size_t varying = common < end ? end - common : 0;
  const std::size_t width = std::min(std::max<std::size_t>(varying, 2), digits);
  choice.key_first = static_cast<std::int32_t>(end - width + 1);
  choice.key_last = static_cast<std::int32_t>(end);
  return choice;
}

}  // namespace ringave
