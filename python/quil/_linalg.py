"""quil's functions: NumPy's conventions over the library's routines (the extension quil._quil).

Each function here checks and prepares its arguments as numpy.linalg does (stacks, broadcasting,
empty matrices, dtypes, errors) and hands the extension C-ordered float64 stacks; the extension
computes each matrix with the C++ routine, so every matrix gets that routine's bits. Results are
converted to the arguments' floating dtype afterwards.
"""

from typing import Any, NamedTuple

import numpy as np
from numpy.linalg import LinAlgError

from . import _quil

# The library's records count their bytes in 32 bits: a larger matrix is refused as memory that
# cannot be had, before anything is copied.
_MAX_BYTES = 2**32 - 1

_METHODS = ("lu", "full", "cofactor")


class SlogdetResult(NamedTuple):
    """slogdet's result: det = sign * exp(logabsdet)."""

    sign: Any
    logabsdet: Any


def _real(x):
    """x as an array, and the dtype of results computed from it: float32 for float32, float64
    for float64, integers and booleans. TypeError for anything else, as numpy.linalg raises it
    (strings, objects, dates, float16, long double); complex numbers too, which quil does not
    compute with."""
    a = np.asarray(x)
    t = a.dtype.type
    if t is np.float64 or t is np.float32:
        return a, t
    if a.dtype.kind in "biu":
        return a, np.float64
    if a.dtype.kind == "c":
        raise TypeError("complex numbers are not supported: quil computes with real numbers")
    raise TypeError(f"array type {a.dtype.name} is unsupported in linalg: quil takes real "
                    "numbers (booleans, integers, float32 and float64)")


def _result_type(*types):
    return np.float32 if all(t is np.float32 for t in types) else np.float64


def _wrap(x):
    """What turns a result into x's ndarray subclass, as numpy.linalg keeps it; None for a plain
    array or anything that is not an array."""
    if isinstance(x, np.ndarray) and type(x) is not np.ndarray:
        return x.__array_wrap__
    return None


def _square(a):
    """LinAlgError unless a is a stack of square matrices (..., M, M)."""
    if a.ndim < 2:
        raise LinAlgError(f"{a.ndim}-dimensional array given. Array must be at least "
                          "two-dimensional")
    if a.shape[-1] != a.shape[-2]:
        raise LinAlgError("Last 2 dimensions of the array must be square")


def _check_size(rows, cols):
    if rows * cols * 8 > _MAX_BYTES:
        raise MemoryError(f"a {rows} x {cols} matrix exceeds the library's 32-bit counts")


def _stack(a, shape):
    """a broadcast to shape, as a C-ordered, aligned float64 array of shape (count, rows, cols):
    a copy only where a is not so already."""
    if a.shape != shape:
        a = np.broadcast_to(a, shape)
    d = np.ascontiguousarray(a, dtype=np.float64)
    if not d.flags.aligned:
        d = d.copy()
    return d.reshape((-1,) + shape[-2:])


def _vectors(b, shape):
    """b broadcast to shape (..., M), as a C-ordered, aligned float64 array of (count, M)."""
    if b.shape != shape:
        b = np.broadcast_to(b, shape)
    d = np.ascontiguousarray(b, dtype=np.float64)
    if not d.flags.aligned:
        d = d.copy()
    return d.reshape((-1, shape[-1]))


def _narrowed(r, t):
    """r (float64) in the dtype t: a float32 beyond its range is infinite, as NumPy's own
    float32 computation gives it, without a warning."""
    if t is np.float64:
        return r
    with np.errstate(over="ignore"):
        return r.astype(t)


def _out(r, t, shape):
    """r in the shape and dtype of the result: a NumPy scalar for shape ()."""
    return _narrowed(r.reshape(shape), t)[()]


def _prepared(a):
    """a as a stack of square real matrices: the array, its result dtype, the shape of the stack
    and the order M."""
    a, t = _real(a)
    _square(a)
    n = a.shape[-1]
    _check_size(n, n)
    return a, t, a.shape[:-2], n


