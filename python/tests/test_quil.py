"""What a NumPy user meets: results, errors, NaN, memory that runs out, and the GIL."""

import sys
import threading

import numpy as np
import pytest

import quil
from conftest import bits

A = np.array([[-1, 3, 2, 1], [2, 1, -3, 2], [-3, 4, 1, 1], [3, 4, 2, -1]], dtype=float)


def test_worked_example():
    for method in ("lu", "full", "cofactor"):
        assert quil.det(A, method) == pytest.approx(-126.0, rel=1e-14)
    sign, log = quil.det_log10(A)
    assert sign == -1 and log == pytest.approx(2.100371, abs=1e-6)
    assert not quil.is_singular(A)
    np.testing.assert_allclose(quil.inv(A) @ A, np.eye(4), atol=1e-14)
    np.testing.assert_allclose(quil.solve(A, [1, 2, 3, 4]), np.linalg.solve(A, [1, 2, 3, 4]),
                               rtol=1e-13)
    np.testing.assert_array_equal(quil.matmul(A, A), A @ A)  # small integers: exact either way
    np.testing.assert_array_equal(quil.matmul(A[:, :3], [1, 2, 3]), A[:, :3] @ [1, 2, 3])
    assert quil.det(np.eye(3)) == 1.0


def test_arguments_are_not_changed_and_results_are_new_arrays():
    a = np.asfortranarray(A)
    before = a.copy()
    for result in (quil.inv(a), quil.matmul(a, a), quil.solve(a, a[0])):
        assert result.dtype == np.float64 and result.flags.c_contiguous and result.flags.owndata
    np.testing.assert_array_equal(a, before)


def test_order_one():
    assert quil.det([[2.5]]) == 2.5
    assert quil.inv([[4.0]]).tolist() == [[0.25]]  # which InvMtrxNN refuses; it is 1 / a
    assert quil.solve([[4.0]], [2.0]).tolist() == [0.5]
    with pytest.raises(np.linalg.LinAlgError):
        quil.inv([[0.0]])


@pytest.mark.parametrize("call", [
    lambda: quil.det(np.ones((2, 3))),
    lambda: quil.det(np.ones(3)),
    lambda: quil.det(np.ones((2, 2, 2))),
    lambda: quil.det(np.ones((0, 0))),
    lambda: quil.det(A, method="qr"),
    lambda: quil.inv(np.ones((3, 2))),
    lambda: quil.solve(A, np.ones(3)),
    lambda: quil.solve(A, np.ones((4, 1))),
    lambda: quil.matmul(A, np.ones((3, 3))),
    lambda: quil.matmul(A, np.ones(3)),
    lambda: quil.matmul(np.ones((2, 3)), np.ones((3, 2))),
    lambda: quil.set_num_threads(-1),
    lambda: quil.det([["a", "b"], ["c", "d"]]),
])
def test_a_wrong_shape_or_value_is_a_value_error(call):
    with pytest.raises(ValueError):
        call()


def test_complex_arguments_are_type_errors():
    with pytest.raises(TypeError):
        quil.det(A + 1j)
    with pytest.raises(TypeError):
        quil.solve(A, A[0] * 1j)


@pytest.mark.parametrize("singular", [[[1.0, 2.0], [2.0, 4.0]], [[1.0, 2.0], [0.0, 0.0]],
                                      [[0.0, 0.0], [0.0, 0.0]], np.ones((5, 5))])
def test_an_exactly_singular_matrix_has_no_inverse_and_no_solution(singular):
    with pytest.raises(np.linalg.LinAlgError):
        quil.inv(singular)
    with pytest.raises(np.linalg.LinAlgError):
        quil.solve(singular, np.ones(len(singular)))
    assert quil.is_singular(singular)


def test_a_nearly_singular_matrix_is_inverted():
    a = np.array([[1.0, 2.0], [2.0, 4.0 + 2.0**-40]])
    np.testing.assert_allclose(quil.inv(a) @ a, np.eye(2), atol=1e-3)


