"""QUIL's square-matrix routines on NumPy arrays, with numpy.linalg's conventions.

det, slogdet, inv, solve and matmul take what numpy.linalg's functions of the same names take:
stacks of matrices (..., M, M) that broadcast, 0 x 0 matrices, right-hand sides (..., M) or
(..., M, K), any real dtype and memory order; they give NumPy scalars and arrays in the
arguments' floating dtype, and raise LinAlgError, TypeError and ValueError where NumPy does.
det_log10, rcond and is_singular are the library's own. Each matrix is computed by the C++
routine of the library (DetNN2, DetLog10, InvMtrxNN, SolveMtrxNN, MulMtrxNN, RCondMtrxNN, ...),
so its result has that routine's bits on every machine, processor path and number of threads:
no BLAS, no fused multiply-add, no work divided over a sum. The GIL is released while the
library computes, and Ctrl-C stops a long call.

Every function is a plain Python function of this module, so it pickles by name (for
multiprocessing and Dask) and has a signature and type stubs.
"""

from numpy.linalg import LinAlgError

from . import _quil
from ._linalg import (
    SlogdetResult,
    det,
    det_log10,
    inv,
    is_singular,
    matmul,
    num_threads,
    rcond,
    set_num_threads,
    slogdet,
    solve,
)

__version__ = _quil.__version__

__all__ = [
    "LinAlgError",
    "SlogdetResult",
    "det",
    "det_log10",
    "inv",
    "is_singular",
    "matmul",
    "num_threads",
    "rcond",
    "set_num_threads",
    "slogdet",
    "solve",
]

# Their home is this module: pickles, help() and reprs name them quil.det, quil.solve, ...
for _public in (SlogdetResult, det, det_log10, inv, is_singular, matmul, num_threads, rcond,
                set_num_threads, slogdet, solve):
    _public.__module__ = __name__
del _public
