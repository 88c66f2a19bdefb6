import os
import subprocess

import numpy as np
import pytest

import quil


def bits(x):
    """The 16 hexadecimal digits of each double's bits, as the reference program writes them."""
    values = np.asarray(x, dtype=np.float64).ravel().view(np.uint64)
    return [f"{v:016x}" for v in values]


@pytest.fixture(scope="session")
def reference():
    """Runs requests through the C++ reference program; one list of result words per request."""
    path = os.environ.get("QUIL_REFERENCE")
    if not path:
        pytest.skip("QUIL_REFERENCE names no reference program (the CMake build sets it)")

    def run(requests):
        done = subprocess.run([path], input="\n".join(requests) + "\n", capture_output=True,
                              text=True, check=True)
        lines = done.stdout.splitlines()
        assert len(lines) == len(requests), done.stderr
        return [line.split()[1:] for line in lines]

    return run


@pytest.fixture
def threads():
    """Sets the library's thread count for one test and restores the default after it."""
    yield quil.set_num_threads
    quil.set_num_threads(0)
