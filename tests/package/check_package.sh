#!/bin/sh
# check_package.sh BUILD DATA VERSION
#
# Builds the Debian package of the build tree BUILD into a scratch folder,
# checks its name, control fields and contents list, then extracts it and
# runs the program it holds on a real file of DATA, whose tree file must be
# the golden one.
set -eu
build=$1 data=$2 version=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() {
  echo "package: $*" >&2
  exit 1
}

cpack --config "$build/CPackConfig.cmake" -B "$scratch" >"$scratch/cpack.log" 2>&1 || {
  cat "$scratch/cpack.log" >&2
  fail "cpack failed"
}
arch=$(dpkg --print-architecture)
deb=$scratch/ringave_${version}_${arch}.deb
[ -f "$deb" ] || fail "no $deb; made: $(ls "$scratch")"

[ "$(dpkg-deb -f "$deb" Package)" = ringave ] || fail "wrong package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "wrong version"

dpkg-deb -c "$deb" | awk '{ print $6 }' | grep -v '/$' | sort >"$scratch/contents"
printf '%s\n' ./usr/bin/ringave ./usr/share/doc/ringave/README.md ./usr/share/doc/ringave/copyright \
  ./usr/share/man/man1/ringave.1.gz | sort >"$scratch/expected"
diff "$scratch/expected" "$scratch/contents" >&2 || fail "contents differ (- expected, + in the package)"

dpkg-deb -x "$deb" "$scratch/root"
grep -q 'MIT License' "$scratch/root/usr/share/doc/ringave/copyright" || fail "copyright is not the licence"
gzip -dc "$scratch/root/usr/share/man/man1/ringave.1.gz" | grep -q '^\.TH RINGAVE 1' || fail "man page unreadable"
bin=$scratch/root/usr/bin/ringave
[ "$("$bin" --version)" = "ringave $version" ] || fail "--version: $("$bin" --version)"
mkdir "$scratch/run"
cp "$data/nm046.rwl" "$scratch/run/"
(cd "$scratch/run" && "$bin" -q -t 4-5 nm046.rwl) || fail "the packaged program failed"
cmp "$scratch/run/nm046_AVE.raw" "$data/golden/nm046_AVE.raw" || fail "the packaged program wrote another tree file"
echo "package: $(basename "$deb") holds $(wc -l <"$scratch/contents") files; its program writes the golden tree file"
