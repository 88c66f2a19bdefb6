"""Times quil's det, inv, solve and matmul beside numpy.linalg's (and numpy.matmul) at n = 4, 64,
320, 512 and 1000, with the page faults of a call, and on stacks of 10,000 matrices of orders 4, 8
and 16 beside NumPy's stacked calls, all on one thread; prints the figures and writes them as
Markdown.

    python3 python/bench/bench.py [--out docs/PERFORMANCE-python.md]

with quil importable (PYTHONPATH=build/python after building the target quil_python). `make
bench` runs it. At n = 4 a call is nearly all overhead: converting the arguments, the library's
records, the result array; quil's must stay under 1.5 times NumPy's. On the stack of order 4,
det, slogdet, inv and solve must be at least 3 times as fast as NumPy's.
"""

import argparse
import ctypes
import os
import platform
import resource
import sys
import time
import timeit

# One thread for OpenBLAS, set before NumPy loads it.
os.environ["OPENBLAS_NUM_THREADS"] = "1"

import numpy as np  # noqa: E402

import quil  # noqa: E402

ORDERS = (4, 64, 320, 512, 1000)
STACK = 10_000           # matrices in a stack
STACK_ORDERS = (4, 8, 16)
STACK_TARGETS = ("det", "slogdet", "inv", "solve")  # at order 4
STACK_SPEEDUP = 3.0
OVERHEAD_LIMIT = 1.5
REPEATS = 5


def minor_faults():
    """The process's minor page faults so far."""
    return resource.getrusage(resource.RUSAGE_SELF).ru_minflt


def seconds_per_call(call):
    """The fastest of REPEATS runs, each of enough calls to last about 0.2 s, and the minor page
    faults per call of one more such run."""
    number, _ = timeit.Timer(call).autorange()
    number = max(1, number)
    seconds = min(timeit.repeat(call, number=number, repeat=REPEATS)) / number
    before = minor_faults()
    for _ in range(number):
        call()
    return seconds, (minor_faults() - before) / number


def show(s):
    for limit, scale, unit in ((1e-6, 1e9, "ns"), (1e-3, 1e6, "µs"), (1.0, 1e3, "ms")):
        if s < limit:
            return f"{s * scale:.3g} {unit}"
    return f"{s:.3g} s"


def openblas_kernel():
    """The kernels OpenBLAS (as NumPy loaded it) runs, and who chose them."""
    np.linalg.inv(np.eye(3))
    try:
        with open("/proc/self/maps") as maps:
            paths = {line.split()[-1] for line in maps if "openblas" in line.lower()}
    except OSError:
        return "unknown"
    for path in sorted(paths):
        try:
            lib = ctypes.CDLL(path)
        except OSError:
            continue
        for name in ("openblas_get_corename", "scipy_openblas_get_corename64_"):
            if hasattr(lib, name):
                corename = getattr(lib, name)
                corename.restype = ctypes.c_char_p
                forced = os.environ.get("OPENBLAS_CORETYPE")
                who = (f"forced by OPENBLAS_CORETYPE={forced}" if forced
                       else "chosen by OpenBLAS for this processor")
                return f"{corename().decode()} ({who})"
    return "unknown (not OpenBLAS)"


def blas_library():
    """The BLAS and LAPACK libraries NumPy has loaded (Linux only)."""
    np.linalg.inv(np.eye(3))
    try:
        with open("/proc/self/maps") as maps:
            found = {line.split()[-1] for line in maps
                     if "blas" in line.lower() or "lapack" in line.lower()}
    except OSError:
        return "unknown"
    return ", ".join(sorted(os.path.realpath(p) for p in found)) or "unknown"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", help="the Markdown file to write")
    args = parser.parse_args()

    quil.set_num_threads(1)
    rng = np.random.default_rng(1)
    rows, overheads = [], {}
    for n in ORDERS:
        a = rng.standard_normal((n, n)) / n + np.eye(n)  # regular, its determinant in range
        b = rng.standard_normal(n)
        pairs = {
            "det": (lambda: quil.det(a), lambda: np.linalg.det(a)),
            "inv": (lambda: quil.inv(a), lambda: np.linalg.inv(a)),
            "solve": (lambda: quil.solve(a, b), lambda: np.linalg.solve(a, b)),
            "matmul": (lambda: quil.matmul(a, a), lambda: np.matmul(a, a)),
        }
        for name, (ours, theirs) in pairs.items():
            (q, qf), (t, tf) = seconds_per_call(ours), seconds_per_call(theirs)
            rows.append((name, n, q, qf, t, tf))
            if n == 4:
                overheads[name] = q / t
            print(f"{name:7} n = {n:4}   quil {show(q):>9} ({qf:.0f} faults)   numpy {show(t):>9} "
                  f"({tf:.0f} faults)   quil's speed / numpy's {t / q:.2f}x", flush=True)

    stacks = stacked_calls(rng)
    met = all(r < OVERHEAD_LIMIT for r in overheads.values())
    print(f"call overhead at n = 4 under {OVERHEAD_LIMIT:g}x NumPy's:", "yes" if met else "NO",
          " ".join(f"{k} {v:.2f}x" for k, v in overheads.items()))
    speedups = {name: t / q for name, n, q, t in stacks
                if n == STACK_ORDERS[0] and name in STACK_TARGETS}
    stack_met = all(s >= STACK_SPEEDUP for s in speedups.values())
    print(f"on the stack of order {STACK_ORDERS[0]} at least {STACK_SPEEDUP:g}x NumPy's speed:",
          "yes" if stack_met else "NO", " ".join(f"{k} {v:.2f}x" for k, v in speedups.items()))
    if args.out:
        write(args.out, rows, overheads, met, stacks, speedups, stack_met)
    return 0


