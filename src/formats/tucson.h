// Tucson decadal ring-width files, one series per call: the reader (which
// also takes self-formatted blocks, announced by a "#" in column 80) and the
// writer of thousandths of a millimetre.
#pragma once

#include <array>
#include <string_view>

#include "formats/series.h"
#include "formats/series_reader.h"
#include "records/record_io.h"
#include "records/reporter.h"

namespace ringave {

// The reader of a Tucson file on `unit`; each next() reads one series.
//
// Passes over text lines (the first one of a read becomes its title() and
// headers()[0], the second and third headers()[1] and [2]), and over lines
// with blank year columns 9-12. Data lines are parsed as "(a8,i4,10i6)",
// "(a7,i5,10i6)" or "(a6,i6,10i6)" as their columns 7-8 tell; the first
// names the series and its first year and holds the values to the end of
// its decade. A field 999 ends the series in hundredths of a millimetre,
// -9999 in thousandths (the stored hundredths are then scaled by 0.1 once
// more). A field -999 is a missing value: it keeps its year and is stored as
// not a number. A data line with column 84 not blank sets tag(). A "#" in
// column 80 before any value starts a self-formatted block: title record,
// header "(2(2x,i8),t23,a)" with value count, first year and data layout,
// then the values as that layout reads them, stored as they stand.
//
// next() returns SeriesRead::series with the series set, and
// SeriesRead::end_of_file at the end of the file; values stored without a
// stop marker before it are not delivered and the reporter gets a warning.
// The reporter also gets a warning (once per series) when a later data line
// does not continue the series (its year is not the first year plus the
// values taken so far, or its ID differs on the columns both lines' layouts
// give the ID; its values are taken all the same), and when a series holds a
// negative value other than -999 (naming the first year). The reporter gets
// a note when a block's values cannot all be read (an error or the end of
// the file); the series is delivered with its count, the values from the
// failed field on missing (not a number). Never returns file_error.
//
// Stops (exit status 1, with a message): more than 25 text lines in one
// read; a series with more values than s.values holds; a block with a
// negative value count or more values than s.values holds. Fatal reports:
// a block layout that cannot be compiled or used, and failures of `unit`.
// `unit` and `reporter` must outlive the reader.
class TucsonReader final : public SeriesReader {
 public:
  TucsonReader(Unit& unit, Reporter& reporter) : unit_(unit), reporter_(reporter) {}

  SeriesRead next(Series& s) override;

  // Columns 1-80 of the first three text lines met (the file's header
  // lines); blank until met.
  const std::array<Field<88>, 3>& headers() const { return headers_; }
  // Columns 83-88 of the last data line with column 84 not blank.
  const Field<6>& tag() const { return tag_; }

 private:
  struct Read;
  SeriesRead block(Series& s, Read& r);
  void text_line(Read& r);
  bool data_line(Series& s, Read& r);

  Unit& unit_;
  Reporter& reporter_;
  std::array<Field<88>, 3> headers_;
  Field<6> tag_;
};

// Whether one record has the shape of a Tucson data line: the year
// right-justified so that it ends in column 12, then value fields of six
// columns from column 13, each blank or a right-justified integer (strictly:
// no blanks inside a number, which a read would pass over), one at least
// not blank. What tells a Tucson file for -f auto. Pure.
bool looks_like_tucson_data(std::string_view record);

// True when two records in a row among the first records of `unit` are
// Tucson data lines of one series: both parse as data lines, with the same
// ID in columns 1-6, and the second line's year is the year after the first
// line's decade. The second look after a failure.
bool looks_like_tucson(RecordSource& unit);

// Writes s.values[0 .. s.count) as Tucson data lines in thousandths of a
// millimetre to `sink`: s.id and the year of each line in columns 1-12 (the
// ID cut to the columns the year leaves), the first line ending at the end
// of its decade, ten values on every later line with `tag` in columns
// 75-80, closed by the stop marker -9999 in the field after the last value.
// A value that is not a number (a year without a value) is written as the
// missing-value code -999, which the reader reads back as missing; a value
// that would be written as -999 or -9999 is written one thousandth further
// from zero (-1000, -10000), as 999 is written 1000, so no value reads as
// the missing-value code or a stop marker. A value too wide for its field,
// or a year beyond 32 bits, is written as asterisks.
// Nothing is written for a count below 1. Reads no more than
// s.values holds. Fatal reports: failures of `sink`.
void write_tucson_series(RecordSink& sink, const Series& s, const Field<6>& tag);

// The columns the ID of s gets on the narrowest of the data lines
// write_tucson_series writes for it (the stop marker's included): 8, or 7
// or 6 on lines of years before -999 ("(a7,i5,10i6)", "(a6,i6,10i6)").
// 8 for a count below 1. Pure.
int tucson_id_columns(const Series& s);

}  // namespace ringave
