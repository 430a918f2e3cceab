#!/bin/sh
# tests/scripts/heidelberg_round_trip.sh RINGAVE DATA-FOLDER
#
# Heidelberg both ways on a real file, ca533_p001.rwl (thousandths, trees at
# positions 4-5): written as Heidelberg by to_heidelberg.sh and read by
# ringave, it gives the tree file of the Tucson original byte for byte; and
# the tree file that --fh writes, read back with --chronologies, gives the
# same trees again.
set -eu
ringave=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
data=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/ringave-fh-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir tucson written back
cp "$data/ca533_p001.rwl" .

"$ringave" -q -t 4-5 -o tucson --fh ca533_p001.rwl
sh "$here/to_heidelberg.sh" ca533_p001.rwl >written/ca533_p001.fh
"$ringave" -q -t 4-5 -f heidelberg written/ca533_p001.fh
"$ringave" -q -t 4-5 --chronologies -o back tucson/ca533_p001_AVE.fh

failed=0
check() {
  if cmp -s "$1" "$2"; then
    echo "same: $2"
  else
    echo "DIFFERS: $2 from $1"
    failed=1
  fi
}
check tucson/ca533_p001_AVE.raw written/ca533_p001_AVE.raw
check tucson/ca533_p001_AVE.raw back/ca533_p001_AVE_AVE.raw
[ "$(grep -c '^HEADER:$' written/ca533_p001.fh)" = 34 ] || { echo "DIFFERS: not 34 series written"; failed=1; }
exit $failed
