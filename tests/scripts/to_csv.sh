#!/bin/sh
# tests/scripts/to_csv.sh LAYOUT TUCSON-FILE > TABLE.csv
#
# Writes the series of a Tucson ring-width file (8-character IDs, 4-digit
# years) as a CSV table in millimetres: LAYOUT `rows` gives one series per
# row (columns series, then one per year), `years` one year per row
# (columns year, then one per series). A series ended by the stop marker
# 999 is in hundredths and its values get two decimals, one ended by -9999
# in thousandths and three, so that ringave reads each value as the same
# float as from the Tucson file; -999 (no value) becomes NA.
set -eu
layout=$1
awk -v layout="$layout" '
function trim(s) { sub(/^ +/, "", s); sub(/ +$/, "", s); return s }
# An integer of hundredths or thousandths as millimetres with d decimals.
function mm(v, d,   sign, s) {
  if (v == -999) return "NA"
  sign = v < 0 ? "-" : ""
  s = sprintf("%0" (d + 1) "d", v < 0 ? -v : v)
  return sign substr(s, 1, length(s) - d) "." substr(s, length(s) - d + 1)
}
function end_series(d,   k) {
  decimals[n] = d
  if (first[n] < lo) lo = first[n]
  if (first[n] + count[n] - 1 > hi) hi = first[n] + count[n] - 1
  open = 0
}
BEGIN { n = 0; open = 0; lo = 999999; hi = -999999 }
substr($0, 9, 4) ~ /^ *-?[0-9]+$/ && length($0) > 12 {
  id = trim(substr($0, 1, 8)); year = substr($0, 9, 4) + 0
  if (!open) { n++; ids[n] = id; first[n] = year; count[n] = 0; open = 1 }
  for (c = 13; c + 5 <= length($0) && c < 73; c += 6) {
    f = substr($0, c, 6)
    if (f !~ /[0-9]/) continue
    v = f + 0
    if (v == 999) { end_series(2); break }
    if (v == -9999) { end_series(3); break }
    value[n, count[n]++] = v
  }
}
END {
  if (layout == "rows") {
    printf "series"
    for (y = lo; y <= hi; y++) printf ",%d", y
    printf "\n"
    for (i = 1; i <= n; i++) {
      printf "%s", ids[i]
      for (y = lo; y <= hi; y++) {
        k = y - first[i]
        printf ",%s", (k >= 0 && k < count[i]) ? mm(value[i, k], decimals[i]) : ""
      }
      printf "\n"
    }
  } else {
    printf "year"
    for (i = 1; i <= n; i++) printf ",%s", ids[i]
    printf "\n"
    for (y = lo; y <= hi; y++) {
      printf "%d", y
      for (i = 1; i <= n; i++) {
        k = y - first[i]
        printf ",%s", (k >= 0 && k < count[i]) ? mm(value[i, k], decimals[i]) : ""
      }
      printf "\n"
    }
  }
}' "$2"
