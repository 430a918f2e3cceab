#!/bin/sh
# tests/scripts/to_heidelberg.sh TUCSON-FILE > HEIDELBERG-FILE
#
# Writes the series of a Tucson decadal file (8-4 data lines: ID in columns
# 1-8, year in 9-12, ten 6-column values) as a Heidelberg file: a header
# block per series (KeyCode, DateBegin, DateEnd, Length, Unit from the stop
# marker: 999 hundredths, -9999 thousandths), then DATA:Single with ten
# values a line, the last line padded with zeros. Text lines (columns 9-12
# not a year) are passed over. For the round trip test: ringave reads the
# result to the trees of the Tucson original.
set -eu
awk '
  function flush_series(marker,    i, line) {
    print "HEADER:"
    print "KeyCode=" id
    print "DateBegin=" first
    print "DateEnd=" (first + n - 1)
    print "Length=" n
    print "Unit=" (marker == 999 ? "1/100 mm" : "1/1000 mm")
    print "DataFormat=Tree"
    print "DATA:Single"
    line = ""
    for (i = 1; i <= n || (i - 1) % 10 != 0; i++) {
      line = line sprintf("%6d", i <= n ? v[i] : 0)
      if (i % 10 == 0) { print line; line = "" }
    }
    n = 0
  }
  { sub(/\r$/, "") }
  substr($0, 9, 4) !~ /^ *-?[0-9]+$/ { next }
  {
    if (n == 0) { id = substr($0, 1, 8); sub(/ +$/, "", id); first = substr($0, 9, 4) + 0 }
    for (c = 13; c + 5 <= length($0) && c < 73; c += 6) {
      f = substr($0, c, 6)
      if (f ~ /^ *$/) continue
      f += 0
      if (f == 999 || f == -9999) { flush_series(f); break }
      v[++n] = f
    }
  }
' "$1"
