#!/usr/bin/env python3
"""How well `ringave --check` finds misdated cores, on real files.

check_goals.py RINGAVE [REALDATA]

For every data set of REALDATA (default /work/shared/realdata; each data set
once, from its plain Tucson file) the script
  * runs `ringave --check` on the file as it is: the false flags, over the
    cores with at least 100 years of site-master overlap;
  * moves cores, one at a time, by -10 -5 -2 -1 +1 +2 +5 +10 years in a copy
    of the file (every core that the check finds ok in place and that has
    at least 110 years of master overlap, so that 100 stay after a move of
    10), runs the check on each copy and
    counts a detection when the moved core is `shifted` by exactly the move
    back and the other cores of its tree keep their flags.
anos1 has no core of 100 years (its cores span 98 at most): its cores of at
least 80 years stand in, and it is shown apart from the pooled figures.

Then the margin of "clearly better" (kClearlyBetter in
src/check/core_check.h) tuned with one data set left out: the margin is
chosen on the others (the highest detection rate with at most 2 % false
`shifted` there, the smallest margin among equals) and the figures are those
of the data set left out. Among margins that do equally well, the middle
one is taken: the one farthest from losing either figure. The margin decides only the flag; the report's r,
shift and r_at_shift do not depend on it, so one run per file serves every
margin.
"""
import csv
import math
import os
import subprocess
import sys
import tempfile

SETS = [("ca533", "4-5"), ("wa082", "4-5"), ("nm046", "4-5"), ("anos1", "6-7"), ("gp", "1-2")]
MOVES = [-10, -5, -2, -1, 1, 2, 5, 10]
LEAST_OVERLAP = 100
ANOS1_OVERLAP = 80
MARGINS = [round(0.02 * i, 2) for i in range(0, 26)]


def read_tucson(path):
    """The series of a Tucson file (3 header lines, stop marker 999) as
    [id, first year, values] in file order."""
    series = []
    with open(path, newline="") as f:
        lines = f.read().splitlines()[3:]
    current = None
    for line in lines:
        if not line.strip():
            continue
        sid, year = line[:8].rstrip(), int(line[8:12])
        fields = [line[i:i + 6] for i in range(12, len(line), 6)]
        values = [int(v) for v in fields if v.strip()]
        if current is None or current[0] != sid:
            current = [sid, year, []]
            series.append(current)
        for v in values:
            if v == 999:
                current = None
                break
            current[2].append(v)
    return series


def write_tucson(path, series):
    with open(path, "w") as f:
        f.write("MOVED    a copy with a core moved\n" * 3)
        for sid, first, values in series:
            cells = values + [999]
            year, i = first, 0
            while i < len(cells):
                n = 10 - year % 10 if year >= 0 else 10 - (year % 10)
                n = min(n, len(cells) - i)
                f.write("%-8s%4d%s\n" % (sid, year, "".join("%6d" % v for v in cells[i:i + n])))
                i += n
                year += n


