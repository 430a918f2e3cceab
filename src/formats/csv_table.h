// Ring-width tables (CSV) as researchers exchange them, in either layout,
// told from the header record:
//  - a year-per-row table: the first header cell empty or "year" (any
//    case), the other header cells name the series; each row a year in its
//    first cell, then each series' value of that year;
//  - a series-per-row table: the header's trailing cells are consecutive
//    years (the year columns), the cells before them name metadata columns,
//    one of which holds the series ID; each row one series.
// A header whose first cell is empty or "year" is always year-per-row, even
// when the other cells are numbers ("year,01,02").
//
// Cells are separated by commas, semicolons or tabs, the one the header
// uses most (outside quotation marks); a cell may be quoted (RFC 4180: a
// quotation mark inside doubled, separators and line ends inside kept);
// blanks around a cell go; CR LF line ends are read as LF. Values are in
// millimetres, with a decimal point, or, when cells are not separated by
// commas, a decimal point or comma. No value: an empty cell, NA, NaN, nan
// (any case) and -999.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "formats/series.h"
#include "formats/series_reader.h"
#include "records/record_io.h"
#include "records/reporter.h"

namespace ringave {

// A table value as the Tucson reader turns the same digits into
// millimetres, so that 1.04 from a table and 104 hundredths from a Tucson
// file are the same float: the cell's digits as an integer n and its
// decimals d (plus `unit_decimals`: 2 for a table in hundredths, 3 in
// thousandths), then n for d = 0, n x 0.1f for 1, n x 0.01f for 2,
// n x 0.01f x 0.1f for 3 (the Tucson reader's thousandths), and the float
// nearest to the decimal value for more decimals or an exponent ("1e-3").
// `decimal` is the decimal separator ('.' or ','; 0: either). Returns the value, not a
// number for a cell that holds no value; none when the cell is not a
// number (or not a finite float). Pure.
std::optional<float> table_value(std::string_view cell, char decimal, int unit_decimals);

// Whether one record is the header of a table (either layout): cells
// separated by commas or semicolons, or, as a file read with its tabs
// expanded shows a tab-separated one, by blanks; the first cell empty or
// "year" with series names after it, or at least two consecutive years
// after metadata cells (three when separated by blanks). What tells a table
// for -f auto; strict enough that no title line of a Tucson or Compact file
// has the shape. Pure.
bool looks_like_csv_header(std::string_view record);

// The second look: whether the first record of `unit` that is not blank is
// a table's header.
bool looks_like_csv(RecordSource& unit);

// The reader of a table on `unit`; each next() delivers one series: the ID
// (the first 8 characters in s.id, the whole ID in s.name when longer), the
// first year with a value, the values up to the last year with one (a year
// without a value inside them not a number). A series-per-row row's
// metadata cells go to s.fields, keyed by their header cells; the ID is
// that of the column `options.id_column` names (exactly, else in any case),
// by default the first named series, id, coreid, core, sample or keycode
// (any case), else the first column. A series with no value at all has
// count 0. Values of a table of integers in hundredths or thousandths of a
// millimetre: options.table_unit 0.01 or 0.001.
//
// A year-per-row table is read whole at the first next(), since it gives
// its series column by column: every row's values of the columns kept are
// held (csv_years.h), columns past the first options.max_series + 1 not
// (the run refuses a file of more series anyway), so memory holds
// (max_series + 1) values per row; a column may span at most
// s.values.size() years from its first value to its last (or the series
// fails), and the memory of the columns delivered goes back as they go.
//
// The file fails (the reporter's file_error, then SeriesRead::file_error),
// naming the line and the column: a header of neither layout; an
// --id-column that names no column; year columns that are not consecutive
// years, or a year row that does not follow the one before; a cell that is
// not a number; a row with more cells than the header; a series without an
// ID or name; a series spanning more years than s.values holds; a year
// beyond -99999 to 999999 (what a Tucson data line's year field holds); a
// quotation mark left open at the end of the file. A series holding a
// negative value gets a warning naming its first such year. Fatal reports:
// failures of `unit`. `unit` and `reporter` must outlive the reader.
class CsvReader final : public SeriesReader {
 public:
  CsvReader(Unit& unit, Reporter& reporter, const ReadOptions& options);
  ~CsvReader() override;

  SeriesRead next(Series& s) override;

  struct State;

 private:
  std::unique_ptr<State> state_;
};

}  // namespace ringave
