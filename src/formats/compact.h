// Compact ring-width files, one series per call.
#pragma once

#include "formats/series.h"
#include "records/record_io.h"
#include "records/reporter.h"

namespace ringave {

// Reads the next series of the Compact file on `unit` into `s`.
//
// Passes over blank lines, and up to three title lines, before a series
// header; the first title line becomes s.title (blank when there is none). The header "(1x,i7,2x,
// i8,3x,a8)" gives the value count, first year and series ID; columns 69-71
// the power-of-ten exponent (i3) and columns 72-79 the data layout. The
// values are read with that layout in one statement (a count below 1 reads
// none, but the statement still takes a record) and multiplied by ten to
// the exponent in single precision; an exponent too large for a float gives
// infinite values (and 0 x infinity not a number).
//
// Returns SeriesRead::series with s.id, s.first_year, s.count and
// s.values[0 .. count) set and s.counter one higher; SeriesRead::end_of_file
// at the end of the file before a header (count and counter kEndMarker).
// A series holding a negative value gets a warning naming the first year
// that holds one.
// The reporter gets a file error for a fourth title line, a value count
// above the size of s.values, and a data record that cannot be read; when
// it returns, the read returns SeriesRead::file_error (count and counter
// kEndMarker). Each error's records show the header fields and the line.
//
// Fatal reports: end of file inside the data (the step back to the record
// that failed leaves the file at its end, so the record cannot be shown); a
// data layout that cannot be compiled; failures of `unit`. `unit` and
// `reporter` are used only during the call.
SeriesRead read_compact_series(Unit& unit, Series& s, Reporter& reporter);

}  // namespace ringave
