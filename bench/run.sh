#!/bin/sh
# bench/run.sh <build-folder>
#
# End-to-end benchmark of ringave at its capacity (2001 series x 3001 values)
# and at 1/10 and 1/100 of it, in three input formats: Tucson thousandths,
# Tucson hundredths and Compact. `make bench` builds the release program, the
# tools in bench/tools and the Google Benchmark binary into <build-folder>,
# then calls this script.
#
# For each input the release ringave reads its answers (list-file branch)
# from standard input; the table shows the best wall time of RUNS runs
# (default 5), the input rate, the largest peak resident set, the best time
# of `wc -l` on the same file in the same run (the machine's floor for
# reading it) and the ratio of the two. Each output is compared byte for byte
# with the tree means that the generator computed on its own.
#
# Targets, reported and not asserted: full-capacity Tucson <= 0.3 s and
# <= 8x wc -l; full-capacity Compact <= 0.5 s; peak resident set <= 64 MB.
# The script fails only when a run fails or writes a wrong output.
set -u

build=${1:-build-bench}
case $build in
  /*) ;;
  *) build=$(pwd)/$build ;;
esac
runs=${RUNS:-5}
bin=$build/ringave
gen=$build/gen_capacity
peak=$build/peak_rss
data=$build/capacity-data

for tool in "$bin" "$gen" "$peak"; do
  if [ ! -x "$tool" ]; then
    echo "bench: $tool is missing; build with -DRINGAVE_BENCH=ON first (make bench)" >&2
    exit 2
  fi
done

for d in 1 10 100; do
  "$gen" "$data" "$d" || exit 2
done
cd "$data" || exit 2

failed=0
results=$data/results.txt
: >"$results"

echo
echo "ringave end to end: best of $runs runs; wc -l on the same file as the I/O floor"
[ -r /proc/loadavg ] && echo "load average before the runs: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc 2>/dev/null || echo '?') cores"
printf '%-14s %-17s %6s %6s %7s %7s %6s %6s %7s %7s %5s %5s  %s\n' \
  input format MB series "wall s" "cpu s" "MB/s" "RSS MB" "wc wall" "wc cpu" "x wc" "x cpu" output
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

    set -- $("$peak" -n "$runs" -i "$base.ans" -o "$base.log" -- "$bin")
    t=${1:-0} rss=${2:-0} status=${3:-1} c=${4:-0}
    set -- $("$peak" -n "$runs" -- wc -l "$file")
    w=${1:-0} wc=${4:-0}

    if [ "$status" != 0 ] || ! grep -q 'Normal Termination of program' "$base.log"; then
      check="RUN FAILED (exit $status, see $data/$base.log)"
      failed=1
    elif cmp -s "${base}_AVE.raw" "${base}_AVE.expected"; then
      check="as expected"
    else
      check="DIFFERS from ${base}_AVE.expected"
      failed=1
    fi
    echo "$base $k $d $bytes $t $rss $w $c $wc" >>"$results"
    awk -v f="$file" -v fmt="$fmt" -v b="$bytes" -v s="$series" -v t="$t" -v c="$c" -v r="$rss" \
      -v w="$w" -v wc="$wc" -v ok="$check" \
      'BEGIN { printf "%-14s %-17s %6.2f %6d %7.3f %7.3f %6.1f %6.1f %7.4f %7.4f %5.1f %5.1f  %s\n",
               f, fmt, b / 1e6, s, t, c, (t > 0 ? b / 1e6 / t : 0), r / 1024, w, wc,
               (w > 0 ? t / w : 0), (wc > 0 ? c / wc : 0), ok }'
  done
done

echo
echo "targets (reported, not asserted):"
awk '
  $3 == 1 { t[$2] = $5; rss = (rss > $6 ? rss : $6); w[$2] = $7; c[$2] = $8 }
  END {
    split("t3 t2", ks, " ")
    for (i = 1; i <= 2; i++) {
      k = ks[i]
      printf "  full Tucson %s: %.3f s wall, %.3f s cpu (target <= 0.3 s) %s; %.1fx wc -l (target <= 8x) %s\n",
        (k == "t3" ? "0.001 mm" : "0.01 mm "), t[k], c[k], (t[k] <= 0.3 ? "met" : "MISSED"),
        (w[k] > 0 ? t[k] / w[k] : 0), (w[k] > 0 && t[k] / w[k] <= 8 ? "met" : "MISSED")
    }
    printf "  full Compact: %.3f s wall, %.3f s cpu (target <= 0.5 s) %s\n", t["c2"], c["c2"],
      (t["c2"] <= 0.5 ? "met" : "MISSED")
    printf "  peak resident set at full capacity: %.1f MB (target <= 64 MB) %s\n",
      rss / 1024, (rss / 1024 <= 64 ? "met" : "MISSED")
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

if [ -x "$build/ringave_bench" ]; then
  echo
  echo "Google Benchmark (formats): $build/ringave_bench"
  "$build/ringave_bench" || failed=1
fi

exit $failed
