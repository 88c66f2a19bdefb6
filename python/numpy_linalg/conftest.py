"""The harness's part in pytest: NumPy's marks known, complex dtypes skipped, and the summary of
what of NumPy's tests was left out or answered by NumPy (test_numpy_linalg.py says why)."""

import sys

import numpy as np
import pytest


def pytest_configure(config):
    config.addinivalue_line("markers", "slow: NumPy's mark of its longer tests")
    # NumPy's own settings for its matrix tests.
    config.addinivalue_line("filterwarnings",
                            "ignore:the matrix subclass is not:PendingDeprecationWarning")


def pytest_collection_modifyitems(items):
    skip = pytest.mark.skip(reason="complex numbers: quil computes with real ones")
    for item in items:
        dtype = getattr(item, "callspec", None) and item.callspec.params.get("dtype")
        if dtype is not None and np.issubdtype(dtype, np.complexfloating):
            item.add_marker(skip)


@pytest.fixture(autouse=True)
def _name_the_test(request):
    harness = sys.modules[request.module.__name__]
    harness.current_test[0] = request.node.nodeid


def pytest_terminal_summary(terminalreporter):
    harness = sys.modules.get("test_numpy_linalg")
    if harness is None:
        return
    write = terminalreporter.write_line
    write("cases checked with quil: " + ", ".join(f"{name} {count}" for name, count
                                                  in sorted(harness.checked.items())))
    write(f"complex square cases of NumPy's list left out of each class: "
          f"{harness.COMPLEX_SQUARE_CASES}")
    for test, count in sorted(harness.complex_calls.items()):
        write(f"complex calls refused by quil (TypeError), answered by numpy.linalg: {count} in "
              f"{test}")
