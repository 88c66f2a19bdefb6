"""NumPy's own tests of det, slogdet, inv and solve, run with quil's functions in their place.

Debian's numpy/linalg/tests/test_linalg.py is loaded from the installed NumPy at test time
(nothing of it is copied here), as a module of its own, and its names `linalg` and `np` are
pointed at stand-ins whose det, slogdet, inv and solve are quil's; everything else they use
(eigvals, pinv, dot, ...) stays NumPy's, to check quil's results. Collected from it: TestDet
(det and slogdet), TestInv and TestSolve with the case classes they build on, and the two module
tests of inv and det, test_byteorder_check and test_generalized_raise_multiloop; and their kin
in numpy/matrixlib/tests/test_matrix_linalg.py, the same case classes over NumPy's matrix cases
(TestDetMatrix, TestInvMatrix, TestSolveMatrix), rebuilt here on the module above.

Complex numbers are left out, since quil computes with real ones (conftest.py reports each):
- the cases of NumPy's case list whose matrices are complex are taken out of the classes' lists;
- test_types' complex dtypes are skipped, with the reason;
- where one test mixes real and complex calls (TestDet.test_zero and test_0_size, TestInv's
  test_0_size), each complex call is checked to raise TypeError in quil and is then answered by
  numpy.linalg's own function, so that the test's real assertions after it still run.
"""

import importlib.util
import types
from collections import Counter
from pathlib import Path

import numpy as np
import pytest

import quil


def _load(name, *parts):
    path = Path(np.__file__).parent.joinpath(*parts)
    if not path.exists():
        pytest.skip(f"NumPy's tests are not installed ({path})", allow_module_level=True)
    spec = importlib.util.spec_from_file_location(name, path)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


numpy_tests = _load("numpy_test_linalg", "linalg", "tests", "test_linalg.py")
matrix_tests = _load("numpy_test_matrix_linalg", "matrixlib", "tests", "test_matrix_linalg.py")

# Complex calls answered by NumPy, by test, and the cases each class checked (conftest.py sets
# the test and reports the counts).
complex_calls = Counter()
checked = Counter()
current_test = [""]


def _real_only(name):
    ours, theirs = getattr(quil, name), getattr(np.linalg, name)

    def call(*args):
        if any(np.iscomplexobj(x) for x in args):
            with pytest.raises(TypeError):
                ours(*args)
            complex_calls[current_test[0]] += 1
            return theirs(*args)
        return ours(*args)

    return call


class _StandIn(types.ModuleType):
    """A module that answers as `of` does, but for the names given."""

    def __init__(self, of, **names):
        super().__init__(of.__name__)
        self.__dict__.update(names)
        self._of = of

    def __getattr__(self, name):
        return getattr(self._of, name)


numpy_tests.linalg = _StandIn(np.linalg, **{f: _real_only(f)
                                            for f in ("det", "slogdet", "inv", "solve")})
numpy_tests.np = _StandIn(np, linalg=numpy_tests.linalg)

REAL_CASES = [c for c in numpy_tests.CASES
              if not np.iscomplexobj(c.a) and not np.iscomplexobj(c.b)]
COMPLEX_SQUARE_CASES = sum("square" in c.tags for c in numpy_tests.CASES if c not in REAL_CASES)


def _numpy_class(name, base, cases):
    """NumPy's test class base over cases, counting the cases it checks."""

    def do(self, a, b, tags):
        checked[name] += 1
        base.do(self, a, b, tags)

    return type(name, (base,), {"TEST_CASES": cases, "do": do, "__module__": __name__})


TestDet = _numpy_class("TestDet", numpy_tests.TestDet, REAL_CASES)
TestInv = _numpy_class("TestInv", numpy_tests.TestInv, REAL_CASES)
TestSolve = _numpy_class("TestSolve", numpy_tests.TestSolve, REAL_CASES)
TestDetMatrix = _numpy_class("TestDetMatrix", numpy_tests.DetCases, matrix_tests.CASES)
TestInvMatrix = _numpy_class("TestInvMatrix", numpy_tests.InvCases, matrix_tests.CASES)
TestSolveMatrix = _numpy_class("TestSolveMatrix", numpy_tests.SolveCases, matrix_tests.CASES)
test_byteorder_check = numpy_tests.test_byteorder_check
test_generalized_raise_multiloop = numpy_tests.test_generalized_raise_multiloop
