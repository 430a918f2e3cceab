// List-directed statements: values in free form, without a layout.
#pragma once

#include <string_view>

#include "records/items.h"
#include "records/outcome.h"
#include "records/record_io.h"

namespace ringave {

// List-directed read of one statement: takes records from `source` until
// every item has a value, and skips the rest of the last record taken.
// Values are separated by blanks or tabs, a comma, or blanks around a comma;
// a record end is a separator too (a comma right after it is not a second
// one). Two commas in a row, or a comma first, give a null value, which
// keeps the item's old value; "/" ends the statement, the remaining items
// keeping theirs. r*v stands for r copies of v and r* for r null values.
// Character values are quoted (' or ", a doubled quote standing for one; an
// unclosed quote ends with the record) or unquoted (up to a blank, a comma
// or "/"), and fill the item from the left, blank-padded or cut. Numbers are
// read as integer or real fields (numeric_field.h; reals with no implied
// decimals); a logical is true when its first character after an optional
// "." is T or t, false otherwise.
//
// Returns done. A bad number, a quoted number, a zero repeat count or an
// item of a kind that cannot be read this way is an error outcome; running
// out of records before every item has a value (or "/") is the end-of-file
// outcome. Items filled before either keep their new values. Returns
// end_of_file or error when `handles` names that branch (end of file
// becomes error when only the error branch is given); throws the fatal report
// ("READ", the source's unit label) for an outcome it does not handle. A
// source's own failure propagates as thrown.
Outcome read_list_directed(RecordSource& source, ReadItems items, Handles handles = Handles::none);

// List-directed write of one character value: one record holding a blank
// and the text, with a line end. A sink's failure propagates as thrown.
void write_list_directed(RecordSink& sink, std::string_view text);

}  // namespace ringave
