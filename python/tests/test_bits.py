"""Every function gives the bits of the C++ routine of the same name, for every order, thread
count and input layout. The reference program computes each request with the C++ routines from
the float64 values the layouts hold."""

import numpy as np
import pytest

import quil
from conftest import bits

ORDERS = [1, 2, 3, 4, 5, 8, 17, 64, 130]
THREADS = [1, 2, 3]


def layouts(values, rng):
    """(name, what Python passes, the float64 values the library receives) for one matrix or
    vector: C and Fortran order, strided and reversed views, int and float32 elements."""
    ints = rng.integers(-9, 10, values.shape)
    singles = values.astype(np.float32)
    wide = np.zeros(tuple(3 * s for s in values.shape))
    view = wide[(slice(1, None, 3),) * values.ndim]
    view[...] = values
    return [
        ("C", np.ascontiguousarray(values), values),
        ("Fortran", np.asfortranarray(values), values),
        ("strided", view, values),
        ("reversed", np.flip(np.flip(values).copy()), values),
        ("int", ints, ints.astype(np.float64)),
        ("float32", singles, singles.astype(np.float64)),
    ]


def sample(rng, shape):
    # Elements over several decades, so that balancing and pivoting have work to do.
    return rng.standard_normal(shape) * 10.0 ** rng.integers(-3, 4, shape)


OPERATIONS = {
    # name: (Python call, its result as the reference's words, the operands' shapes for n)
    "det_lu": (lambda a: quil.det(a), lambda r: bits(r), lambda n: [(n, n)]),
    "det_full": (lambda a: quil.det(a, method="full"), lambda r: bits(r), lambda n: [(n, n)]),
    "det_cofactor": (lambda a: quil.det(a, "cofactor"), lambda r: bits(r), lambda n: [(n, n)]),
    "det_log10": (quil.det_log10, lambda r: [str(r[0])] + bits(r[1]), lambda n: [(n, n)]),
    "is_singular": (quil.is_singular, lambda r: [str(int(r))], lambda n: [(n, n)]),
    "inv": (quil.inv, bits, lambda n: [(n, n)]),
    "solve": (quil.solve, bits, lambda n: [(n, n), (n,)]),
    "matmul": (quil.matmul, bits, lambda n: [(n, n), (n, n)]),
    "matvec": (quil.matmul, bits, lambda n: [(n, n + 2), (n + 2,)]),
}


def orders(name):
    if name == "det_cofactor":
        return [n for n in ORDERS if n <= 7]  # its cost grows like n!
    if name == "inv":
        return [n for n in ORDERS if n >= 2]  # InvMtrxNN refuses order 1
    return ORDERS


@pytest.mark.parametrize("name", OPERATIONS)
def test_same_bits_as_cpp(name, reference, threads):
    call, words, shapes = OPERATIONS[name]
    rng = np.random.default_rng(sum(map(ord, name)))
    cases, requests = [], []
    for n in orders(name):
        operands = [layouts(sample(rng, shape), rng) for shape in shapes(n)]
        for t in THREADS:
            for k in range(len(operands[0])):
                args = [operand[k] for operand in operands]
                size = f"{n} {n + 2}" if name == "matvec" else f"{n}"
                words_in = " ".join(" ".join(bits(canonical)) for _, _, canonical in args)
                requests.append(f"{name} {t} {size} {words_in}")
                cases.append((n, t, args))
    expected = reference(requests)
    for (n, t, args), want in zip(cases, expected):
        threads(t)
        try:
            got = words(call(*[given for _, given, _ in args]))
        except np.linalg.LinAlgError:
            got = ["fail"]
        assert got == want, f"{name}, order {n}, {t} threads, layout {args[0][0]}"


def test_results_do_not_depend_on_the_thread_count(threads):
    # Orders large enough for the kernels to divide their work, compared among themselves.
    rng = np.random.default_rng(7)
    for n in (150, 260):
        a, b = sample(rng, (n, n)), sample(rng, (n, n))
        results = []
        for t in (1, 2, 4):
            threads(t)
            assert quil.num_threads() == t
            results.append([bits(quil.inv(a)), bits(quil.matmul(a, b)), bits(quil.det(a)),
                            bits(quil.det(a, "full")), bits(quil.solve(a, b[0]))])
        assert results[1] == results[0] and results[2] == results[0], n
