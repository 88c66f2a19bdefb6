"""What a NumPy user meets: results, errors, NaN, memory that runs out, threads and the GIL,
Ctrl-C, pickling, signatures and type stubs."""

import ast
import inspect
import os
import pickle
import subprocess
import sys
import threading
from pathlib import Path

import numpy as np
import pytest

import quil
from conftest import bits

A = np.array([[-1, 3, 2, 1], [2, 1, -3, 2], [-3, 4, 1, 1], [3, 4, 2, -1]], dtype=float)


def test_worked_example_and_order_one():
    for method in ("lu", "full", "cofactor"):
        assert quil.det(A, method) == pytest.approx(-126.0, rel=1e-14)
    assert quil.det_log10(A) == (-1, pytest.approx(2.100371, abs=1e-6))
    assert not quil.is_singular(A) and 0.0 < quil.rcond(A) < 1.0 == quil.rcond(np.eye(4))
    np.testing.assert_allclose(quil.matmul(A, quil.inv(A)), np.eye(4), atol=1e-14)
    np.testing.assert_allclose(quil.matmul(A, quil.solve(A, [1, 2, 3, 4])), [1, 2, 3, 4])
    assert quil.det([[2.5]]) == 2.5
    assert quil.inv([[4.0]]).tolist() == [[0.25]]  # which InvMtrxNN refuses: it is 1 / a
    assert quil.inv([[[4.0]], [[-0.5]]]).tolist() == [[[0.25]], [[-2.0]]]
    largest = np.finfo(np.float64).max
    assert quil.det([[largest]]) == largest  # a result, not the failure's DBL_MAX


LinAlgError = np.linalg.LinAlgError


@pytest.mark.parametrize("error, call", [
    (LinAlgError, lambda: quil.det(np.ones((2, 3)))),
    (LinAlgError, lambda: quil.slogdet(np.ones(3))),
    (LinAlgError, lambda: quil.inv(np.ones((4, 2, 3)))),
    (LinAlgError, lambda: quil.rcond(np.ones((0, 0)))),
    (ValueError, lambda: quil.det(A, method="qr")),
    (ValueError, lambda: quil.solve(A, np.ones(3))),
    (ValueError, lambda: quil.solve(A, np.ones((3, 1)))),
    (ValueError, lambda: quil.solve(np.stack([A, A]), np.ones((3, 4)))),  # stacks 2 and 3
    (ValueError, lambda: quil.solve(np.stack([A, A]), np.ones(4))),  # 1-D b of a 3-D a
    (ValueError, lambda: quil.matmul(A, np.ones((3, 3)))),
    (ValueError, lambda: quil.matmul(np.ones((2, 3)), np.ones((3, 2)))),
    (ValueError, lambda: quil.matmul(A, np.ones((4, 5)))),  # rows that fit, a column too many
    (ValueError, lambda: quil.matmul(A, np.ones(3))),
    (ValueError, lambda: quil.set_num_threads(-1)),
    (TypeError, lambda: quil.det([["1", "2"], ["3", "4"]])),
    (TypeError, lambda: quil.det([[None, 1.0], [2.0, 3.0]])),
    (TypeError, lambda: quil.inv(np.eye(2, dtype="datetime64[s]"))),
    (TypeError, lambda: quil.det(np.eye(2, dtype=np.float16))),
    (TypeError, lambda: quil.solve(A, A[0] * 1j)),
    (TypeError, lambda: quil.matmul(A, A.astype(object))),
])
def test_what_numpy_refuses_is_refused_with_its_exception(error, call):
    with pytest.raises(error):
        call()


SINGULAR = [[[1.0, 2.0], [2.0, 4.0]], [[1.0, 2.0], [0.0, 0.0]], [[0.0]], np.ones((5, 5))]


@pytest.mark.parametrize("singular", SINGULAR)
def test_an_exactly_singular_matrix_has_no_inverse_no_solution_and_det_zero(singular):
    with pytest.raises(LinAlgError):
        quil.inv(singular)
    with pytest.raises(LinAlgError):
        quil.solve(singular, np.ones(len(singular)))
    assert quil.is_singular(singular) and quil.rcond(singular) == 0.0
    assert quil.det(singular) == 0.0 and quil.slogdet(singular) == (0.0, -np.inf)
    assert quil.det_log10(singular) == (0.0, -np.inf)
    # In a stack only the singular matrix is: the stack is refused as a whole where NumPy does.
    n = len(singular)
    stack = np.stack([np.eye(n), singular, 2.0 * np.eye(n)])
    assert quil.det(stack).tolist() == [1.0, 0.0, 2.0 ** n]
    assert quil.is_singular(stack).tolist() == [False, True, False]
    with pytest.raises(LinAlgError):
        quil.inv(stack)


