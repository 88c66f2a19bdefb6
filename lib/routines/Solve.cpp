// The solve of a x = b through the balanced matrix, as the inverse solves its first column.
#include <cstdint>

#include "routines/Balance.h"
#include "routines/DetNN.h"
#include "routines/LU.h"
#include "routines/Paths.h"

namespace quil {

// S z = Dr b, x = Dc z with S = Dr a Dc balanced and decomposed (detail::BalancedLU), in work
// storage, every element carried with a power of 2 of its own (BalancedLU::Solve): x is written
// only at the end, so that a failure leaves it as it was and x may be b. Order 1 has nothing to
// balance (Dr = Dc = 1): its solve is b / a.
detail::SolveEnd detail::SolveMtrxNNEnd(Vect* x, const MtrxNN* a, const Vect* b) {
    const std::uint32_t n = a->Size;
    const bool base1 = a->Base1;
    if (x->Size != n || x->Base1 != base1 || b->Size != n || b->Base1 != base1)
        return SolveEnd::Mismatch;
    const std::uint32_t lo = base1 ? 1u : 0u;
    const std::uint32_t hi = lo + n - 1u;

    const BalancedLU lu(FastestPath(), a);
    switch (lu.outcome) {
    case LUDcmpOutcome::NoWork: return SolveEnd::NoWork;
    case LUDcmpOutcome::ZeroRow:
    case LUDcmpOutcome::ZeroPivot: return SolveEnd::Singular;
    case LUDcmpOutcome::Done: break;
    }
    for (std::uint32_t i = lo; i <= hi; ++i) lu.x.Elem[i] = b->Elem[i];
    lu.Solve();
    for (std::uint32_t i = lo; i <= hi; ++i) x->Elem[i] = lu.x.Elem[i];
    return SolveEnd::Solved;
}

bool SolveMtrxNN(Vect* x, const MtrxNN* a, const Vect* b) {
    return detail::SolveMtrxNNEnd(x, a, b) == detail::SolveEnd::Solved;
}

}  // namespace quil