def det(a, method="lu"):
    """The determinant of each square matrix of a.

    a: (..., M, M) array_like of real numbers. method chooses the library's algorithm:
      "lu"        LU decomposition with implicit partial pivoting (DetNN2), M^3;
      "full"      column scaling and elimination with full pivoting (DetNN), M^3;
      "cofactor"  cofactor expansion along the first column (DetNNbyRef); its cost grows like
                  M!, so it is for small orders only (order 12 takes minutes; Ctrl-C stops it).

    Returns (...): a NumPy scalar for one matrix, an array for a stack, float32 for float32
    input, else float64 (computed in double either way). A 0 x 0 matrix gives 1.0. An exactly
    singular matrix gives 0.0: with "lu" it is one whose decomposition meets a row of zeros or
    an exactly zero pivot (where the C++ routine DetNN2 goes on with a pivot of 1.0e-20 and
    returns a tiny value); any other matrix gets DetNN2's bits. A NaN in a matrix gives NaN.
    Raises LinAlgError unless a is (..., M, M), TypeError for elements that are not real numbers,
    ValueError for an unknown method, MemoryError when memory runs out.
    """
    if method not in _METHODS:
        raise ValueError('method must be "lu", "full" or "cofactor"')
    a, t, stack, n = _prepared(a)
    if n == 0 or 0 in stack:
        return _out(np.ones(stack), t, stack)
    return _out(_quil.det(_stack(a, a.shape), method), t, stack)


def _logdet(a, natural):
    a, t, stack, n = _prepared(a)
    if n == 0 or 0 in stack:
        return _out(np.ones(stack), t, stack), _out(np.zeros(stack), t, stack)
    sign, logdet = _quil.logdet(_stack(a, a.shape), natural)
    return _out(sign, t, stack), _out(logdet, t, stack)


def slogdet(a):
    """The sign and the natural logarithm of |det| of each square matrix of a.

    a: (..., M, M) array_like of real numbers. Returns SlogdetResult(sign, logabsdet), each
    (...) as det gives it, with det = sign * exp(logabsdet): never overflows or underflows,
    however large or small the determinant. From the LU decomposition (DetLog10): logabsdet is
    its log10 |det| times ln 10. An exactly singular matrix (a row of zeros or an exactly zero
    pivot) gives (0.0, -inf), a 0 x 0 matrix (1.0, 0.0), a NaN in a matrix a NaN logabsdet.
    Raises as det does.
    """
    return SlogdetResult(*_logdet(a, True))


def det_log10(a):
    """The sign and log10 |det| of each square matrix of a: (sign, log), det = sign * 10**log.

    As slogdet, with the decimal logarithm itself: DetLog10's bits. An exactly singular matrix
    gives (0.0, -inf), which the C++ routine gives as (0, -DBL_MAX) for a row of zeros and as a
    sign and a large negative value (the zero pivot counted as 1.0e-20) otherwise.
    """
    return _logdet(a, False)


def inv(a):
    """The inverse of each square matrix of a.

    a: (..., M, M) array_like of real numbers. Returns (..., M, M) in a's floating dtype (an
    ndarray subclass of a stays one), computed by balancing and one LU decomposition
    (InvMtrxNN); order 1 gives 1 / a. Raises LinAlgError when a matrix is exactly singular: its
    decomposition meets a row of zeros or an exactly zero pivot (where InvMtrxNN itself goes on
    with 1.0e-20). A matrix singular only within rounding gives very large elements: rcond(a)
    tells how far to trust them. A NaN in a gives NaNs. Raises as det does.
    """
    wrap = _wrap(a)
    a, t, stack, n = _prepared(a)
    if n == 0 or 0 in stack:
        r = np.zeros(a.shape, dtype=t)
    else:
        r = _narrowed(_quil.inv(_stack(a, a.shape)).reshape(a.shape), t)
    return wrap(r) if wrap else r


def solve(a, b):
    """x with a x = b, for each square matrix of a and its right-hand sides in b.

    a: (..., M, M) array_like of real numbers. b: (..., M) when it has one dimension fewer than
    a (one right-hand side per matrix), else (..., M, K) (K of them); the stacks broadcast
    against each other, as numpy.linalg.solve takes them. Returns x in b's shape with the stacks
    broadcast, float32 when a and b are both float32, else float64 (an ndarray subclass of b
    stays one). Each column is solved through the balanced matrix and its LU decomposition
    (SolveMtrxNN), as inv solves its first column. Raises LinAlgError when a matrix is exactly
    singular (a row of zeros or an exactly zero pivot) or a is not (..., M, M), ValueError when
    b does not fit a, TypeError and MemoryError as det does.
    """
    wrap = _wrap(b)
    a, ta, _, n = _prepared(a)
    b, tb = _real(b)
    t = _result_type(ta, tb)
    vectors = b.ndim == a.ndim - 1
    if vectors:
        if b.shape[-1] != n:
            raise ValueError(f"solve: b of shape {b.shape} does not fit a of shape {a.shape}")
        stack = np.broadcast_shapes(a.shape[:-2], b.shape[:-1])
        k = 1
    else:
        if b.ndim < 2 or b.shape[-2] != n:
            raise ValueError(f"solve: b of shape {b.shape} does not fit a of shape {a.shape}")
        stack = np.broadcast_shapes(a.shape[:-2], b.shape[:-2])
        k = b.shape[-1]
        _check_size(n, k)
    shape = stack + ((n,) if vectors else (n, k))
    if n == 0 or k == 0 or 0 in stack:
        x = np.zeros(shape, dtype=t)
    else:
        bs = _vectors(b, shape)[..., None] if vectors else _stack(b, shape)
        x = _narrowed(_quil.solve(_stack(a, stack + (n, n)), bs).reshape(shape), t)
    return wrap(x) if wrap else x


