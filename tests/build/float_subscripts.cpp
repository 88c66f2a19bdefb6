// Subscripts that must not compile: each line marked "refused" must fail to compile on its own,
// and the file without them must compile (check_refused.cmake).
#include "quil.h"

void Subscripts(SVect& v, const SVect& cv, SMtrx& m, const SMtrx& cm, SMtrxNN& nn) {
    v[1.9] = 0.0;                  // refused
    (void)cv[0.5f];                // refused
    (void)v.GetValue(1.0);         // refused
    v.SetValue(2.5, 1.0);          // refused
    v.Val[1.0] = 2.0;              // refused
    m[0.5][0] = 1.0;               // refused
    (void)cm[0][1.5];              // refused
    (void)m.GetValue(1, 0.5);      // refused
    m.SetValue(0.5, 1u, 2.0);      // refused
    m.Val[1.5][0] = 2.0;           // refused
    (void)cm.Val[0][0.5];          // refused
    nn[1][1.0L] = 3.0;             // refused
    v[std::size_t{1}] = m[1L][short{0}] + m.GetValue(1ll, 0u) + cv.Val[char{1}];
}
