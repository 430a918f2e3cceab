#!/bin/sh
# bench/run.sh <build-folder>
#
# End-to-end benchmark of ringave at its capacity (2001 series x 3001 values)
# and at 1/10 and 1/100 of it, in three input formats: Tucson thousandths,
# Tucson hundredths and Compact; and the full-capacity thousandths as CSV
# tables in both layouts, through the command line. `make bench` builds the release program, the
# tools in bench/tools and the Google Benchmark binary into <build-folder>,
# then calls this script.
#
# For each input the release ringave reads its answers (list-file branch)
# from standard input; the table shows the best wall time and CPU time of RUNS
# runs (default 5), the input rate, the largest peak resident set, the best
# time of `wc -l` on the same file, run in turn with the program (the
# machine's floor for reading it), and the ratios of the two, and the instructions of one run as
# valgrind's callgrind counts them (the steady figure on a shared machine;
# "n/a" without valgrind, or with CALLGRIND=0). The callgrind output of each
# run stays in the data folder for callgrind_annotate. Each output is
# compared byte for byte with the tree means that the generator computed on
# its own.
#
# Then the command line on the full-capacity inputs against the dialogue's
# runs above (target: within 5 %), a full-capacity Heidelberg file of the
# Tucson thousandths' values against the Tucson file (target: at most 2x its
# CPU time), and a small real file (ca533, 34 series)
# end to end through both, process start included, against read_file, a
# program that only opens and reads it: best of SMALL_RUNS runs (default 50)
# each.
#
# Then --check on the full-capacity Tucson file against the run without it.
#
# Targets, reported and not asserted: full-capacity Tucson <= 0.55 G
# instructions and CPU <= 3.5x the wall time of wc -l; full-capacity Compact
# <= 1.1 G instructions and CPU <= 5x; the small file within 3 ms of the
# plain read; peak resident set <= 27 MB.
# The script fails only when a run fails or writes a wrong output.
set -u

build=${1:-build-bench}
case $build in
  /*) ;;
  *) build=$(pwd)/$build ;;
esac
runs=${RUNS:-5}
small_runs=${SMALL_RUNS:-50}
here=$(cd "$(dirname "$0")/.." && pwd)
bin=$build/ringave
gen=$build/gen_capacity
peak=$build/peak_rss
data=$build/capacity-data

reader=$build/read_file
for tool in "$bin" "$gen" "$peak" "$reader"; do
  if [ ! -x "$tool" ]; then
    echo "bench: $tool is missing; build with -DRINGAVE_BENCH=ON first (make bench)" >&2
    exit 2
  fi
done

for d in 1 10 100; do
  "$gen" "$data" "$d" || exit 2
done
cd "$data" || exit 2

callgrind=no
if [ "${CALLGRIND:-1}" != 0 ] && command -v valgrind >/dev/null 2>&1; then
  callgrind=yes
fi

# Instructions of one run under callgrind, in units of 10^9, or "n/a".
# $1: base name; the run reads $1.ans and keeps its profile in $1.callgrind.
instructions() {
  if [ "$callgrind" != yes ]; then
    echo n/a
    return
  fi
  valgrind --tool=callgrind --callgrind-out-file="$1.callgrind" "$bin" <"$1.ans" >/dev/null 2>"$1.valgrind"
  sed -n 's/.*Collected : \([0-9]*\).*/\1/p' "$1.valgrind" | awk '{ printf "%.3f", $1 / 1e9 } END { if (NR == 0) printf "n/a" }'
}

