import os
import subprocess

import numpy as np
import pytest


def bits(x):
    """The 16 hexadecimal digits of each double's bits, as the reference program writes them."""
    return [f"{v:016x}" for v in np.asarray(x, dtype=np.float64).ravel().view(np.uint64)]


@pytest.fixture(scope="session")
def reference():
    """Runs requests through the C++ reference program; one list of result words per request."""
    path = os.environ.get("QUIL_REFERENCE")
    if not path:
        pytest.skip("QUIL_REFERENCE names no reference program (the CMake build sets it)")

    def run(requests):
        done = subprocess.run([path], input="\n".join(requests) + "\n", capture_output=True,
                              text=True, check=True)
        return [line.split()[1:] for line in done.stdout.splitlines()]

    return run
