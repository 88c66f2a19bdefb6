// The solve of a x = b through the balanced matrix, as the inverse solves its first column.
#include <cstdint>

#include "routines/Balance.h"
#include "routines/DetNN.h"
#include "routines/LU.h"
#include "routines/Paths.h"
#include "routines/Stacks.h"

namespace quil {

// S z = Dr b, x = Dc z with S = Dr a Dc balanced and decomposed, every element carried with a
// power of 2 of its own (SolveScaledRun): small orders in local arrays, larger ones (and matrices
// that would leave the small orders' way) in work storage (detail::BalancedLU). x is written
// only at the end, so that a failure leaves it as it was and x may be b. Order 1 has nothing to
// balance (Dr = Dc = 1): its solve is b / a.
detail::SolveEnd detail::SolveMtrxNNEnd(Vect* x, const MtrxNN* a, const Vect* b) {
    const std::uint32_t n = a->Size;
    const bool base1 = a->Base1;
    if (x->Size != n || x->Base1 != base1 || b->Size != n || b->Base1 != base1)
        return SolveEnd::Mismatch;
    const std::uint32_t lo = base1 ? 1u : 0u;

    double small[kSmallOrder];
    std::uint8_t status;
    if (SmallSolveRuns(FastestPath(), n, 1, 0, 1, &a->Elem[lo][lo], &b->Elem[lo], small,
                       &status) == 1) {
        if (status != StackDone) return SolveEnd::Singular;
        for (std::uint32_t i = 0; i < n; ++i) x->Elem[lo + i] = small[i];
        return SolveEnd::Solved;
    }
    const BalancedLU lu(FastestPath(), a);
    switch (lu.outcome) {
    case LUDcmpOutcome::NoWork: return SolveEnd::NoWork;
    case LUDcmpOutcome::ZeroRow:
    case LUDcmpOutcome::ZeroPivot: return SolveEnd::Singular;
    case LUDcmpOutcome::Done: break;
    }
    lu.Solve(&b->Elem[lo], &x->Elem[lo]);
    return SolveEnd::Solved;
}

bool SolveMtrxNN(Vect* x, const MtrxNN* a, const Vect* b) {
    return detail::SolveMtrxNNEnd(x, a, b) == detail::SolveEnd::Solved;
}

}  // namespace quil