# Best of $runs runs of the program on $1.ans (its output in $1.log) and of
# `wc -l $2`, taken in turn (program, wc, program, wc, ...) so that both meet
# the same moments of a shared machine. Sets t rss status c for the program
# (best wall, largest peak, last exit status, best CPU) and w wc for wc -l.
best_in_turn() {
  turn_base=$1 turn_file=$2
  t= rss=0 status=1 c= w= wc=
  turn=0
  while [ "$turn" -lt "$runs" ]; do
    set -- $("$peak" -i "$turn_base.ans" -o "$turn_base.log" -- "$bin") $("$peak" -- wc -l "$turn_file")
    t=$(echo "${t:-$1} $1" | awk '{ print ($1 < $2 ? $1 : $2) }')
    rss=$(echo "$rss $2" | awk '{ print ($1 > $2 ? $1 : $2) }')
    status=${3:-1}
    c=$(echo "${c:-$4} $4" | awk '{ print ($1 < $2 ? $1 : $2) }')
    w=$(echo "${w:-$5} $5" | awk '{ print ($1 < $2 ? $1 : $2) }')
    wc=$(echo "${wc:-$8} $8" | awk '{ print ($1 < $2 ? $1 : $2) }')
    turn=$((turn + 1))
  done
}

failed=0
results=$data/results.txt
: >"$results"

echo
echo "ringave end to end: best of $runs runs; wc -l on the same file as the I/O floor"
[ -r /proc/loadavg ] && echo "load average before the runs: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc 2>/dev/null || echo '?') cores"
printf '%-14s %-17s %6s %6s %7s %7s %6s %6s %7s %7s %5s %5s %7s %6s  %s\n' \
  input format MB series "wall s" "cpu s" "MB/s" "RSS MB" "wc wall" "wc cpu" "x wc" "x cpu" "G instr" "instr/B" output
for d in 1 10 100; do
  for k in t3 t2 c2; do
    base=cap${d}_$k
    case $k in
      t3) file=$base.rwl fmt="Tucson 0.001 mm" ;;
      t2) file=$base.rwl fmt="Tucson 0.01 mm" ;;
      c2) file=$base.cmp fmt="Compact (10F8.0)" ;;
    esac
    bytes=$(wc -c <"$file")
    series=$(head -3 "cap${d}_t3.rwl" | sed -n 's/.*: \([0-9]*\) series.*/\1/p')
    rm -f "${base}_AVE.raw"

    best_in_turn "$base" "$file"
    gi=$(instructions "$base")

    if [ "$status" != 0 ] || ! grep -q 'Normal Termination of program' "$base.log"; then
      check="RUN FAILED (exit $status, see $data/$base.log)"
      failed=1
    elif cmp -s "${base}_AVE.raw" "${base}_AVE.expected"; then
      check="as expected"
    else
      check="DIFFERS from ${base}_AVE.expected"
      failed=1
    fi
    echo "$base $k $d $bytes $t $rss $w $c $wc $gi" >>"$results"
    awk -v f="$file" -v fmt="$fmt" -v b="$bytes" -v s="$series" -v t="$t" -v c="$c" -v r="$rss" \
      -v w="$w" -v wc="$wc" -v gi="$gi" -v ok="$check" \
      'BEGIN { printf "%-14s %-17s %6.2f %6d %7.3f %7.3f %6.1f %6.1f %7.4f %7.4f %5.1f %5.1f %7s %6s  %s\n",
               f, fmt, b / 1e6, s, t, c, (t > 0 ? b / 1e6 / t : 0), r / 1024, w, wc,
               (w > 0 ? t / w : 0), (wc > 0 ? c / wc : 0), gi,
               (gi == "n/a" ? "n/a" : sprintf("%.1f", gi * 1e9 / b)), ok }'
  done
done

echo
echo "targets (reported, not asserted):"
awk '
  $3 == 1 { g[$2] = $10; rss = (rss > $6 ? rss : $6); w[$2] = $7; c[$2] = $8 }
  function verdict(ok) { return ok ? "met" : "MISSED" }
  END {
    split("t3 t2 c2", ks, " ")
    for (i = 1; i <= 3; i++) {
      k = ks[i]
      gmax = (k == "c2" ? 1.1 : 0.55)
      xmax = (k == "c2" ? 5 : 3.5)
      name = (k == "t3" ? "Tucson 0.001 mm" : (k == "t2" ? "Tucson 0.01 mm " : "Compact        "))
      x = (w[k] > 0 ? c[k] / w[k] : 0)
      printf "  full %s: %s G instructions (target <= %.2f G) %s; cpu %.3f s = %.1fx wc -l wall (target <= %.1fx) %s\n",
        name, g[k], gmax, (g[k] == "n/a" ? "n/a" : verdict(g[k] + 0 <= gmax)), c[k], x, xmax, verdict(x <= xmax)
    }
    printf "  peak resident set at full capacity: %.1f MB (target <= 27 MB) %s\n",
      rss / 1024, verdict(rss / 1024 <= 27)
  }' "$results"