def test_a_nearly_singular_matrix_is_inverted():
    a = np.array([[1.0, 2.0], [2.0, 4.0 + 2.0**-40]])
    np.testing.assert_allclose(quil.matmul(a, quil.inv(a)), np.eye(2), atol=1e-3)


def test_nan_in_nan_out():
    a = A.copy()
    a[2, 1] = np.nan
    for method in ("lu", "full", "cofactor"):
        assert np.isnan(quil.det(a, method))
    assert np.isnan(quil.det_log10(a)[1]) and np.isnan(quil.slogdet(a)[1])
    assert np.isnan(quil.rcond(a))
    a[3] = 0.0  # a row of zeros beside the NaN: still NaN, not a singular matrix's 0.0
    assert np.isnan(quil.det(a)) and np.isnan(quil.slogdet(a)[1])
    assert np.isnan(quil.inv(a)).any() and np.isnan(quil.solve(a, np.ones(4))).any()
    assert np.isnan(quil.matmul(a, A)[2]).all()


def test_an_order_beyond_the_librarys_counts_is_a_memory_error():
    huge = np.broadcast_to(np.float64(1.0), (70000, 70000))  # no memory behind it
    with pytest.raises(MemoryError):
        quil.det(huge)
    with pytest.raises(MemoryError):
        quil.matmul(huge, np.ones(70000))


# Orders above the library's small orders, whose work storage comes from the heap.
BIG = np.random.default_rng(2).standard_normal((2, 20, 20)) + 8.0 * np.eye(20)

CALLS = {  # each gives a list of results
    "det": lambda: [quil.det(BIG), quil.det(BIG[0], "full"), quil.det(A, "cofactor")],
    "slogdet": lambda: [*quil.slogdet(BIG), *quil.det_log10(BIG[0])],
    "is_singular": lambda: [quil.is_singular(BIG)],
    "rcond": lambda: [quil.rcond(BIG)],
    "inv": lambda: [quil.inv(BIG)],
    "solve": lambda: [quil.solve(BIG, BIG[1, :2]), quil.solve(BIG[0], BIG[1])],
    "matmul": lambda: [quil.matmul(BIG, BIG[0]), quil.matmul(BIG, BIG[1, 0])],
    "singular inv": lambda: [quil.inv(np.ones((2, 20, 20)))],
}


@pytest.mark.parametrize("name", CALLS)
def test_every_heap_request_failing_in_turn_is_a_memory_error(name):
    def outcome():
        try:
            return [bits(r) for r in CALLS[name]()]
        except (MemoryError, np.linalg.LinAlgError) as e:
            return type(e)

    whole = outcome()
    k = 1
    while True:
        quil._quil._fail_heap_request(k)
        got = outcome()
        if quil._quil._fail_heap_request(0):  # armed still: fewer than k requests were made
            assert got == whole
            break
        assert got is MemoryError, f"request {k} failed, yet no MemoryError"
        k += 1
    assert k > 1, "no heap request"


def test_a_heap_request_failing_on_the_cofactor_expansions_own_thread_is_a_memory_error():
    stack = np.broadcast_to(A, (5000, 4, 4))  # terms enough to run on a thread of its own
    for k in (1, 7):
        quil._quil._fail_heap_request(k)
        with pytest.raises(MemoryError):
            quil.det(stack, "cofactor")
        assert not quil._quil._fail_heap_request(0)  # it failed there, and was armed no more


def test_the_thread_count_is_set():
    try:
        quil.set_num_threads(3)
        assert quil.num_threads() == 3
    finally:
        quil.set_num_threads(0)
    assert quil.num_threads() >= 1


def test_the_gil_is_released_during_a_computation():
    # With a switch interval longer than the call, only a release inside the call lets this
    # thread run before the worker has finished.
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


