// Rules of the Tucson data line shared by the Tucson reader and writer: how
// many value fields the first line of a series holds (its decade), the parse
// of one line buffer as a data line, the quick path for later lines and the
// writing of one data line.
// Internal to src/formats/ (and its tests).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "records/field.h"
#include "records/record_io.h"

namespace ringave {

// Number of value fields on the first data line of a series that starts in
// `year`: the years up to the end of its decade. 10 - (year mod 10) for a
// year of 0 or more (1901 gives 9, 1900 gives 10); for a negative year the
// absolute remainder of year / 10 truncated toward zero, or 10 when it is 0
// (-5 gives 5, -1234 gives 4, -20 gives 10).
inline int decade_fields(std::int64_t year) {
  const int rem = static_cast<int>(year % 10);  // truncates toward zero
  if (year >= 0) return 10 - rem;
  return rem == 0 ? 10 : -rem;
}

// The fields of a Tucson data line: series ID, year, ten value fields, and
// the tag of columns 83-88, read only when column 84 is not blank (`tagged`).
struct TucsonFields {
  Field<8> id;
  std::int32_t year = 0;
  std::int32_t f[10] = {};
  Field<6> tag;
  bool tagged = false;
};

// Length of the reader's line buffer: columns 1-88 of the record, column 89
// always blank.
inline constexpr std::size_t kTucsonLineLength = 89;

// Parse the line buffer `line` (kTucsonLineLength columns) as a data line
// through the layout engine, with the layout its columns 7-8 choose
// ("(a8,i4,10i6)", "(a7,i5,10i6)" or "(a6,i6,10i6)", with ",t83,a" for the
// tag when column 84 is not blank). True: a data line, every field of `out`
// set. False: a text line; `out` holds whatever the fields before the
// failing one left in it, and its tag is untouched. The common later line
// of a series seldom comes here: the quick path below takes it.
bool parse_tucson_line(const char* line, TucsonFields& out);

// What a later data line of a series must carry to continue it: the ID on
// the columns its first line gives for certain (the bytes of `id` under
// `id_mask`, the ID's eight characters read as one number) and the year that
// follows the values taken so far.
struct LineExpectation {
  std::uint64_t id = 0;
  std::uint64_t id_mask = 0;
  std::int64_t year = 0;
};

// The reader's quick path for the common line of a series after its first:
// a record of at least 72 columns without a tag (column 84 blank or past
// its end), laid out "(a8,i4,10i6)" with every year and value field
// right-justified digits after blanks (no sign but a minus right before the
// year's digits), the year's last column a digit, carrying the expected ID
// and year, and no value field the
// hundredths stop marker 999. Such a line's ten values go into
// values[0 .. 10) as hundredths (value x 0.01 in single precision), as the
// full parse and the value store would put them. False for every other
// record, with nothing stored: the full parse then decides.
//
// Takes the lines at the start of `text` while take_plain_line takes them,
// at most max_lines: `text` holds lines as a file holds them, each followed
// by a line feed, none needing cleaning (no carriage return, no tab); a
// line is taken only when it has exactly 72 columns. Returns how many were
// taken; their values go to values[0 .. 10 x taken) and expect.year moves
// on by ten per line. Lets the reader go through a block of a file without
// a call per line.
inline constexpr std::size_t kTucsonPlainLine = 72;  // columns of a line take_plain_lines takes
using TakePlainLine = bool (*)(std::string_view record, const LineExpectation& expect, float* values);
using TakePlainLines = std::size_t (*)(std::string_view text, LineExpectation& expect, float* values,
                                       std::size_t max_lines);
// One implementation of the two, by the instructions it uses.
struct QuickPath {
  const char* name;
  TakePlainLine line;
  TakePlainLines lines;
};
// Every implementation this processor can run, the fastest first (tests
// compare them all), and the one the reader uses, chosen at start-up.
std::vector<QuickPath> quick_paths();
extern const QuickPath kQuickPath;

inline bool take_plain_line(std::string_view record, const LineExpectation& expect, float* values) {
  return kQuickPath.line(record, expect, values);
}
inline std::size_t take_plain_lines(std::string_view text, LineExpectation& expect, float* values,
                                    std::size_t max_lines) {
  return kQuickPath.lines(text, expect, values, max_lines);
}

// Thousandths of a millimetre as written in a value field, for a value in
// millimetres: value x 1000 in single precision, halves rounded away from
// zero, a product of 8388608 or more in magnitude truncated as it stands,
// 999 turned into 1000, -999 into -1000 and -9999 into -10000, so no field
// reads as a stop marker or as the missing-value code. A value that is not
// a number (a year without a value) gives that code, -999; one whose
// product does not fit 32 bits gives kFieldOverflow, which an I6 field
// writes as asterisks.
inline constexpr std::int32_t kFieldOverflow = INT32_MAX;
std::int32_t thousandths(float value);
// thousandths() of values[0 .. n) into out[0 .. n), several at a time.
void thousandths(const float* values, int n, std::int32_t* out);

// Write one data line of n value fields (1 to 10) for a line of year
// `line_year`: the ID in the columns its year leaves ("(a8,i4,10i6)" for
// years from -999 on, "(a7,i5,10i6)" from -9999 to -1001, else
// "(a6,i6,10i6)"), the year, n I6 fields, and for a full line the tag in
// columns 75-80. A number too wide for its field, or a year beyond 32 bits,
// is written as asterisks. Formatted in place into one record.
void write_tucson_line(RecordSink& sink, const Field<8>& id, std::int64_t line_year, const std::int32_t* f, int n,
                       const Field<6>& tag);
// The same line through the layout engine (the reference for tests).
void write_tucson_line_general(RecordSink& sink, const Field<8>& id, std::int64_t line_year, const std::int32_t* f,
                               int n, const Field<6>& tag);

}  // namespace ringave