echo "  growth: the cpu time of 1/1 against 1/10 and 1/100 of capacity (10x and 100x for linear cost,"
echo "  less while the fixed start-up cost still counts):"
awk '
  { t[$2 "," $3] = $8 }
  END {
    n = split("t3 t2 c2", ks, " ")
    for (i = 1; i <= n; i++) {
      k = ks[i]
      printf "    %s: %.1fx over 1/10, %.1fx over 1/100\n", k,
        (t[k ",10"] > 0 ? t[k ",1"] / t[k ",10"] : 0), (t[k ",100"] > 0 ? t[k ",1"] / t[k ",100"] : 0)
    }
  }' "$results"

# The command line on the same full-capacity inputs, in this same run: it must
# stay within 5 % of the dialogue (its outputs go to cli/, checked the same way).
echo
echo "command line at full capacity (ringave -q -o cli -t 4-7 -f FORMAT FILE) against the dialogue above:"
mkdir -p "$data/cli"
for k in t3 t2 c2; do
  base=cap1_$k
  case $k in
    t3 | t2) file=$base.rwl format=tucson ;;
    c2) file=$base.cmp format=compact ;;
  esac
  rm -f "cli/${base}_AVE.raw"
  set -- $("$peak" -n "$runs" -o "$base.cli.log" -- "$bin" -q -o cli -t 4-7 -f "$format" "$file")
  ct=${1:-0} cstatus=${3:-1} cc=${4:-0}
  if [ "$callgrind" = yes ]; then
    valgrind --tool=callgrind --callgrind-out-file="$base.cli.callgrind" "$bin" -q -o cli -t 4-7 -f "$format" "$file" \
      >/dev/null 2>"$base.cli.valgrind"
    cg=$(sed -n 's/.*Collected : \([0-9]*\).*/\1/p' "$base.cli.valgrind" | awk '{ printf "%.3f", $1 / 1e9 }')
  else
    cg=n/a
  fi
  if [ "$cstatus" != 0 ]; then
    check="RUN FAILED (exit $cstatus)"
    failed=1
  elif cmp -s "cli/${base}_AVE.raw" "${base}_AVE.expected"; then
    check="as expected"
  else
    check="DIFFERS from ${base}_AVE.expected"
    failed=1
  fi
  [ "$k" = t3 ] && tucson_cpu=$cc
  awk -v f="$file" -v k="$k" -v ct="$ct" -v cc="$cc" -v cg="$cg" -v ok="$check" '
    $1 == "cap1_" k { dt = $5; dc = $8; dg = $10 }
    END {
      r = (dc > 0 ? cc / dc : 0)
      printf "  %-12s wall %.3f s (dialogue %.3f s), cpu %.3f s (dialogue %.3f s): cpu %.3fx %s; %s G instructions (dialogue %s)  %s\n",
        f, ct, dt, cc, dc, r, (r <= 1.05 ? "within 5 %" : "MISSED 5 %"), cg, dg, ok
    }' "$results"
done

