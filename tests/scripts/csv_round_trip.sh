#!/bin/sh
# tests/scripts/csv_round_trip.sh RINGAVE TO_CSV FILE.rwl...
#
# Each real Tucson file written as a CSV table in both layouts (TO_CSV:
# one series per row, one year per row) and read back by ringave must give
# tree files byte for byte those of the Tucson original: the same trees and
# the same thousandths. Fails naming the first file and layout that differ.
set -u
bin=$1
to_csv=$2
shift 2
work=$(mktemp -d "${TMPDIR:-/tmp}/ringave-csv-XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
status=0
for rwl in "$@"; do
  name=$(basename "$rwl" .rwl)
  cp "$rwl" "$work/$name.rwl"
  (cd "$work" && "$bin" -q -t auto "$name.rwl") || { echo "$name.rwl: the original fails"; status=1; continue; }
  for layout in rows years; do
    sh "$to_csv" "$layout" "$rwl" >"$work/${name}_$layout.csv" || { status=1; continue; }
    if ! (cd "$work" && "$bin" -q -t auto "${name}_$layout.csv"); then
      echo "$name: the $layout table fails"
      status=1
    elif ! cmp "$work/${name}_AVE.raw" "$work/${name}_${layout}_AVE.raw"; then
      echo "$name: the trees of the $layout table differ from the Tucson file's"
      status=1
    fi
  done
done
exit $status
