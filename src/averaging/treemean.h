// treemean: the core series of one file become one series per tree, in
// place. Tree k (in order of first appearance of its key) goes to row k of
// the table. The averaging does no I/O and holds no storage of its own: the
// table and the work arrays come from the caller, and their sizes are the
// limits it works within. What it finds worth a word about the series goes
// to a Reporter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "averaging/key_rule.h"
#include "averaging/series_checks.h"
#include "records/field.h"
#include "records/reporter.h"

namespace ringave {

// The series of one file as columns: row r is index r of every span. The
// values are a row-major matrix of `row_length` slots per row; a row holds
// its series' values from slot 0 on (slot j is year first_year + j). A slot
// that holds not a number stands for a missing value. `name` is the file's
// name as messages give it. `names` (empty, or one per row) holds each
// row's whole ID where `ids` does not hold all of it, and `fields` what the
// file says of each series besides its values, for the key rule.
struct CoreTable {
  std::span<Field<8>> ids;
  std::span<std::int32_t> first_years;
  std::span<std::int32_t> last_years;
  std::span<std::int32_t> counts;
  std::span<float> values;
  std::size_t row_length = 0;
  std::int32_t rows = 0;  // rows in use
  std::string_view name = {};
  std::span<std::string> names = {};
  const SeriesFields* fields = nullptr;

  // Rows 0 .. rows-1 as a key rule reads them.
  SeriesRows series_rows() const {
    const auto n = static_cast<std::size_t>(rows > 0 ? rows : 0);
    return {ids.first(n), names.empty() ? names : names.first(n), fields};
  }
};

// Work arrays of the averaging, reused for every file. `keys`, `distinct`,
// `tree_first`, `tree_last`, `last_rows`, `id_rows` and `tree_ids` hold one
// entry per row, so their size is the most series a file may hold; `sums`
// and `counts` hold one year each, so their size (the smaller of the two)
// bounds the years one tree may span. `sums` and `counts` must be all zero
// before a call and are left all zero after it.
struct AveragingWork {
  std::span<std::int32_t> keys;
  std::span<std::int32_t> distinct;
  std::span<float> sums;
  std::span<float> counts;
  std::span<std::int32_t> tree_first;
  std::span<std::int32_t> tree_last;
  std::span<std::int32_t> last_rows;  // the last row of each tree's cores
  std::span<IdRow> id_rows;
  std::span<std::string> tree_ids;  // each tree's ID, named before the table changes
};

// Averages rows 0 .. table.rows-1 by tree, the trees and their IDs given by
// `rule` (key_rule.h), and returns the number of trees; rows from there on
// keep what they held.
//
// Tree k's row gets the tree ID (its first 8 characters in `ids`, the whole
// ID in `names` when it is longer and the table has names), the first year and value count of the span
// its cores cover (a missing value covers its year), its last year, and per
// year of the span the single-precision mean of the cores' values there,
// summed in table order; a year that no core covers with a number gets not
// a number (the Tucson writer writes it as the missing-value code -999).
// Years are counted per tree, from the tree's first year. A core with no
// values covers no year; a tree of such cores only gets count 0 and keeps
// its row's first year; a tree whose every year is missing gets count 0
// too, and the reporter a warning naming it.
//
// Once every key is computed, the reporter gets the warnings of
// check_series_ids (the rule's own; IDs that occur twice).
//
// Stops (exit status 1, with a message), each before the table changes and
// with the sums and counts all zero: more rows than the work arrays or the
// table hold; a tree whose cores span more years than the year sums or a
// row hold (naming the file, the tree, its first and last year); a series
// that ends after the year 2147483647. Throws the rule's UnreadableKey for
// a series ID whose key it cannot read; every key is computed before any
// other check.
std::int32_t treemean(CoreTable& table, AveragingWork& work, const KeyRule& rule, Reporter& reporter);

}  // namespace ringave