def test_matmul_broadcasts_and_keeps_float32_as_numpy_does():
    rng = np.random.default_rng(3)
    for a, b in [(rng.standard_normal((2, 1, 3, 3)), rng.standard_normal((4, 3, 3))),
                 (rng.standard_normal((5, 2, 3)), rng.standard_normal(3)),
                 (np.float32(A), np.float32(A[0])), (np.zeros((0, 4, 4)), A)]:
        got, want = quil.matmul(a, b), np.matmul(a, b)
        assert got.shape == want.shape and got.dtype == want.dtype
        np.testing.assert_allclose(got, want, rtol=1e-6)


def test_every_function_pickles_by_name_and_the_stubs_match_the_signatures():
    stub = ast.parse(Path(quil.__file__).with_name("__init__.pyi").read_text())
    stubbed = {f.name: [p.arg for p in f.args.args] for f in stub.body
               if isinstance(f, ast.FunctionDef)}
    functions = [name for name in quil.__all__ if inspect.isfunction(getattr(quil, name))]
    assert sorted(stubbed) == sorted(functions)
    for name in functions:
        f = getattr(quil, name)
        assert pickle.loads(pickle.dumps(f)) is f and f.__module__ == "quil"
        assert list(inspect.signature(f).parameters) == stubbed[name], name
    assert str(inspect.signature(quil.det)) == "(a, method='lu')"
    result = quil.slogdet(np.stack([A, A]))
    assert np.array_equal(pickle.loads(pickle.dumps(result)), result)


def test_mypy_accepts_a_typed_use_and_refuses_a_wrong_call(tmp_path):
    pytest.importorskip("mypy", reason="Debian's python3-mypy (scripts/install-deps.sh)")
    wrong = tmp_path / "wrong.py"
    wrong.write_text('import quil\nquil.det([[1.0]], method="qr")\nquil.set_num_threads("2")\n')
    cache = os.environ.get("QUIL_MYPY_CACHE", str(tmp_path / "cache"))
    done = subprocess.run([sys.executable, "-m", "mypy", "--cache-dir", cache,
                           str(Path(__file__).with_name("typed_usage.py")), str(wrong)],
                          capture_output=True, text=True,
                          env=dict(os.environ, MYPYPATH=str(Path(quil.__file__).parent.parent)))
    errors = [line for line in done.stdout.splitlines() if ": error:" in line]
    assert [e.split(":")[:2] for e in errors] == [[str(wrong), "2"], [str(wrong), "3"]], \
        done.stdout + done.stderr


INTERRUPTED = """
import os, signal, threading, time, numpy as np, quil
quil.set_num_threads(1)
a = np.random.default_rng(0).standard_normal(SHAPE)
whole = float("inf")
if a.ndim == 3:  # the whole call's time, from a tenth of it
    start = time.monotonic()
    quil.CALL_ON_A_TENTH
    whole = 10 * (time.monotonic() - start)
sent = []

def ctrl_c():
    sent.append(time.monotonic())
    os.kill(os.getpid(), signal.SIGINT)

threading.Timer(0.05, ctrl_c).start()
try:
    quil.CALL
    print("finished")
except KeyboardInterrupt:
    print("interrupted", time.monotonic() - sent[0], whole)
    print(quil.det(2.0 * np.eye(3)))
"""


@pytest.mark.parametrize("shape, call", [
    ((300, 200, 200), "inv({})"),  # in groups of matrices: 0.45 s on an idle machine
    ((12, 12), 'det({}, method="cofactor")'),  # 12! terms on its own thread: minutes
])
def test_ctrl_c_stops_a_long_call_at_once(shape, call):
    script = (INTERRUPTED.replace("SHAPE", str(shape))
              .replace("CALL_ON_A_TENTH", call.format("a[: len(a) // 10]"))
              .replace("CALL", call.format("a")))
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True,
                          timeout=120)
    words = done.stdout.split()
    assert words[0] == "interrupted" and words[3] == "8.0", done.stdout + done.stderr
    waited, whole = float(words[1]), float(words[2])
    print(f"KeyboardInterrupt {waited:.3f} s after SIGINT, in a call of {whole:.3f} s")
    # Well within a second on an idle machine, and a small part of the whole call; the bound
    # leaves room for a loaded machine.
    assert waited < min(2.0, whole / 4)
