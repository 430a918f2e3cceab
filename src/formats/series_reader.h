// SeriesReader: the reader of one open ring-width file. Made for the file's
// unit, it delivers the file's series one at a time and keeps in itself what
// links the reads of the file (a format's title and header lines, the tag of
// a data line); a new file takes a new reader. Formats are registered with
// their reader's factory in registry.h.
#pragma once

#include <cstdint>
#include <string>

#include "formats/series.h"
#include "records/field.h"

namespace ringave {

// The user's choices for how a file's series are read, the same for every
// format; a reader takes those that concern its format.
struct ReadOptions {
  bool chronologies = false;  // read a file's chronologies (means) as series too
  std::string id_column;      // a table's column that holds the series IDs; empty: found from the header
  // A table's unit for values written as integers, in millimetres per unit:
  // 1 (mm), 0.01 or 0.001; 0: values are in millimetres.
  double table_unit = 0;
  // The most series the run keeps from one file (0: no bound); a reader
  // that must hold a file's series at once keeps no more than one past it.
  std::int32_t max_series = 0;
};

// What a read of one series ended in.
enum class SeriesRead {
  series,       // a series was read into the Series
  end_of_file,  // the file has no more series
  file_error,   // the reporter was told of a file error and let the run go on:
                // the file is given up
};

class SeriesReader {
 public:
  virtual ~SeriesReader() = default;

  // Reads the next series of the file into `s`: s.id, s.first_year, s.count
  // and s.values[0 .. count), never more values than s.values holds. What a
  // read finds worth a word goes to the reader's reporter.
  virtual SeriesRead next(Series& s) = 0;

  // The first text line met by the last read (Tucson: the file's title at
  // its top) or the first title line it passed over (Compact); blank when
  // there was none.
  const Field<85>& title() const { return title_; }

 protected:
  Field<85> title_;
  std::int32_t number_ = 0;  // the series being read, counted from 1 in the file
};

}  // namespace ringave