def stacked_calls(rng):
    """quil's and NumPy's calls on STACK matrices of each order in STACK_ORDERS, NumPy's being
    the figures that the C++ library's stack routines (docs/PERFORMANCE.md, "Stacks") are
    judged beside too. Seconds per matrix."""
    rows = []
    for n in STACK_ORDERS:
        a = rng.standard_normal((STACK, n, n)) / n + np.eye(n)
        a2 = rng.standard_normal((STACK, n, n))
        b = rng.standard_normal((STACK, n, 1))
        calls = {
            "det": (lambda: quil.det(a), lambda: np.linalg.det(a)),
            "slogdet": (lambda: quil.slogdet(a), lambda: np.linalg.slogdet(a)),
            "inv": (lambda: quil.inv(a), lambda: np.linalg.inv(a)),
            "solve": (lambda: quil.solve(a, b), lambda: np.linalg.solve(a, b)),
            "matmul": (lambda: quil.matmul(a, a2), lambda: np.matmul(a, a2)),
        }
        for name, (ours, theirs) in calls.items():
            q, t = seconds_per_call(ours)[0] / STACK, seconds_per_call(theirs)[0] / STACK
            rows.append((name, n, q, t))
            print(f"{name:7} stack of {STACK} n = {n:2}   quil {show(q):>9}   numpy {show(t):>9}"
                  f" per matrix   quil's speed / numpy's {t / q:.2f}x", flush=True)
    return rows


def write(path, rows, overheads, met, stacks, speedups, stack_met):
    load = os.getloadavg() if hasattr(os, "getloadavg") else ()
    lines = [
        "# Performance from Python",
        "",
        "Written by `make bench` (`python/bench/bench.py`). The module `quil` beside "
        "`numpy.linalg` (and `numpy.matmul`), both on one thread (`quil.set_num_threads(1)`, "
        "`OPENBLAS_NUM_THREADS=1`), on random float64 matrices I + R / n, R standard normal. Each "
        "figure is the time per call of the fastest of five runs, arguments in, result out, "
        "with the minor page faults per call (getrusage) of one more run. "
        "Where the load average below is well above the number of cores, other work shared "
        "them and the times are noisy; the ratios within one run are what count.",
        "",
        "NumPy's results depend on the BLAS it was built against, the processor and the thread "
        "count; quil's have the bits of the C++ routines everywhere. Every call, on one matrix "
        "or a stack, goes through the library's routines over stacks.",
        "",
        f"- Python {platform.python_version()}, NumPy {np.__version__}, quil {quil.__version__}",
        f"- NumPy's BLAS and LAPACK: {blas_library()}; OpenBLAS kernels {openblas_kernel()}",
        f"- Processor: {platform.processor() or platform.machine()}, "
        f"{os.cpu_count()} logical cores",
        f"- Run: {time.strftime('%Y-%m-%d %H:%M UTC', time.gmtime())}"
        + (f"; load average {' '.join(f'{x:.2f}' for x in load)}" if load else ""),
        "",
        "## Target",
        "",
        "| Target | Needed | quil's time ÷ NumPy's | Met |",
        "|---|--:|---|---|",
        f"| The call overhead at n = 4 under {OVERHEAD_LIMIT:g}× NumPy's | < {OVERHEAD_LIMIT:.2f}× | "
        + ", ".join(f"`{k}` {v:.2f}×" for k, v in overheads.items())
        + f" | {'yes' if met else '**no**'} |",
        f"| A stack of {STACK:,} matrices of order {STACK_ORDERS[0]}: at least "
        f"{STACK_SPEEDUP:g}× NumPy's speed | ≤ {1 / STACK_SPEEDUP:.2f}× | "
        + ", ".join(f"`{k}` {1 / v:.2f}×" for k, v in speedups.items())
        + f" | {'yes' if stack_met else '**no**'} |",
        "",
        "## Figures",
        "",
        "| Function | n | quil | its page faults per call | NumPy | its page faults per call "
        "| quil's speed ÷ NumPy's |",
        "|---|--:|--:|--:|--:|--:|--:|",
    ]
    lines += [f"| `{name}` | {n} | {show(q)} | {qf:.0f} | {show(t)} | {tf:.0f} | {t / q:.2f}× |"
              for name, n, q, qf, t, tf in rows]
    lines += [
        "",
        "## Stacks",
        "",
        f"One call on a stack of {STACK:,} matrices (`det(a)` and its kin with `a` of shape "
        "(10000, n, n), `solve` with `b` of shape (10000, n, 1), `matmul` of two stacks), quil's "
        "beside NumPy's, time per matrix, one thread. NumPy's are the peers of the library's "
        "stack routines too (`docs/PERFORMANCE.md`, \"Stacks\").",
        "",
        "| Function | n | quil, per matrix | NumPy, per matrix | quil's speed ÷ NumPy's |",
        "|---|--:|--:|--:|--:|",
    ]
    lines += [f"| `{name}` | {n} | {show(q)} | {show(t)} | {t / q:.2f}× |"
              for name, n, q, t in stacks]
    with open(path, "w", encoding="utf-8") as out:
        out.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    sys.exit(main())
