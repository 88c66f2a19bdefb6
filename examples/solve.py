# A solve of A x = b with its condition estimate, on one thread and on every core: the same bits,
# and the same as the C++ program's (examples/solve.cpp).
import numpy as np
import quil

n = 300
i = np.arange(n)
a = 1.0 / (i[:, None] + i + 1) + np.eye(n)
b = np.ones(n)
quil.set_num_threads(1)
alone = quil.solve(a, b)
quil.set_num_threads(0)  # every core
x = quil.solve(a, b)
print(f"x[0] = {x[0]:.17g}, rcond = {quil.rcond(a):.3g}")
print(f"the same bits on 1 and {quil.num_threads()} threads: {'yes' if x.tobytes() == alone.tobytes() else 'no'}")
