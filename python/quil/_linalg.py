"""quil's functions: NumPy's conventions over the library's routines (the extension quil._quil).

Each function hands its arguments to the extension, which computes at once with plain C-ordered
float64 stacks and returns None for anything else; those the function checks and prepares as
numpy.linalg does (stacks, broadcasting, empty matrices, dtypes, errors) and hands over again.
The extension computes each matrix with the C++ routine, so every matrix gets that routine's
bits. Results are converted to the arguments' floating dtype afterwards.
"""

from typing import Any, NamedTuple

import numpy as np
from numpy.linalg import LinAlgError

from . import _quil

# The library's records count their bytes in 32 bits: a larger matrix is refused as memory that
# cannot be had, before anything is copied.
_MAX_BYTES = 2**32 - 1


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


def _order(a):
    """The order M of a stack of square matrices (..., M, M): LinAlgError unless a is one, and
    MemoryError when its matrices exceed the library's 32-bit counts."""
    if a.ndim < 2:
        raise LinAlgError(f"{a.ndim}-dimensional array given. Array must be at least "
                          "two-dimensional")
    n = a.shape[-1]
    if a.shape[-2] != n:
        raise LinAlgError("Last 2 dimensions of the array must be square")
    _check_size(n, n)
    return n


def _check_size(rows, cols):
    if rows * cols * 8 > _MAX_BYTES:
        raise MemoryError(f"a {rows} x {cols} matrix exceeds the library's 32-bit counts")


def _broadcast(s, t):
    """The shape that stacks of shapes s and t broadcast to (ValueError when they do not)."""
    return s if s == t else np.broadcast_shapes(s, t)


def _doubles(a, shape=None):
    """a (broadcast to shape, when given) as a C-ordered, aligned float64 array: a copy only
    where it is not one already."""
    if shape is not None and a.shape != shape:
        a = np.broadcast_to(a, shape)
    d = np.ascontiguousarray(a, dtype=np.float64)
    return d if d.flags.aligned else d.copy()


def _out(r, t):
    """The float64 result r in the dtype t, a NumPy scalar where r has no dimensions. A float32
    beyond its range is infinite, as NumPy's own float32 computation gives it, without a
    warning."""
    if t is not np.float64:
        with np.errstate(over="ignore"):
            r = r.astype(t)
    return r[()]


def det(a, method="lu"):
    """The determinant of each square matrix of a.

    a: (..., M, M) array_like of real numbers. method chooses the library's algorithm:
      "lu"        LU decomposition with implicit partial pivoting (DetNN2), M^3;
      "full"      column scaling and elimination with full pivoting (DetNN), M^3;
      "cofactor"  cofactor expansion along the first column (DetNNbyRef); its cost grows like
                  M!, so it is for small orders only (order 12 takes minutes; Ctrl-C stops it).

    Returns (...): a NumPy scalar for one matrix, an array for a stack, float32 for float32
    input, else float64 (computed in double either way). A 0 x 0 matrix gives 1.0. With "lu",
    an exactly singular matrix, whose decomposition meets a row of zeros or an exactly zero
    pivot, gives 0.0 (the C++ routine DetNN2 goes on with a pivot of 1.0e-20 there and returns a
    tiny value); any other matrix gets DetNN2's bits. A NaN in a matrix gives NaN.
    Raises LinAlgError unless a is (..., M, M), TypeError for elements that are not real numbers,
    ValueError for an unknown method, MemoryError when memory runs out.
    """
    d = _quil.det(a, method)
    if d is not None:
        return d[()]
    a, t = _real(a)
    if _order(a) == 0:
        return _out(np.ones(a.shape[:-2]), t)
    return _out(_quil.det(_doubles(a), method), t)


