// Formatted and list-directed data transfer: the engine that applies a
// compiled layout to records.
//
// Reading (rules of the fixed-column fields):
//  - Iw: blanks anywhere in the field are ignored; an empty field is 0; an
//    optional sign then digits, anything else is "Illegal character in numeric
//    input"; a comma ends a numeric field early. A value outside 32 bits is an
//    error too (kNumericOverflow), never a wrapped number.
//  - Fw.d: as Iw, plus one decimal point and an exponent (E/D/Q letter, or a
//    sign); without a point the last d digits are the fraction; 32-bit result.
//  - A / Aw: narrower field fills the item from the left, wider gives its
//    rightmost len columns; missing columns are blanks.
//  - a field that runs past the end of the record is what remains of it.
//  - nX / Tn move the position; "/" takes the next record; on reaching the
//    final ")" with items left, the next record is taken and the layout
//    resumes at its reversion point.
// Writing: Iw right-justified or w asterisks; A/Aw as wide as given; X/T pad
// with blanks only when something follows; "/" ends a record; "$" holds back
// the line end of the statement's last record; literals, X, T, "/" and "$"
// after the last item still act, up to the next data element or the end.
//
// Outcomes: a read returns done, or the end-of-file / error outcome when its
// `Handles` includes that branch (end of file becomes error when only the
// error branch is given). Any outcome it does not handle throws FatalError
// with statement "READ" and the source's unit label. A layout fault is an
// error of the read before any record is taken.
#pragma once

#include <string_view>

#include "records/items.h"
#include "records/layout.h"
#include "records/outcome.h"
#include "records/record_io.h"

namespace ringave {

// Formatted read of one statement.
Outcome read_formatted(RecordSource& source, const Layout& layout, Items items, Handles handles = Handles::none);

// Formatted write of one statement. Layout faults throw FatalError ("WRITE").
void write_formatted(RecordSink& sink, const Layout& layout, Items items = {});

// List-directed read of one statement: values separated by blanks, tabs, a
// comma, or blanks around a comma; records are taken until every item has a
// value; null values keep the item's old value; "/" ends the read; r*v and r*;
// quoted or unquoted character values; logicals true when the first
// character after an optional "." is T or t. The rest of the last record is
// skipped.
Outcome read_list_directed(RecordSource& source, Items items, Handles handles = Handles::none);

// List-directed write of one character value: a blank, the text, a line end.
void write_list_directed(RecordSink& sink, std::string_view text);

// Convenience: the layout text compiled through the cache.
inline Outcome read_formatted(RecordSource& source, std::string_view layout_text, Items items,
                              Handles handles = Handles::none) {
  return read_formatted(source, layout(layout_text), items, handles);
}
inline void write_formatted(RecordSink& sink, std::string_view layout_text, Items items = {}) {
  write_formatted(sink, layout(layout_text), items);
}

}  // namespace ringave
