// The values of a Compact series read with its data layout: a fast path for
// the common layouts that are nothing but real fields and column skips
// ("(10F8.0)", "(26F3.0)", "(8F10.3)", "(2X,6F12.0)"), with the general
// layout engine behind it for everything else.
#pragma once

#include <span>

#include "records/layout.h"
#include "records/outcome.h"
#include "records/record_io.h"

namespace ringave {

// Reads `values` from `source` with `data_layout`, exactly as
// read_formatted(source, data_layout, {values}, handles) does: the same
// values stored (a record with a fault keeps the values stored before its
// faulty field), the same records taken, the same outcome, and the same
// the fatal report (message, "READ", the source's unit label) for an outcome that
// `handles` does not cover.
//
// When the layout is only Fw.d fields and nX skips, every record is read
// the same way from its first column, so the records are taken one at a
// time: a record whose fields hold nothing but blanks, digits, a leading
// sign and one point is converted here; any other record is handed, alone,
// to the general engine with the items that fall on it. Any other layout
// goes to the general engine as a whole. Nothing needs to stay alive after
// the call; the span must not overlap the source's records. `all_fast`,
// when given, tells whether every record was converted here (none handed to
// the general engine): what keeps the common files fast.
Outcome read_compact_values(RecordSource& source, const Layout& data_layout, std::span<float> values,
                            Handles handles, bool* all_fast = nullptr);

}  // namespace ringave
