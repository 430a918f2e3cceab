// The data-transfer engine: formatted statements (formatted.h) and
// list-directed ones (list_directed.h), over the items of items.h.
#pragma once

#include "records/formatted.h"
#include "records/list_directed.h"
