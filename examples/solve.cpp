// A solve of A x = b with its condition estimate, on one thread and on every core: the same bits.
#include <quil.h>

#include <cstdio>
#include <cstring>

int main() {
    const unsigned n = 300;
    SMtrxNN a(n);  // n x n, subscripts from 0
    SVect b(n);
    for (unsigned i = 0; i < n; ++i) {
        b[i] = 1.0;
        for (unsigned j = 0; j < n; ++j) a[i][j] = 1.0 / (i + j + 1) + (i == j);
    }
    quil::SetNumThreads(1);
    const SVect alone = a.Solve(b);
    quil::SetNumThreads(0);  // every core
    const SLUDcmp lu(a);     // decomposed once: Solve, Det, DetLog10 and RCond from it
    const SVect x = lu.Solve(b);
    bool same = true;
    for (unsigned i = 0; i < n; ++i) same = same && std::memcmp(&x[i], &alone[i], sizeof(double)) == 0;
    std::printf("x[0] = %.17g, rcond = %.3g\n", x[0], lu.RCond());
    std::printf("the same bits on 1 and %u threads: %s\n", quil::NumThreads(), same ? "yes" : "no");
}