def _logdet(a, natural):
    r = _quil.logdet(a, natural)
    if r is not None:
        return r[0][()], r[1][()]
    a, t = _real(a)
    if _order(a) == 0:
        return _out(np.ones(a.shape[:-2]), t), _out(np.zeros(a.shape[:-2]), t)
    sign, logdet = _quil.logdet(_doubles(a), natural)
    return _out(sign, t), _out(logdet, t)


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
    r = _quil.inv(a)
    if r is not None:
        return r
    wrap = _wrap(a)
    a, t = _real(a)
    r = _out(_quil.inv(_doubles(a)), t) if _order(a) else np.zeros(a.shape, dtype=t)
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
    x = _quil.solve(a, b)
    if x is not None:
        return x
    wrap = _wrap(b)
    a, ta = _real(a)
    b, tb = _real(b)
    t = _result_type(ta, tb)
    n = _order(a)
    dims = 1 if b.ndim == a.ndim - 1 else 2  # b holds vectors (..., M) or matrices (..., M, K)
    if b.ndim < dims or b.shape[-dims] != n:
        raise ValueError(f"solve: b of shape {b.shape} does not fit a of shape {a.shape}")
    core = b.shape[-dims:]
    _check_size(n, core[-1])
    stack = _broadcast(a.shape[:-2], b.shape[:-dims])
    if n == 0 or 0 in core:
        x = np.zeros(stack + core, dtype=t)
    else:
        x = _out(_quil.solve(_doubles(a, stack + (n, n)), _doubles(b, stack + core)), t)
    return wrap(x) if wrap else x


def matmul(a, b):
    """The product a b of square matrices of one order, or of matrices and a vector.

    a and b: (..., M, M) array_like of real numbers, the stacks broadcast against each other
    (MulMtrxNN, each element summed over ascending k); or a (..., R, C) and b 1-D of C elements,
    the matrix-vector product (MtrxbyVect). Returns (..., M, M) or (..., R), float32 when a and
    b are both float32, else float64 (integers too, unlike numpy.matmul). Raises ValueError for
    other shapes, TypeError and MemoryError as det does.
    """
    c = _quil.matmul(a, b)
    if c is None:
        c = _quil.matvec(a, b)
    if c is not None:
        return c
    a, ta = _real(a)
    b, tb = _real(b)
    t = _result_type(ta, tb)
    if a.ndim >= 2 and b.ndim == 1:
        rows, cols = a.shape[-2:]
        if b.shape[0] != cols:
            raise ValueError(f"matmul: b of shape {b.shape} does not fit a of shape {a.shape}")
        _check_size(rows, cols)
        if rows == 0 or cols == 0:
            return np.zeros(a.shape[:-1], dtype=t)
        return _out(_quil.matvec(_doubles(a), _doubles(b)), t)
    if a.ndim < 2 or b.ndim < 2 or a.shape[-1] != a.shape[-2] or b.shape[-2:] != a.shape[-2:]:
        raise ValueError(f"matmul takes square matrices of one order, or matrices and a 1-D "
                         f"vector, not shapes {a.shape} and {b.shape}")
    n = _order(a)
    shape = _broadcast(a.shape[:-2], b.shape[:-2]) + (n, n)
    if n == 0:
        return np.zeros(shape, dtype=t)
    return _out(_quil.matmul(_doubles(a, shape), _doubles(b, shape)), t)


def rcond(a):
    """The reciprocal condition number in the 1-norm of each square matrix of a, estimated.

    a: (..., M, M) array_like of real numbers. 1 / (|a|_1 |a^-1|_1) with |a^-1|_1 estimated as
    LAPACK's dgecon does, from the decomposition that solve uses (RCondMtrxNN): 0.0 for an
    exactly singular matrix, 1.0 for the identity. A solution loses about -log10(rcond(a))
    decimal digits. A NaN in a gives NaN. Returns (...) as det does; raises LinAlgError for a
    0 x 0 matrix, else as det does.
    """
    r = _quil.rcond(a)
    if r is not None:
        return r[()]
    a, t = _real(a)
    if _order(a) == 0:
        raise LinAlgError("rcond is not defined for a 0 x 0 matrix")
    return _out(_quil.rcond(_doubles(a)), t)


def is_singular(a):
    """True for each square matrix of a whose |det(a, "lu")| is below 1.0e-6 (IsSingularMtrxNN).

    a: (..., M, M) array_like of real numbers. Returns (...) of numpy.bool_. The tolerance is
    absolute: a well-conditioned matrix of small elements counts as singular. A 0 x 0 matrix
    (det 1.0) is not singular. Raises as det does.
    """
    r = _quil.is_singular(a)
    if r is not None:
        return r[()]
    a, _ = _real(a)
    if _order(a) == 0:
        return np.zeros(a.shape[:-2], dtype=bool)[()]
    return _quil.is_singular(_doubles(a))[()]


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
