// Tucson decadal ring-width files, one series per call: the reader (which
// also takes self-formatted blocks, announced by a "#" in column 80) and the
// writer of thousandths of a millimetre.
#pragma once

#include "formats/series.h"
#include "records/record_io.h"
#include "records/reporter.h"

namespace ringave {

// Reads the next series of the Tucson file on `unit` into `s`.
//
// Passes over text lines (the first one becomes s.title and s.headers[0],
// the second and third s.headers[1] and [2]; headers are blanked when the
// first series of a file is read), and over lines with blank year columns
// 9-12. Data lines are parsed as "(a8,i4,10i6)", "(a7,i5,10i6)" or
// "(a6,i6,10i6)" as their columns 7-8 tell; the first names the series and
// its first year and holds the values to the end of its decade. A field 999
// ends the series in hundredths of a millimetre, -9999 in thousandths (the
// stored hundredths are then scaled by 0.1 once more). A field -999 is a
// missing value: it keeps its year and is stored as not a number. A data line with
// column 84 not blank sets s.tag. A "#" in column 80 before any value
// starts a self-formatted block: title record, header "(2(2x,i8),t23,a)"
// with value count, first year and data layout, then the values as that
// layout reads them, stored as they stand.
//
// Returns SeriesRead::series with s.id, s.first_year, s.count and
// s.values[0 .. count) set and s.counter counting the series of the file
// (a counter below 1 starts a new file). Returns SeriesRead::end_of_file
// at the end of the file (count and counter kEndMarker); values stored
// without a stop marker before it are not delivered and the reporter gets
// a warning. The reporter also gets a warning (once per series) when a
// later data line does not continue the series (its year is not the first
// year plus the values taken so far, or its ID differs on the columns both
// lines' layouts give the ID; its values are taken all the same), and when
// a series holds a negative value other than -999 (naming the first year).
// The reporter gets a note when a block's values cannot all be read (an
// error or the end of the file); the series is delivered with its count,
// the values from the failed field on missing (not a number). Never returns
// file_error.
//
// Stops (exit status 1, with a message): more than 25 text lines in one
// call; a series with more values than s.values holds; a block with a
// negative value count or more values than s.values holds. Fatal reports:
// a block layout that cannot be compiled or used, and failures of `unit`.
// `unit` and `reporter` are used only during the call.
SeriesRead read_tucson_series(Unit& unit, Series& s, Reporter& reporter);

// Writes s.values[0 .. s.count) as Tucson data lines in thousandths of a
// millimetre to `sink`: s.id and the year of each line in columns 1-12 (the
// ID cut to the columns the year leaves), the first line ending at the end
// of its decade, ten values on every later line with s.tag in columns
// 75-80, closed by the stop marker -9999 in the field after the last value.
// A value that is not a number (a year without a value) is written as the
// missing-value code -999, which the reader reads back as missing; a value
// that would be written as -999 or -9999 is written one thousandth further
// from zero (-1000, -10000), as 999 is written 1000, so no value reads as
// the missing-value code or a stop marker. A value too wide for its field,
// or a year beyond 32 bits, is written as asterisks.
// Nothing is written for a count below 1. Reads no more than
// s.values holds. Fatal reports: failures of `sink`.
void write_tucson_series(RecordSink& sink, const Series& s);

}  // namespace ringave
