// Series: one ring-width series on its way between a file and the run, as
// the readers fill it and the Tucson writer writes it, together with what
// links the reads of one file (the series counter, the title and header
// lines, the tag of the last tagged data line).
//
// The values live in storage the caller owns; `values` views it, and its
// size is the most values a series may hold. A reader never writes past it.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "records/field.h"

namespace ringave {

// What a reader's count and series counter hold once its file has ended.
inline constexpr std::int32_t kEndMarker = -999;

struct Series {
  Field<8> id;
  std::int32_t first_year = 0;
  std::int32_t count = 0;       // values in use, values[0 .. count); kEndMarker at end of file
  std::span<float> values;      // the caller's storage: capacity, not count

  // Series read from the current file; kEndMarker once it has ended.
  std::int32_t counter = 0;
  // The first text line met by the last read (Tucson: the file's title at
  // its top) or the first title line it passed over (Compact); blank when
  // there was none.
  Field<85> title;
  // Columns 1-80 of the first three text lines a Tucson read meets (the
  // file's header lines), blanked when the first series of a file is read.
  std::array<Field<88>, 3> headers;
  // Columns 83-88 of the last Tucson data line with column 84 not blank;
  // the Tucson writer writes it into every full line.
  Field<6> tag;

  // Ready the series for the first read of a new file: the counter at 0 and
  // the tag blank. Title and headers are set by the reads themselves.
  void begin_file() {
    counter = 0;
    blank(tag);
  }
};

// What a read of one series ended in.
enum class SeriesRead {
  series,       // a series was read into the Series
  end_of_file,  // the file has no more series; count and counter hold kEndMarker
  file_error,   // the reporter was told of a file error and let the run go on:
                // the file is given up; count and counter hold kEndMarker
};

}  // namespace ringave
