#!/bin/sh
# Runs ringave on the example data in a scratch folder under the build folder:
# first the command line (format and tree-number positions chosen per file,
# a CSV and a picture beside each tree file), then the dialogue's list-file
# branch with its answers piped in, and shows that both wrote the same tree
# files. The picture of anos1_p001.rwl goes to docs/, where the README shows
# it.
set -e
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
bin=$(cd "$build" && pwd)/ringave
scratch=$(cd "$build" && pwd)/demo
rm -rf "$scratch"
mkdir -p "$scratch/cli"
cp "$here"/nm046.rwl "$here"/anos1_p001.rwl "$here"/wa082_cmp.cmp "$here"/demo.lst "$scratch"/
cd "$scratch"

echo "\$ ringave -t auto --csv --plot -o cli nm046.rwl anos1_p001.rwl wa082_cmp.cmp"
status=0
"$bin" -t auto --csv --plot -o cli nm046.rwl anos1_p001.rwl wa082_cmp.cmp || status=$?
mkdir -p "$here/../docs"
cp cli/anos1_p001_AVE.svg "$here/../docs/anos1_p001_AVE.svg"
echo "(the picture of anos1_p001.rwl, cli/anos1_p001_AVE.svg, copied to docs/ for the README)"
echo
echo "\$ ringave -n -t 6-7 anos1_p001.rwl      # a dry run: the trees and their cores, nothing written"
"$bin" -n -t 6-7 anos1_p001.rwl | head -5
echo "  ..."
echo
echo "\$ printf 'T\\\\ndemo.lst\\\\n' | ringave      # the dialogue, list-file branch"
# Answers: T (use a list file), the list file's name.
printf 'T\ndemo.lst\n' | "$bin" || status=$?
echo
for f in nm046 anos1_p001 wa082_cmp; do
  cmp "${f}_AVE.raw" "cli/${f}_AVE.raw" && echo "same bytes from both: ${f}_AVE.raw"
done
echo
echo "ringave exited with status $status. Tree series, CSV files and pictures written in $scratch and $scratch/cli:"
ls -l "$scratch"/*_AVE.raw "$scratch"/cli/*
exit $status
