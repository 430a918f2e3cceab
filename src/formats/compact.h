// Compact ring-width files, one series per call of the reader.
#pragma once

#include <string_view>

#include "formats/series.h"
#include "formats/series_reader.h"
#include "records/record_io.h"
#include "records/reporter.h"

namespace ringave {

// The reader of a Compact file on `unit`; each next() reads one series.
//
// Passes over blank lines, and up to three title lines, before a series
// header; the first title line becomes title() (blank when there is none).
// The header "(1x,i7,2x,i8,3x,a8)" gives the value count, first year and
// series ID; columns 69-71 the power-of-ten exponent (i3) and columns 72-79
// the data layout. The values are read with that layout in one statement (a
// count below 1 reads none, but the statement still takes a record) and
// multiplied by ten to the exponent in single precision; an exponent too
// large for a float gives infinite values (and 0 x infinity not a number).
//
// next() returns SeriesRead::series with the series set, and
// SeriesRead::end_of_file at the end of the file before a header. A series
// holding a negative value gets a warning naming the first year that holds
// one. The reporter gets a file error for a fourth title line, a value count
// above the size of s.values, and a data record that cannot be read; when it
// returns, the read returns SeriesRead::file_error. Each error's records
// show the header fields and the line.
//
// Fatal reports: end of file inside the data (the step back to the record
// that failed leaves the file at its end, so the record cannot be shown); a
// data layout that cannot be compiled; failures of `unit`. `unit` and
// `reporter` must outlive the reader.
// Whether one record has the shape of a Compact series header: the value
// count right-justified in columns 2-8, the first year in columns 11-18 and
// the data layout in parentheses from column 72. What tells a Compact file
// for -f auto. Pure.
bool looks_like_compact_header(std::string_view record);

// True when one of the first records of `unit` is a Compact series header:
// value count (columns 2-8) and first year (11-18) read as integers, the
// count is not blank, and columns 72-79 hold a data layout in parentheses.
// The second look after a failure.
bool looks_like_compact(RecordSource& unit);

class CompactReader final : public SeriesReader {
 public:
  CompactReader(Unit& unit, Reporter& reporter) : unit_(unit), reporter_(reporter) {}

  SeriesRead next(Series& s) override;

 private:
  Unit& unit_;
  Reporter& reporter_;
};

}  // namespace ringave
