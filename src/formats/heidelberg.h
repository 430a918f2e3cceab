// Heidelberg ring-width files (.fh): the reader, its sniffing and the writer
// of tree series.
//
// A Heidelberg file is a run of series, each a header block and its values:
// a line "HEADER:", lines "Key=Value" (keys in any case and any order, a
// repeated key's last value counting), a line "DATA:<layout>", then the
// numbers up to the next "HEADER:" or the end of the file, read by
// whitespace whatever their columns (rows of ten 6-column values, older
// files' 5-column values, or one a line). Header text is Latin-1.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/series.h"
#include "formats/series_reader.h"
#include "records/record_io.h"
#include "records/reporter.h"

namespace ringave {

// The unit of a header's Unit key, in millimetres per unit.
enum class HeidelbergUnit { tenths, hundredths, thousandths, millimetres };

// A value of `unit` in millimetres, with the same bits as the Tucson reader
// gives for the same number: hundredths times 0.01f, thousandths as
// hundredths once more times 0.1f, tenths and millimetres as the hundredths
// they are (10 and 100 times the value).
float heidelberg_millimetres(std::int32_t value, HeidelbergUnit unit);

// The reader of a Heidelberg file on `unit`; each next() reads one series.
//
// The series: `id` the ID's first bytes that fit 8 columns without cutting a
// UTF-8 character, `name` the whole ID when `id` does not hold all of it;
// the ID is the block's KeyCode, else its KeyNo. `fields` holds every key of
// the header block once, in the order of its first line, with its last value,
// both turned from Latin-1 into UTF-8. Dates: any two of DateBegin, DateEnd
// and Length give the third; with DateBegin or DateEnd alone the values give
// the length. Unit: 1/100 mm when absent, 1/1000 mm, 1/10 mm or mm (also
// written 0.01 mm, 0.001 mm, 0.1 mm). The layout, from the DATA: line or
// else DataFormat: Tree or Single, one number a year; HalfChrono or Double,
// value and count; Chrono, Quad or Quadro, value and three counts.
//
// Padding: with a length (Length, or both dates) the numbers past it must be
// zeros and are dropped; without, the years after the last one holding a
// number other than zero are padding. A chronology (a DataFormat of Chrono or
// HalfChrono, or a layout with counts) is a mean of series: it is left out
// with a warning naming it unless `options.chronologies`, which reads it as
// a series, its value per year, no value where its count (the first one) is
// 0. A negative value gets one warning per series, naming its first year.
//
// next() returns SeriesRead::series, SeriesRead::end_of_file at the end of
// the file, SeriesRead::file_error after telling the reporter a file error
// (its plain words name the line or the series, its number in the file and
// the numbers at odds): text before the first block, a header line that is
// not Key=Value, a block without KeyCode and KeyNo, a block cut off before
// its DATA: line, dates that contradict each other or the values, a
// number that is not a whole number, an unknown unit or layout, more values
// than s.values holds. Fatal reports: failures of `unit`. `unit` and
// `reporter` must outlive the reader.
class HeidelbergReader final : public SeriesReader {
 public:
  HeidelbergReader(Unit& unit, Reporter& reporter, const ReadOptions& options)
      : unit_(unit), reporter_(reporter), chronologies_(options.chronologies) {}

  SeriesRead next(Series& s) override;

  // What one header block says of its series while it is read.
  struct Block;

 private:
  bool next_record(std::string_view& record);
  SeriesRead read_block(Series& s, Block& b);
  bool read_header(Series& s, Block& b);
  bool read_values(Series& s, Block& b);
  bool place_years(Series& s, Block& b);
  SeriesRead give_up(const std::string& words);

  Unit& unit_;
  Reporter& reporter_;
  bool chronologies_;
  std::int64_t line_ = 0;  // the line of the record taken last, counted here for every unit
};

// Whether a record is a Heidelberg "HEADER:" line (any case, blanks around
// it, a UTF-8 byte order mark before it). What tells the format for -f auto.
// Pure.
bool is_heidelberg_header_line(std::string_view record);

// True when among the first records of `source` a "HEADER:" line is
// followed by a Key=Value line or a DATA: line. The second look after a
// failure.
bool looks_like_heidelberg(RecordSource& source);

// One tree as a Heidelberg HalfChrono block: the tree's values in
// thousandths (rounded as the Tucson writer rounds them), each year with
// the number of its cores that give it a value, `counts[j]` for year j.
struct HeidelbergTree {
  std::string_view key_code;             // the tree ID, UTF-8
  const Series& tree;                    // its values in millimetres, not a number for no value
  std::span<const std::int32_t> counts;  // per year, as many as tree.count
  std::span<const std::string> members;  // the IDs of its cores
};

// Writes `t` to `sink`: HEADER:, KeyCode, DataFormat=HalfChrono,
// Unit=1/1000 mm, DateBegin, DateEnd, Length, ChronoMemberCount and
// ChronoMemberKeycodes (comma-separated), DATA:HalfChrono, then value and
// count for each year, five years a line in 6-column fields (a wider number
// keeps a blank before it). A year without a value is value 0 with count 0.
// Nothing for a tree with count below 1. Fatal reports: failures of `sink`.
void write_heidelberg_tree(RecordSink& sink, const HeidelbergTree& t);

}  // namespace ringave