# Heidelberg at full capacity: the values of cap1_t3.rwl in a .fh file, read
# through the command line to the same tree file; its CPU time against the
# Tucson file's, the two run in turn (target: at most 2x).
echo
echo "Heidelberg at full capacity (ringave -q -o cli -t 4-7 -f heidelberg cap1_h3.fh) against cap1_t3.rwl:"
"$build/gen_heidelberg" "$data" 1 >/dev/null || exit 2
rm -f cli/cap1_h3_AVE.raw
hc= tc= hstatus=1
turn=0
while [ "$turn" -lt "$runs" ]; do
  set -- $("$peak" -- "$bin" -q -o cli -t 4-7 -f heidelberg cap1_h3.fh)
  hstatus=${3:-1}
  hc=$(echo "${hc:-$4} $4" | awk '{ print ($1 < $2 ? $1 : $2) }')
  set -- $("$peak" -- "$bin" -q -o cli -t 4-7 -f tucson cap1_t3.rwl)
  tc=$(echo "${tc:-$4} $4" | awk '{ print ($1 < $2 ? $1 : $2) }')
  turn=$((turn + 1))
done
if [ "$hstatus" != 0 ]; then
  check="RUN FAILED (exit $hstatus)"
  failed=1
elif cmp -s cli/cap1_h3_AVE.raw cap1_t3_AVE.expected; then
  check="as expected"
else
  check="DIFFERS from cap1_t3_AVE.expected"
  failed=1
fi
awk -v h="$hc" -v t="$tc" -v b="$(wc -c <cap1_h3.fh)" -v ok="$check" 'BEGIN {
  r = (t > 0 ? h / t : 0)
  printf "  cap1_h3.fh (%.2f MB): cpu %.3f s, Tucson cap1_t3.rwl %.3f s: %.2fx (target <= 2x) %s  %s\n",
    b / 1e6, h, t, r, (r <= 2 ? "met" : "MISSED"), ok }'
# The same thousandths as CSV tables in millimetres, one series per row and
# one year per row, through the command line: target (reported) at most 2x
# the CPU time of the full-capacity Tucson file above; the trees must be
# those of the Tucson file.
echo
echo "CSV tables at full capacity (ringave -q -o csv -t 4-7 -f csv FILE) against the Tucson file (cap1_t3.rwl):"
mkdir -p "$data/csv"
for k in s3 y3; do
  file=cap1_$k.csv
  rm -f "csv/cap1_${k}_AVE.raw"
  set -- $("$peak" -n "$runs" -o "cap1_$k.csv.log" -- "$bin" -q -o csv -t 4-7 -f csv "$file")
  ct=${1:-0} crss=${2:-0} cstatus=${3:-1} cc=${4:-0}
  if [ "$cstatus" != 0 ]; then
    check="RUN FAILED (exit $cstatus, see $data/cap1_$k.csv.log)"
    failed=1
  elif cmp -s "csv/cap1_${k}_AVE.raw" cap1_t3_AVE.expected; then
    check="as expected"
  else
    check="DIFFERS from cap1_t3_AVE.expected"
    failed=1
  fi
  awk -v f="$file" -v b="$(wc -c <"$file")" -v ct="$ct" -v cc="$cc" -v r="$crss" -v tc="${tucson_cpu:-0}" -v ok="$check" '
    BEGIN {
      x = (tc > 0 ? cc / tc : 0)
      printf "  %-12s %6.2f MB: wall %.3f s, cpu %.3f s = %.2fx the Tucson file (target <= 2x) %s, %.1f MB peak  %s\n",
        f, b / 1e6, ct, cc, x, (x <= 2 ? "met" : "MISSED"), r / 1024, ok
    }'
done
# The check of the cores (--check) on the full-capacity Tucson file against
# the same run without it: targets, reported and not asserted, at most 1 s
# more CPU and at most 3 times the peak resident set. The tree file must be
# the same byte for byte.
echo
echo "--check at full capacity (ringave -q -o DIR -t 4-7 -f tucson [--check] cap1_t3.rwl), best of $runs:"
mkdir -p "$data/plain" "$data/checked"
set -- $("$peak" -n "$runs" -- "$bin" -q -o plain -t 4-7 -f tucson cap1_t3.rwl)
pt=${1:-0} prss=${2:-0} pstatus=${3:-1} pc=${4:-0}
set -- $("$peak" -n "$runs" -- "$bin" -q --check -o checked -t 4-7 -f tucson cap1_t3.rwl)
kt=${1:-0} krss=${2:-0} kstatus=${3:-1} kc=${4:-0}
if [ "$pstatus" != 0 ] || [ "$kstatus" != 0 ]; then
  echo "  RUN FAILED (exit $pstatus without, $kstatus with --check)"
  failed=1
