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
    order, strided and reversed views, rows of a wider array (each row contiguous, the rows
    apart), int and float32 elements."""
    ints, singles = rng.integers(-9, 10, values.shape), values.astype(np.float32)
    wide = np.zeros(tuple(3 * s for s in values.shape))
    view = wide[(slice(1, None, 3),) * values.ndim]
    view[...] = values
    padded = np.zeros(values.shape[:-1] + (values.shape[-1] + 3,))
    padded[..., :values.shape[-1]] = values
    return [("C", values, values), ("Fortran", np.asfortranarray(values), values),
            ("strided", view, values), ("reversed", np.flip(np.flip(values).copy()), values),
            ("rows apart", padded[..., :values.shape[-1]], values),
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


def stack_layouts(values):
    """The stack values as Python may pass it: C order, which the extension reads at once, and
    views that the package copies first (strided, reversed, Fortran order, unaligned)."""
    wide = np.zeros(tuple(2 * s for s in values.shape))
    strided = wide[(slice(1, None, 2),) * values.ndim]
    strided[...] = values
    raw = np.zeros(values.nbytes + 1, dtype=np.uint8)
    unaligned = np.frombuffer(raw, np.float64, values.size, 1).reshape(values.shape)
    unaligned[...] = values
    assert not unaligned.flags.aligned
    return {"C": values, "strided": strided, "reversed": np.flip(np.flip(values).copy()),
            "Fortran": np.asfortranarray(values), "unaligned": unaligned}


STACKED = {  # name: (the call, each operand's stack and matrix shapes for order n)
    "det": (quil.det, lambda n: [((3, 2), (n, n))]),
    "det_full": (lambda a: quil.det(a, "full"), lambda n: [((3, 2), (n, n))]),
    "det_cofactor": (lambda a: quil.det(a, "cofactor"), lambda n: [((3, 2), (n, n))]),
    "slogdet": (quil.slogdet, lambda n: [((3, 2), (n, n))]),
    "det_log10": (quil.det_log10, lambda n: [((3, 2), (n, n))]),
    "rcond": (quil.rcond, lambda n: [((3, 2), (n, n))]),
    "is_singular": (quil.is_singular, lambda n: [((3, 2), (n, n))]),
    "inv": (quil.inv, lambda n: [((3, 2), (n, n))]),
    "solve": (quil.solve, lambda n: [((3, 1), (n, n)), ((1, 2), (n, 3))]),  # stacks broadcast
    "solve_vectors": (quil.solve, lambda n: [((3, 2), (n, n)), ((3, 2), (n,))]),
    "matmul": (quil.matmul, lambda n: [((1, 2), (n, n)), ((3, 1), (n, n))]),
    "matvec": (quil.matmul, lambda n: [((3, 2), (n, n + 2)), ((), (n + 2,))]),
}


def matrix_at(operand, lead, k):
    """The matrix of operand (its stack of shape lead) that broadcasts to place k."""
    return operand[tuple(0 if d == 1 else i for d, i in zip(lead, k[len(k) - len(lead):]))]


@pytest.mark.parametrize("name", STACKED)
def test_a_stack_gives_each_matrix_the_bits_of_its_own_call(name):
    """Every matrix of a stack, read from every layout, gets the bits of the call on it alone,
    which test_same_bits_as_cpp ties to the C++ routine."""
    call, shapes = STACKED[name]
    rng = np.random.default_rng(sum(map(ord, name)))
    try:
        for n in (1, 4, 6) if name == "det_cofactor" else (1, 4, 17):
            given = [(lead, rng.standard_normal(lead + core) * 10.0 ** rng.integers(-2, 3))
                     for lead, core in shapes(n)]
            stack = np.broadcast_shapes(*(lead for lead, _ in given))
            for threads in (1, 3):
                quil.set_num_threads(threads)
                alone = {k: call(*[matrix_at(v, lead, k) for lead, v in given])
                         for k in np.ndindex(stack)}
                for layout in stack_layouts(given[0][1]):
                    got = call(*[stack_layouts(v)[layout] for _, v in given])
                    for k, want in alone.items():
                        parts = got if isinstance(got, tuple) else (got,)
                        wants = want if isinstance(want, tuple) else (want,)
                        assert [bits(p[k]) for p in parts] == [bits(w) for w in wants], \
                            f"{name}, order {n}, {threads} threads, {layout}, matrix {k}"
    finally:
        quil.set_num_threads(0)