def test_nan_in_nan_out():
    a = A.copy()
    a[2, 1] = np.nan
    for method in ("lu", "full", "cofactor"):
        assert np.isnan(quil.det(a, method))
    assert np.isnan(quil.det_log10(a)[1])
    assert np.isnan(quil.inv(a)).any()
    assert np.isnan(quil.solve(a, np.ones(4))).any()
    assert np.isnan(quil.solve(A, [1.0, np.nan, 0.0, 0.0])).all()
    assert np.isnan(quil.matmul(a, A)[2]).all()
    # A row of zeros and NaN is no row of zeros.
    z = np.zeros((3, 3))
    z[1, 1], z[0, 0], z[2, 2] = np.nan, 1.0, 1.0
    z[1, 0] = 0.0
    assert np.isnan(quil.det(z))


def test_determinants_beyond_the_range_of_double():
    big = np.diag([1e200, 1e200, 1e-300])  # every partial product leaves the range
    assert quil.det(big) == pytest.approx(1e100)
    assert quil.det(big, "full") == pytest.approx(1e100)
    sign, log = quil.det_log10(np.diag([1e300] * 4))
    assert (sign, log) == (1, pytest.approx(1200.0))
    assert quil.det_log10(np.zeros((2, 2)))[0] == 0


def test_a_determinant_of_dbl_max_is_a_result_not_a_failure():
    largest = np.finfo(np.float64).max
    assert quil.det([[largest]]) == largest


def test_an_order_beyond_the_librarys_counts_is_a_memory_error():
    huge = np.broadcast_to(np.float64(1.0), (70000, 70000))  # no memory behind it
    with pytest.raises(MemoryError):
        quil.det(huge)
    with pytest.raises(MemoryError):
        quil.matmul(huge, np.ones(70000))


CALLS = {
    "det_lu": lambda: quil.det(A),
    "det_full": lambda: quil.det(A, "full"),
    "det_cofactor": lambda: quil.det(A, "cofactor"),
    "det_log10": lambda: quil.det_log10(A),
    "is_singular": lambda: quil.is_singular(A),
    "inv": lambda: quil.inv(A),
    "solve": lambda: quil.solve(A, A[1]),
    "matmul": lambda: quil.matmul(A, A.T),
    "matvec": lambda: quil.matmul(A, A[1]),
    "singular inv": lambda: quil.inv([[1.0, 2.0], [0.0, 0.0]]),
}


@pytest.mark.parametrize("name", CALLS)
def test_every_heap_request_failing_in_turn_is_a_memory_error(name):
    call = CALLS[name]
    try:
        expected = call()
    except np.linalg.LinAlgError as e:
        expected = e
    k = 1
    while True:
        quil._quil._fail_heap_request(k)
        try:
            got = call()
        except MemoryError:
            got = None
        except np.linalg.LinAlgError as e:
            got = e
        if quil._quil._fail_heap_request(0):  # fewer than k requests: the call ran whole
            if isinstance(expected, Exception):
                assert type(got) is type(expected)
            else:
                assert bits(got) == bits(expected)
            break
        assert got is None, f"{name}: request {k} failed, yet no MemoryError"
        k += 1
    assert k > 1, f"{name} made no heap request"


def test_threads_are_set_and_restored(threads):
    threads(3)
    assert quil.num_threads() == 3
    threads(1000)
    assert quil.num_threads() == 64
    threads(0)
    assert quil.num_threads() >= 1


def test_the_gil_is_released_during_a_computation():
    # With a switch interval longer than the call, only a release inside the call lets this
    # thread run before the worker finishes.
    a = np.random.default_rng(1).standard_normal((500, 500))
    started, finished = threading.Event(), threading.Event()

    def work():
        started.set()
        quil.matmul(a, a)
        finished.set()

    interval = sys.getswitchinterval()
    sys.setswitchinterval(100.0)
    try:
        worker = threading.Thread(target=work)
        worker.start()
        started.wait()
        ran_during_the_call = not finished.is_set()
        worker.join()
    finally:
        sys.setswitchinterval(interval)
    assert ran_during_the_call


def test_threads_in_python_get_the_bits_of_one_thread():
    rng = np.random.default_rng(3)
    mats = [rng.standard_normal((120, 120)) for _ in range(4)]
    alone = [bits(quil.inv(m)) for m in mats]
    together = [None] * len(mats)

    def run(i):
        for _ in range(3):
            together[i] = bits(quil.inv(mats[i]))

    workers = [threading.Thread(target=run, args=(i,)) for i in range(len(mats))]
    for w in workers:
        w.start()
    for w in workers:
        w.join()
    assert together == alone
