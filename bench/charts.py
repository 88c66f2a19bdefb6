"""Draws the charts of docs/PERFORMANCE.md from the figures quil_bench writes (--quil_data), one
per family of routines: time per call at the small orders and GFLOP/s at the large ones, against
the order, QUIL on one thread and on every thread beside Eigen and OpenBLAS, with the
bit-identical ceiling as a line.

    python3 bench/charts.py FIGURES.csv OUTDIR

`make bench` runs it with Debian's python3-matplotlib. The file names are those the document
links (bench/Report.cpp, kCharts).
"""

import argparse
import csv
import os
import sys
from collections import defaultdict

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

# Where the small orders end: below it a call is timed, from it its rate is drawn.
SMALL_UP_TO = 64

# file, title, table of the figures, QUIL's routine
FAMILIES = (
    ("bench-product.png", "The product", "Product", "MulMtrxNN"),
    ("bench-decomposition.png", "The determinant (the LU decomposition)", "Determinant", "DetNN2"),
    ("bench-log-determinant.png", "The log-determinant", "Log-determinant", "DetLog10"),
    ("bench-full-pivoting.png", "Full pivoting", "Full pivoting", "DetNN"),
    ("bench-inverse.png", "The inverse", "Inverse", "InvMtrxNN"),
    ("bench-solve.png", "The solve", "Solve", "SolveMtrxNN"),
)

PEERS = (("eigen", "Eigen", "tab:green"), ("openblas", "OpenBLAS", "tab:red"))


def read(path):
    """{(table, routine, who, threads): {n: (seconds, gflops)}} and the ceiling's GFLOP/s."""
    series = defaultdict(dict)
    ceiling = 0.0
    with open(path, newline="", encoding="utf-8") as f:
        for row in csv.DictReader(f):
            seconds, gflops = float(row["seconds"]), float(row["gflops"])
            if row["table"] == "Ceiling":
                if "multiply, then add" in row["routine"]:
                    ceiling = max(ceiling, gflops)
                continue
            who = row["who"]
            routine = row["routine"] if who in ("quil", "plain") else ""
            key = (row["table"], routine, who, int(row["threads"]))
            series[key][int(row["n"])] = (seconds, gflops)
    return series, ceiling


def draw(series, ceiling, table, routine, title, path):
    threads = sorted({k[3] for k in series if k[0] == table})
    many = max(threads) if threads else 1
    lines = [((table, routine, "quil", 1), f"QUIL {routine}, 1 thread", "tab:blue", "-")]
    if many > 1:
        lines.append(((table, routine, "quil", many), f"QUIL {routine}, {many} threads",
                      "tab:blue", "--"))
    for who, name, colour in PEERS:
        lines.append(((table, "", who, 1), f"{name}, 1 thread", colour, "-"))
        if many > 1:
            lines.append(((table, "", who, many), f"{name}, {many} threads", colour, "--"))

    fig, (small, large) = plt.subplots(1, 2, figsize=(13, 4.4),
                                       gridspec_kw={"width_ratios": [1, 2]})
    for key, label, colour, style in lines:
        points = sorted(series.get(key, {}).items())
        low = [(n, s * 1e6) for n, (s, _) in points if n <= SMALL_UP_TO]
        high = [(n, g) for n, (_, g) in points if n >= SMALL_UP_TO and g > 0]
        if low:
            small.plot(*zip(*low), style, color=colour, marker="o", label=label)
        if high:
            large.plot(*zip(*high), style, color=colour, marker="o", label=label)
    if ceiling > 0:
        large.axhline(ceiling, color="black", linestyle=":",
                      label=f"bit-identical ceiling, one core ({ceiling:.0f} GFLOP/s)")
        if many > 1:
            large.axhline(ceiling * many, color="grey", linestyle=":",
                          label=f"bit-identical ceiling, {many} cores")
    for ax in (small, large):
        ax.set_xscale("log", base=2)
        ax.set_xlabel("order n")
        ax.grid(True, which="both", alpha=0.3)
    small.set_yscale("log")
    small.set_ylabel("time per call (µs)")
    small.set_title(f"n ≤ {SMALL_UP_TO}")
    large.set_ylabel("GFLOP/s")
    large.set_ylim(bottom=0)
    large.set_title(f"n ≥ {SMALL_UP_TO}")
    large.legend(fontsize="small", loc="upper left", bbox_to_anchor=(1.02, 1.0))
    fig.suptitle(title)
    fig.tight_layout()
    fig.savefig(path, dpi=96)
    plt.close(fig)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("figures", help="the CSV file quil_bench wrote with --quil_data")
    parser.add_argument("outdir", help="the folder the charts go to (docs)")
    args = parser.parse_args()
    series, ceiling = read(args.figures)
    os.makedirs(args.outdir, exist_ok=True)
    for file, title, table, routine in FAMILIES:
        draw(series, ceiling, table, routine, title, os.path.join(args.outdir, file))
        print("drawn", os.path.join(args.outdir, file))
    return 0


if __name__ == "__main__":
    sys.exit(main())
