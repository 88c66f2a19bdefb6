"""A typed use of quil that mypy must accept with the package's stubs (test_quil.py runs it)."""

import numpy as np
from numpy.typing import NDArray

import quil

a = np.eye(3) + 0.5
stack = np.stack([a, 2.0 * a])
d: float = quil.det(a, method="full")
dets = quil.det(stack)
sign, logabsdet = quil.slogdet(stack)
result: quil.SlogdetResult = quil.slogdet(a)
x: NDArray[np.floating] = quil.solve(stack, np.ones((2, 3, 4)))
ai = quil.inv(a) @ quil.matmul(a, a)
print(d, dets, sign + logabsdet, result.logabsdet, x.shape, ai.sum(), quil.rcond(a),
      quil.is_singular(a), quil.det_log10(a)[1])
quil.set_num_threads(quil.num_threads())
try:
    quil.inv(np.zeros((2, 2)))
except quil.LinAlgError:
    pass
