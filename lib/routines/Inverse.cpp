// The inverse, column by column through the balanced matrix and its LU factors.
#include <cstdint>

#include "routines/Balance.h"
#include "routines/DetNN.h"
#include "routines/LU.h"
#include "routines/Paths.h"

namespace quil {

// A^-1 = Dc S^-1 Dr with S = Dr A Dc balanced and decomposed once (detail::BalancedLU). The first
// column is solved as BalSolveMtrxNN solves it, S z = Dr e_1, x = Dc z; every further column as
// LUReSolveMtrxNN solves it with the kept factors, S z = Dr(j, j) e_j, x = z Dc. Small orders are
// worked in local arrays, all columns together, each with the operations of its own solve; off
// the plain path larger ones solve the further columns together too. The work lives in the
// calling thread's work storage; only the result is a record of its own.
bool detail::InvMtrxNN(Path path, MtrxNN** ai, const MtrxNN* a) {
    *ai = GetMatrixNN(*ai, a->Size, a->Base1);
    if (*ai == nullptr) return false;
    // Order 1 has nothing to balance, and the balanced solve refuses it.
    if (a->Size == 1 || !Decomposed(InverseInto(path, *ai, a))) {
        *ai = FreeMatrixNN(*ai);
        return false;
    }
    return true;
}

detail::LUDcmpOutcome detail::InverseInto(Path path, MtrxNN* ai, const MtrxNN* a) {
    const std::uint32_t n = a->Size;
    const std::uint32_t lo = a->Base1 ? 1u : 0u;
    const std::uint32_t hi = lo + n - 1u;
    const std::uint32_t out = ai->Base1 ? 1u : 0u;
    std::uint8_t status;
    if (SmallInverseRuns(path, n, 0, 1, &a->Elem[lo][lo], &ai->Elem[out][out], &status) == 1)
        return OutcomeOf(status);
    const BalancedLU lu(path, a);
    if (!lu.Ok()) return lu.outcome;

    Vect x = lu.x;
    for (std::uint32_t j = lo; j <= hi; ++j) {
        // The kept factors serve every further column at once, or else one column at a time.
        if (j == lo + 1 &&
            SolveUnitColumnsRuns(path, n, static_cast<std::int32_t>(lo), &lu.s.Elem[lo][lo],
                                 &lu.p[lo], &lu.dr.Elem[lo][lo], &lu.dc.Elem[lo][lo], 1,
                                 &ai->Elem[out][out]))
            break;
        for (std::uint32_t i = lo; i <= hi; ++i) x.Elem[i] = 0.0;
        if (j == lo) {
            x.Elem[j] = 1.0;
            for (std::uint32_t i = lo; i <= hi; ++i) x.Elem[i] = lu.dr.Elem[i][i] * x.Elem[i];
            LUBksbMtrxNN(&lu.s, &x, lu.p);
            for (std::uint32_t i = lo; i <= hi; ++i) x.Elem[i] = lu.dc.Elem[i][i] * x.Elem[i];
        } else {
            x.Elem[j] = 1.0 * lu.dr.Elem[j][j];
            LUBksbMtrxNN(&lu.s, &x, lu.p);
            for (std::uint32_t i = lo; i <= hi; ++i) x.Elem[i] = x.Elem[i] * lu.dc.Elem[i][i];
        }
        for (std::uint32_t i = lo; i <= hi; ++i) ai->Elem[out + i - lo][out + j - lo] = x.Elem[i];
    }
    return lu.outcome;
}

bool InvMtrxNN(MtrxNN** ai, const MtrxNN* a) {
    return detail::InvMtrxNN(detail::FastestPath(), ai, a);
}

}  // namespace quil
