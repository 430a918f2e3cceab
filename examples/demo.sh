#!/bin/sh
# Runs ringave on the example data through the list-file branch, answers piped
# in, in a scratch folder under the build folder, and says where the output is.
set -e
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
bin=$(cd "$build" && pwd)/ringave
scratch=$(cd "$build" && pwd)/demo
rm -rf "$scratch"
mkdir -p "$scratch"
cp "$here"/nm046.rwl "$here"/anos1_p001.rwl "$here"/wa082_cmp.cmp "$here"/demo.lst "$scratch"/
cd "$scratch"
# Answers: T (use a list file), the list file's name.
status=0
printf 'T\ndemo.lst\n' | "$bin" || status=$?
echo
echo "ringave exited with status $status. Tree series written in $scratch:"
ls -l "$scratch"/*_AVE.raw
exit $status
