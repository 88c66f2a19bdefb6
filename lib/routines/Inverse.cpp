// The inverse, column by column through the balanced matrix and its LU factors.
#include <cstdint>

#include "routines/Balance.h"
#include "routines/DetNN.h"
#include "routines/LU.h"
#include "routines/Paths.h"
#include "routines/kernels/Factors.h"

namespace quil {

// A^-1 = Dc S^-1 Dr with S = Dr A Dc balanced and decomposed once (detail::InverseInto). The
// work lives in local arrays or the calling thread's work storage; only the result is a record
// of its own, unless the result is a itself, which then receives its inverse in its own storage
// and is left as it was on failure.
bool detail::InvMtrxNN(Path path, MtrxNN** ai, const MtrxNN* a, bool* noWork) {
    const bool inPlace = *ai == a;
    if (noWork != nullptr) *noWork = true;
    if (!inPlace) {
        *ai = GetMatrixNN(*ai, a->Size, a->Base1);
        if (*ai == nullptr) return false;
    }
    // Order 1 has nothing to balance, and the balanced solve refuses it.
    const LUDcmpOutcome outcome =
        a->Size == 1 ? LUDcmpOutcome::ZeroRow : InverseInto(path, *ai, a);
    if (noWork != nullptr) *noWork = outcome == LUDcmpOutcome::NoWork;
    if (!Decomposed(outcome)) {
        if (!inPlace) *ai = FreeMatrixNN(*ai);
        return false;
    }
    return true;
}

// The first column is solved as SolveMtrxNN solves e_1 (BalancedLU::Solve). Every further column
// j is solved from the unit vector, S z = e_j, and takes Dc(i, i) Dr(j, j) at the end as one
// power of 2 (TimesScales): where nothing leaves the normal range that is the bits of solving
// S z = Dr(j, j) e_j and taking x = Dc z, and the scalings cannot push z out of the range on the
// way. Small orders are worked in local arrays, all columns together, each with the operations
// of its own solve; off the plain path larger ones solve the further columns together too. a is
// read only into the work copy, so ai may be a.
detail::LUDcmpOutcome detail::InverseInto(Path path, MtrxNN* ai, const MtrxNN* a) {
    const std::uint32_t n = a->Size;
    const std::uint32_t lo = a->Base1 ? 1u : 0u;
    const std::uint32_t out = ai->Base1 ? 1u : 0u;
    double* const r = &ai->Elem[out][out];  // the result as a run: r[i n + j]
    std::uint8_t status;
    if (ai != a) {
        if (SmallInverseRuns(path, n, 0, 1, &a->Elem[lo][lo], r, &status) == 1)
            return OutcomeOf(status);
    } else if (n <= kSmallOrder) {
        // A refused matrix's result is written too: a is kept until the inverse is whole.
        double local[kSmallOrder * kSmallOrder];
        if (SmallInverseRuns(path, n, 0, 1, &a->Elem[lo][lo], local, &status) == 1) {
            if (status != StackRefused)
                for (std::uint32_t k = 0; k < n * n; ++k) r[k] = local[k];
            return OutcomeOf(status);
        }
    }
    const BalancedLU lu(path, a);
    if (!lu.Ok()) return lu.outcome;

    double* const x = &lu.x.Elem[lo];
    for (std::uint32_t i = 0; i < n; ++i) x[i] = 0.0;
    x[0] = 1.0;
    lu.Solve(x, x);
    for (std::uint32_t i = 0; i < n; ++i) r[i * n] = x[i];

    // The kept factors serve every further column at once, or else one column at a time.
    if (!SolveUnitColumnsRuns(path, n, static_cast<std::int32_t>(lo), &lu.s.Elem[lo][lo],
                              &lu.p[lo], 1, r)) {
        Vect column = lu.x;
        for (std::uint32_t j = 1; j < n; ++j) {
            for (std::uint32_t i = 0; i < n; ++i) x[i] = 0.0;
            x[j] = 1.0;
            LUBksbMtrxNN(&lu.s, &column, lu.p);
            for (std::uint32_t i = 0; i < n; ++i) r[i * n + j] = x[i];
        }
    }
    const BalancedFactors scales = lu.Factors();
    for (std::uint32_t i = 0; i < n; ++i)
        for (std::uint32_t j = 1; j < n; ++j)
            r[i * n + j] = TimesScales(r[i * n + j], scales.dc[i * scales.dstride],
                                       scales.dr[j * scales.dstride]);
    return lu.outcome;
}

bool InvMtrxNN(MtrxNN** ai, const MtrxNN* a) {
    return detail::InvMtrxNN(detail::FastestPath(), ai, a);
}

}  // namespace quil