def run_check(ringave, folder, name, series, tree):
    path = os.path.join(folder, name + ".rwl")
    write_tucson(path, series)
    out = subprocess.run([ringave, "--check", "-q", "-f", "tucson", "-t", tree, "-o", folder, path],
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if out.returncode != 0:
        sys.exit("ringave failed on " + path)
    with open(os.path.join(folder, name + "_check.csv"), newline="") as f:
        return list(csv.DictReader(f))


def critical_r(n):
    if n < 12:
        return 1.0
    z, nu = 2.3263478740408408, n - 2.0
    t = (z + (z**3 + z) / 4 / nu + (5 * z**5 + 16 * z**3 + 3 * z) / 96 / nu**2
         + (3 * z**7 + 19 * z**5 + 17 * z**3 - 15 * z) / 384 / nu**3
         + (79 * z**9 + 776 * z**7 + 1482 * z**5 - 1920 * z**3 - 945 * z) / 92160 / nu**4)
    return t / math.sqrt(nu + t * t)


def flag(row, margin):
    """The flag a margin gives a row of the report (None: the binary's own)."""
    if margin is None or row["basis"] != "master":
        return row["flag"]
    n, r, shift, best = int(row["overlap"]), float(row["r"]), int(row["shift"]), float(row["r_at_shift"])
    if shift != 0 and best >= critical_r(n) and best - r >= margin:
        return "shifted"
    return "weak" if r < critical_r(n) else "ok"


def gather(ringave, realdata, folder):
    """Per data set: the report of the file as it is, and of every move."""
    sets = {}
    for name, tree in SETS:
        series = read_tucson(os.path.join(realdata, name + ".rwl"))
        base = run_check(ringave, folder, name, series, tree)
        least = ANOS1_OVERLAP if name == "anos1" else LEAST_OVERLAP
        # Cores far enough inside the master that a move keeps the overlap.
        fit = [i for i, row in enumerate(base)
               if row["basis"] == "master" and int(row["overlap"]) >= least + 10 and row["flag"] == "ok"]
        moves = []
        for i in fit:
            for d in MOVES:
                moved = [list(s) for s in series]
                moved[i][1] += d
                rows = run_check(ringave, folder, name + "_moved", moved, tree)
                mates = [j for j, row in enumerate(base) if row["tree"] == base[i]["tree"] and j != i]
                moves.append((i, d, rows, mates))
        sets[name] = (base, moves, least)
    return sets


def figures(entry, margin):
    base, moves, least = entry
    judged = [r for r in base if r["basis"] == "master" and int(r["overlap"]) >= least]
    shifted = sum(flag(r, margin) == "shifted" for r in judged)
    weak = sum(flag(r, margin) == "weak" for r in judged)
    found = 0
    for i, d, rows, mates in moves:
        right = flag(rows[i], margin) == "shifted" and int(rows[i]["shift"]) == -d
        kept = all(flag(rows[j], margin) == flag(base[j], margin) for j in mates)
        found += right and kept
    return found, len(moves), shifted, weak, len(judged)


def pct(a, b):
    return "%5.1f %%" % (100.0 * a / b) if b else "   n/a"


def table(sets, margins, title):
    print(title)
    print("  %-7s %6s %9s %9s %7s %9s %9s" % ("set", "margin", "moves", "found", "cores", "shifted", "weak"))
    pooled = [0, 0, 0, 0, 0]
    for name, _ in SETS:
        f = figures(sets[name], margins[name])
        m = "built-in" if margins[name] is None else "%.2f" % margins[name]
        print("  %-7s %6s %9d %9s %7d %9s %9s" % (name, m, f[1], pct(f[0], f[1]), f[4], pct(f[2], f[4]), pct(f[3], f[4])))
        if name != "anos1":
            pooled = [p + x for p, x in zip(pooled, f)]
    print("  %-7s %6s %9d %9s %7d %9s %9s" % ("pooled", "", pooled[1], pct(pooled[0], pooled[1]), pooled[4],
                                             pct(pooled[2], pooled[4]), pct(pooled[3], pooled[4])))
    print("  (pooled without anos1, whose cores are under 100 years)")


def tune(sets, left_out):
    scores = []
    for m in MARGINS:
        found = moves = shifted = cores = 0
        for name, _ in SETS:
            if name == left_out or name == "anos1":
                continue
            f = figures(sets[name], m)
            found, moves, shifted, cores = found + f[0], moves + f[1], shifted + f[2], cores + f[4]
        scores.append((found if not cores or shifted / cores <= 0.02 else -1, m))
    top = max(f for f, _ in scores)
    equals = [m for f, m in scores if f == top]
    return equals[len(equals) // 2]


def sensitivity(sets):
    print("every margin, pooled without anos1: detected / moves, false shifted, weak / cores")
    for m in MARGINS:
        tot = [0, 0, 0, 0, 0]
        for name, _ in SETS:
            if name != "anos1":
                tot = [a + b for a, b in zip(tot, figures(sets[name], m))]
        print("  %.2f  %4d / %4d  %3d %3d / %d" % (m, tot[0], tot[1], tot[2], tot[3], tot[4]))


def main():
    if len(sys.argv) < 2:
        sys.exit("usage: check_goals.py RINGAVE [REALDATA]")
    ringave = os.path.abspath(sys.argv[1])
    realdata = sys.argv[2] if len(sys.argv) > 2 else "/work/shared/realdata"
    with tempfile.TemporaryDirectory() as folder:
        sets = gather(ringave, realdata, folder)
    table(sets, {n: None for n, _ in SETS}, "ringave's own flags (kClearlyBetter as built):")
    print()
    sensitivity(sets)
    print()
    table(sets, {n: tune(sets, n) for n, _ in SETS},
          "margin tuned with the data set left out (figures of the data set left out):")


if __name__ == "__main__":
    main()
