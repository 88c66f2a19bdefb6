"""quil on a Dask cluster: a large stack of small systems, in blocks on worker processes, with the
same bits as in one process.

    python3 examples/dask/stacks.py                      # a local cluster of two processes
    python3 examples/dask/stacks.py tcp://host:8786      # a cluster already running

Each worker needs quil installed (or on its PYTHONPATH). quil's functions are plain module
functions, so Dask sends them to the workers by name; dask.array hands them whole blocks of the
stack, which they compute as stacks. Every matrix gets the C++ routine's bits on any worker,
whatever its processor, so the results equal those of one process to the last bit: the script
checks that, prints a summary and exits with 1 if anything differs.
"""

import sys

import dask
import dask.array as da
import numpy as np
from distributed import Client, LocalCluster

import quil


def compute(client):
    rng = np.random.default_rng(7)
    a = rng.standard_normal((20000, 4, 4)) + 2.0 * np.eye(4)
    b = rng.standard_normal((20000, 4))
    blocks_a = da.from_array(a, chunks=(2500, 4, 4))
    blocks_b = da.from_array(b, chunks=(2500, 4))

    # Blocks of the stack through map_blocks and through a generalized ufunc's signature.
    det = blocks_a.map_blocks(quil.det, drop_axis=(1, 2), dtype=np.float64)
    inv = blocks_a.map_blocks(quil.inv, dtype=np.float64)
    x = da.apply_gufunc(quil.solve, "(m,m),(m)->(m)", blocks_a, blocks_b,
                        output_dtypes=np.float64)
    on_cluster = dict(zip(("det", "inv", "solve"), dask.compute(det, inv, x)))
    # One call per task, as bag.map or client.map make them: the function travels by name.
    on_cluster["slogdet"] = np.array(client.gather(client.map(quil.slogdet, list(a[:200]))))

    here = {"det": quil.det(a), "inv": quil.inv(a), "solve": quil.solve(a, b),
            "slogdet": np.array([quil.slogdet(m) for m in a[:200]])}
    same = True
    for name, want in here.items():
        got = on_cluster[name]
        equal = got.shape == want.shape and np.array_equal(got.view(np.uint64),
                                                           want.view(np.uint64))
        print(f"{name:8} {got.shape}: {'the same bits' if equal else 'DIFFERENT'}")
        same = same and equal
    return same


def main():
    if len(sys.argv) > 1:
        with Client(sys.argv[1]) as client:
            same = compute(client)
    else:
        # Bound to 127.0.0.1, without the dashboard: nothing listens beyond this machine.
        with LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                          host="127.0.0.1", dashboard_address=None) as cluster, \
                Client(cluster) as client:
            same = compute(client)
    print("on the cluster as in one process:", "yes" if same else "NO")
    return 0 if same else 1


if __name__ == "__main__":  # worker processes import this file too
    sys.exit(main())
