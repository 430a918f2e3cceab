// The unit numbers of the run's files, as the record layer's fatal report
// names them ("READ(UNIT=12,...").
#pragma once

namespace ringave {

inline constexpr int kInputUnit = 12;   // the ring-width file being read, and the list file
inline constexpr int kOutputUnit = 13;  // the tree series, NAME_AVE.raw
inline constexpr int kCsvUnit = 14;     // the command line's NAME_AVE.csv
inline constexpr int kPlotUnit = 15;    // the command line's NAME_AVE.svg
inline constexpr int kFhUnit = 16;      // the command line's NAME_AVE.fh
inline constexpr int kCheckUnit = 17;   // the command line's NAME_check.csv

}  // namespace ringave
