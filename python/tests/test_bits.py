"""Every function gives the bits of the C++ routine of the same name, for every order, thread
count and input layout: the reference program computes each request with the C++ routines from
the float64 values the layouts hold."""

import numpy as np
import pytest

import quil
from conftest import bits

ORDERS = [1, 2, 3, 4, 5, 8, 17, 64, 130]  # 130: the kernels divide the work over threads


def layouts(values, rng):
    """(name, what Python passes, the float64 values the library receives): C and Fortran
    order, strided and reversed views, int and float32 elements."""
    ints, singles = rng.integers(-9, 10, values.shape), values.astype(np.float32)
    wide = np.zeros(tuple(3 * s for s in values.shape))
    view = wide[(slice(1, None, 3),) * values.ndim]
    view[...] = values
    return [("C", values, values), ("Fortran", np.asfortranarray(values), values),
            ("strided", view, values), ("reversed", np.flip(np.flip(values).copy()), values),
            ("int", ints, ints.astype(np.float64)), ("float32", singles, singles.astype(float))]


OPERATIONS = {  # name: (the call, its result as the reference's words, the operands' shapes)
    "det_lu": (quil.det, bits, lambda n: [(n, n)]),
    "det_full": (lambda a: quil.det(a, method="full"), bits, lambda n: [(n, n)]),
    "det_cofactor": (lambda a: quil.det(a, "cofactor"), bits, lambda n: [(n, n)]),
    "det_log10": (quil.det_log10, lambda r: [str(int(r[0]))] + bits(r[1]), lambda n: [(n, n)]),
    "rcond": (quil.rcond, bits, lambda n: [(n, n)]),
    "inv": (quil.inv, bits, lambda n: [(n, n)]),
    "solve": (quil.solve, bits, lambda n: [(n, n), (n,)]),
    "matmul": (quil.matmul, bits, lambda n: [(n, n), (n, n)]),
    "matvec": (quil.matmul, bits, lambda n: [(n, n + 2), (n + 2,)]),
}


@pytest.mark.parametrize("name", OPERATIONS)
def test_same_bits_as_cpp(name, reference):
    call, words, shapes = OPERATIONS[name]
    rng = np.random.default_rng(sum(map(ord, name)))
    orders = [n for n in ORDERS if (name != "det_cofactor" or n <= 7)  # n! grows fast
              and (name != "inv" or n > 1)]  # InvMtrxNN refuses order 1
    cases, requests = [], []
    for n in orders:
        # Elements over several decades, so that balancing and pivoting have work to do.
        operands = [layouts(rng.standard_normal(s) * 10.0 ** rng.integers(-3, 4, s), rng)
                    for s in shapes(n)]
        for threads in (1, 2, 3):
            for args in zip(*operands):
                given = " ".join(" ".join(bits(values)) for _, _, values in args)
                requests.append(f"{name} {threads} {' '.join(map(str, shapes(n)[0]))} {given}")
                cases.append((n, threads, args))
    try:
        for (n, threads, args), want in zip(cases, reference(requests), strict=True):
            quil.set_num_threads(threads)
            try:
                got = words(call(*[given for _, given, _ in args]))
            except np.linalg.LinAlgError:
                got = ["fail"]
            if args[0][0] == "float32":  # the C++ result, converted to the arguments' dtype
                with np.errstate(over="ignore"):
                    want = [bits(np.float32(np.uint64(int(w, 16)).view(np.float64)))[0]
                            if len(w) == 16 else w for w in want]
            assert got == want, f"{name}, order {n}, {threads} threads, layout {args[0][0]}"
    finally:
        quil.set_num_threads(0)