def matmul(a, b):
    """The product a b of square matrices of one order, or of matrices and a vector.

    a and b: (..., M, M) array_like of real numbers, the stacks broadcast against each other
    (MulMtrxNN, each element summed over ascending k); or a (..., R, C) and b 1-D of C elements,
    the matrix-vector product (MtrxbyVect). Returns (..., M, M) or (..., R), float32 when a and
    b are both float32, else float64 (integers too, unlike numpy.matmul). Raises ValueError for
    other shapes, TypeError and MemoryError as det does.
    """
    a, ta = _real(a)
    b, tb = _real(b)
    t = _result_type(ta, tb)
    if a.ndim >= 2 and b.ndim == 1:
        rows, cols = a.shape[-2:]
        if b.shape[0] != cols:
            raise ValueError(f"matmul: b of shape {b.shape} does not fit a of shape {a.shape}")
        _check_size(rows, cols)
        shape = a.shape[:-1]
        if 0 in shape or cols == 0:
            return np.zeros(shape, dtype=t)
        xs = _vectors(b, a.shape[:-2] + (cols,))
        return _narrowed(_quil.matvec(_stack(a, a.shape), xs).reshape(shape), t)
    if a.ndim < 2 or b.ndim < 2 or a.shape[-1] != a.shape[-2] or b.shape[-2:] != a.shape[-2:]:
        raise ValueError(f"matmul takes square matrices of one order, or matrices and a 1-D "
                         f"vector, not shapes {a.shape} and {b.shape}")
    n = a.shape[-1]
    _check_size(n, n)
    shape = np.broadcast_shapes(a.shape[:-2], b.shape[:-2]) + (n, n)
    if 0 in shape:
        return np.zeros(shape, dtype=t)
    return _narrowed(_quil.matmul(_stack(a, shape), _stack(b, shape)).reshape(shape), t)


def rcond(a):
    """The reciprocal condition number in the 1-norm of each square matrix of a, estimated.

    a: (..., M, M) array_like of real numbers. 1 / (|a|_1 |a^-1|_1) with |a^-1|_1 estimated as
    LAPACK's dgecon does, from the decomposition that solve uses (RCondMtrxNN): 0.0 for an
    exactly singular matrix, 1.0 for the identity. A solution loses about -log10(rcond(a))
    decimal digits. A NaN in a gives NaN. Returns (...) as det does; raises LinAlgError for a
    0 x 0 matrix, else as det does.
    """
    a, t, stack, n = _prepared(a)
    if n == 0:
        raise LinAlgError("rcond is not defined for a 0 x 0 matrix")
    if 0 in stack:
        return _out(np.zeros(stack), t, stack)
    return _out(_quil.rcond(_stack(a, a.shape)), t, stack)


def is_singular(a):
    """True for each square matrix of a whose |det(a, "lu")| is below 1.0e-6 (IsSingularMtrxNN).

    a: (..., M, M) array_like of real numbers. Returns (...) of numpy.bool_. The tolerance is
    absolute: a well-conditioned matrix of small elements counts as singular. A 0 x 0 matrix
    (det 1.0) is not singular. Raises as det does.
    """
    a, _, stack, n = _prepared(a)
    if n == 0 or 0 in stack:
        return np.zeros(stack, dtype=bool)[()]
    return _quil.is_singular(_stack(a, a.shape)).reshape(stack)[()]


def set_num_threads(n):
    """From now on the library divides large calls and stacks over n threads, the caller's
    included.

    1 keeps all work on the calling thread, 0 means every core the process may run on, more
    than 64 means 64. Results have the same bits on any number of threads.
    """
    _quil.set_num_threads(n)


def num_threads():
    """The number of threads the library's next large call may use, the caller's included."""
    return _quil.num_threads()
