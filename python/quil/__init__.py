"""QUIL's square-matrix routines on NumPy arrays.

Every function copies its arguments into the C++ library's records and calls the routine of the
same name, so its result has the same bits as that routine's on every machine, processor path
and number of threads: no BLAS, no fused multiply-add, no work divided over a sum.

Arguments are anything numpy.asarray takes with real elements (any memory order, any real dtype,
converted to float64); matrices are square 2-D arrays, vectors 1-D arrays. A wrong shape raises
ValueError, an exactly singular matrix in inv and solve numpy.linalg.LinAlgError, memory that
runs out MemoryError; a NaN in gives NaN out. The GIL is released while the library computes.
"""

from ._quil import (
    __version__,
    det,
    det_log10,
    inv,
    is_singular,
    matmul,
    num_threads,
    rcond,
    set_num_threads,
    solve,
)

__all__ = [
    "det",
    "det_log10",
    "inv",
    "is_singular",
    "matmul",
    "num_threads",
    "rcond",
    "set_num_threads",
    "solve",
]
