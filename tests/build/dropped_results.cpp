// Results that must not be dropped: each line marked "dropped" must draw the compiler's
// nodiscard warning (check_dropped_results.cmake compiles this file and counts them).
#include "quil.h"

void Dropped(Vect* v, MtrxNN* a, MtrxNN* ai, const SMtrxNN& m, const SVect& x, double* s) {
    GetVector(v, 10, false);  // dropped: frees v
    InvMtrxNN(&ai, a);        // dropped: the only sign of failure
    SolveMtrxNN(v, a, v);     // dropped
    MulMtrxNN(ai, a, a);      // dropped
    DetNN2(a);                // dropped
    RCondMtrxNN(a);           // dropped
    InvMtrxNNStack(s, nullptr, 1, 2, s);  // dropped: false is the only sign of failure
    m.Tran();                 // dropped: does nothing
    m.Inv();                  // dropped
    m.Solve(x);               // dropped
    m * m;                    // dropped
    x + x;                    // dropped
}
