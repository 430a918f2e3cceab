#!/bin/sh
# install_deps_test.sh SCRIPT
#
# The package installer's choice against fake dpkg databases: which packages
# each group lacks, each named once, and, for a user who may not install, the
# one command to run with exit status 1 and nothing installed.
set -eu
script=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
chmod 755 "$scratch"
cp "$script" "$scratch/install-deps"
chmod 755 "$scratch/install-deps"

fail() {
  echo "install-deps: $*" >&2
  exit 1
}

entry() {
  printf 'Package: %s\nStatus: %s\nMaintainer: x\nArchitecture: amd64\nVersion: 1\nDescription: x\n\n' "$1" "$2"
}

# A database that holds the packages named, installed, and otherwise
# fonts-dejavu-core removed with its configuration files left (not installed).
database() {
  dir=$scratch/$1
  shift
  mkdir -p "$dir"
  : >"$dir/status"
  for p in "$@"; do
    entry "$p" "install ok installed" >>"$dir/status"
  done
  case " $* " in *" fonts-dejavu-core "*) ;; *) entry fonts-dejavu-core "deinstall ok config-files" >>"$dir/status" ;; esac
  chmod -R a+rX "$dir"
}

# missing DATABASE GROUP... : the packages listed as missing, on one line.
missing() {
  db=$1
  shift
  RINGAVE_DPKG_ADMINDIR=$scratch/$db sh "$scratch/install-deps" --list "$@" | tr '\n' ' '
}

expect() {
  [ "$1" = "$2" ] || fail "$3: expected '$2', got '$1'"
}

# Tools found on the PATH count as installed whatever dpkg says, so only the
# libraries and data packages are looked up in these databases.
database none
database all libcli11-dev libpcre2-dev pkgconf libgtest-dev fonts-dejavu-core libbenchmark-dev \
  cmake g++ make dpkg-dev libxml2-utils librsvg2-bin valgrind

expect "$(missing none)" "libcli11-dev libpcre2-dev " "build, empty database"
expect "$(missing none build)" "libcli11-dev libpcre2-dev " "build named"
case "$(missing none build test)" in
  "libcli11-dev libpcre2-dev libgtest-dev "*"fonts-dejavu-core ") ;;
  *) fail "build and test, empty database: got '$(missing none build test)'" ;;
esac
expect "$(missing none bench | grep -c libbenchmark-dev)" 1 "bench"
expect "$(missing all build test bench package)" "" "all installed"
# dpkg-dev is in two groups and listed once when missing.
expect "$(RINGAVE_DPKG_ADMINDIR=$scratch/none PATH=/usr/bin:/bin sh "$scratch/install-deps" --list test package |
  grep -c '^dpkg-dev$' || true)" "$( command -v dpkg-shlibdeps >/dev/null && echo 0 || echo 1)" "dpkg-dev once"
if sh "$scratch/install-deps" --list nonsense 2>/dev/null; then fail "an unknown group is accepted"; fi

# A user who may not install: the one command, exit 1. As root the check runs
# as nobody (when setpriv can switch); otherwise as this user when sudo asks
# for a password or is absent.
run_as_user() {
  if [ "$(id -u)" = 0 ]; then
    command -v setpriv >/dev/null || return 2
    setpriv --reuid=nobody --regid=nogroup --clear-groups env RINGAVE_DPKG_ADMINDIR="$scratch/none" \
      sh "$scratch/install-deps" build
  elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    return 2
  else
    RINGAVE_DPKG_ADMINDIR="$scratch/none" sh "$scratch/install-deps" build
  fi
}
status=0
out=$(cd "$scratch" && run_as_user 2>&1) || status=$?
if [ "$status" = 2 ]; then
  echo "skipped the refusal: no way to run as a user who may not install"
else
  expect "$status" 1 "a user who may not install: exit status"
  echo "$out" | grep -qx '  sudo apt-get install -y libcli11-dev libpcre2-dev' || fail "no install command in: $out"
fi
echo "install-deps: all checks passed"