elif ! cmp -s plain/cap1_t3_AVE.raw checked/cap1_t3_AVE.raw || ! cmp -s plain/cap1_t3_AVE.raw cap1_t3_AVE.expected; then
  echo "  the tree file with --check DIFFERS"
  failed=1
fi
awk -v pt="$pt" -v pc="$pc" -v pr="$prss" -v kt="$kt" -v kc="$kc" -v kr="$krss" '
  BEGIN {
    printf "  without: %.3f s wall, %.3f s cpu, %.1f MB peak\n", pt, pc, pr / 1024
    printf "  with:    %.3f s wall, %.3f s cpu, %.1f MB peak\n", kt, kc, kr / 1024
    d = kc - pc
    m = (pr > 0 ? kr / pr : 0)
    printf "  the check: %.3f s more cpu (target <= 1 s) %s; %.2fx the peak resident set (target <= 3x) %s\n",
      d, (d <= 1 ? "met" : "MISSED"), m, (m <= 3 ? "met" : "MISSED")
  }'

# A small real file: start-up and fixed costs against the plain read.
small=$data/small
mkdir -p "$small" || exit 2
cp "$here/tests/data/ca533.rwl" "$small/" || exit 2
printf 'ca533.rwl 1 4 5\n' >"$small/ca533.lst"
printf 'T\nca533.lst\n' >"$small/ca533.ans"
cd "$small" || exit 2
set -- $("$peak" -n "$small_runs" -i ca533.ans -o ca533.log -- "$bin")
st=${1:-0} srss=${2:-0} sstatus=${3:-1} sc=${4:-0}
set -- $("$peak" -n "$small_runs" -- "$reader" ca533.rwl)
rt=${1:-0} rc=${4:-0}
if [ "$sstatus" != 0 ] || ! grep -q 'Normal Termination of program' ca533.log; then
  echo "small file: RUN FAILED (exit $sstatus, see $small/ca533.log)"
  failed=1
fi
sg=$(instructions ca533)
echo
echo "small real file (ca533, 34 series, $(wc -c <ca533.rwl) bytes), process start included, best of $small_runs:"
awk -v st="$st" -v sc="$sc" -v rt="$rt" -v rc="$rc" -v r="$srss" -v sg="$sg" '
  BEGIN {
    printf "  ringave:   %6.2f ms wall, %6.2f ms cpu, %5.1f MB peak, %s G instructions\n", st * 1e3, sc * 1e3, r / 1024, sg
    printf "  read_file: %6.2f ms wall, %6.2f ms cpu\n", rt * 1e3, rc * 1e3
    d = (st - rt) * 1e3
    printf "  difference: %.2f ms wall (target <= 3 ms) %s\n", d, (d <= 3 ? "met" : "MISSED")
  }'
set -- $("$peak" -n "$small_runs" -- "$bin" -q -t 4-5 -f tucson ca533.rwl)
cli_t=${1:-0} cli_c=${4:-0} cli_status=${3:-1}
[ "$cli_status" = 0 ] || { echo "small file, command line: RUN FAILED (exit $cli_status)"; failed=1; }
awk -v t="$cli_t" -v c="$cli_c" 'BEGIN { printf "  command line (ringave -q -t 4-5 -f tucson ca533.rwl): %.2f ms wall, %.2f ms cpu\n", t * 1e3, c * 1e3 }'
cd "$data" || exit 2
[ "$callgrind" = yes ] && echo "profiles: callgrind_annotate $data/<input>.callgrind (e.g. cap1_c2, small/ca533)"

if [ -x "$build/ringave_bench" ]; then
  echo
  echo "Google Benchmark (formats): $build/ringave_bench"
  "$build/ringave_bench" || failed=1
fi

exit $failed
