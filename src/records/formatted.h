// Formatted statements: a compiled layout (layout.h) applied to records,
// reading fields out of a source's records into items or writing items into
// records of a sink.
//
// Field rules on reading:
//  - Iw: an integer field (numeric_field.h); a comma ends a numeric field
//    early, and the next field starts after it.
//  - Fw.d: a real field with d implied decimals (numeric_field.h).
//  - A / Aw: a narrower field fills the item from the left and blanks the
//    rest, a wider one gives its rightmost len columns; A alone is as wide as
//    the item; missing columns are blanks.
//  - A field that runs past the end of the record is what remains of it.
//  - nX / Tn move the position (never beyond the record's end); "/" takes
//    the next record; on reaching the final ")" with items left, the next
//    record is taken and the layout resumes at its reversion point. The rest
//    of the last record taken is skipped.
// Field rules on writing: Iw right-justified, or w asterisks when the number
// needs more columns; A/Aw as wide as given (right-justified in a wider
// field, cut to its first w characters in a narrower one); X/T leave a gap
// that becomes blanks only when something follows; "/" ends a record; "$"
// holds back the line end of the statement's last record; literals, X, T,
// "/" and "$" after the last item still act, up to the next data element or
// the end.
#pragma once

#include <string_view>

#include "records/items.h"
#include "records/layout.h"
#include "records/outcome.h"
#include "records/record_io.h"

namespace ringave {

// Formatted read of one statement: takes one record from `source`, more as
// "/" and reversion ask, and fills `items` in order. An item whose field was
// read keeps its new value even when a later field fails.
//
// Returns done when every item has a value. A fault is an error outcome:
// the layout's own fault (its compile error, no data element for the items,
// a loop without data) before any record is taken; a field that does not
// suit its item (I needs an integer or real item, F a real, A a character
// item), a quoted literal in the layout, a bad numeric field
// (kIllegalCharacter, kNumericOverflow). Running out of records is the
// end-of-file outcome. Returns end_of_file or error when `handles` names
// that branch (end of file becomes error when only the error branch is
// given); throws the fatal report ("READ", the source's unit label) for an
// outcome it does not handle. A source's own failure propagates as thrown.
// `layout` and the items must stay alive for the call only.
Outcome read_formatted(RecordSource& source, const Layout& layout, ReadItems items,
                       Handles handles = Handles::none);

// Formatted write of one statement: builds its records and hands each to
// `sink.put()`, the last without line end when the layout holds "$". Any
// fault (a layout that did not compile or has no data element for the items,
// an item that does not suit its element, an F element with an item left)
// throws the fatal report ("WRITE", the sink's unit label) before the record in
// hand is put; records completed before it have been put. A sink's own
// failure propagates as thrown.
void write_formatted(RecordSink& sink, const Layout& layout, WriteItems items = {});

// The same two with the layout given as text, compiled through the cache
// (layout()).
inline Outcome read_formatted(RecordSource& source, std::string_view layout_text, ReadItems items,
                              Handles handles = Handles::none) {
  return read_formatted(source, layout(layout_text), items, handles);
}
inline void write_formatted(RecordSink& sink, std::string_view layout_text, WriteItems items = {}) {
  write_formatted(sink, layout(layout_text), items);
}

}  // namespace ringave
