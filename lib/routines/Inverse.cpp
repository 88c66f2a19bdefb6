// The inverse, column by column through the balanced matrix and its LU factors.
#include <cfloat>
#include <cmath>
#include <cstdint>

#include "routines/Balance.h"
#include "routines/DetNN.h"
#include "routines/LU.h"
#include "routines/Paths.h"

namespace quil {

namespace {

// z times the power of 2 dc dr, rounded once: one multiplication while dc dr is a normal number,
// through the exponents where it is not.
double TimesScales(double z, double dc, double dr) {
    const double factor = dc * dr;
    if (factor >= DBL_MIN && factor <= DBL_MAX) return z * factor;
    return std::ldexp(z, std::ilogb(dc) + std::ilogb(dr));
}

// The first column's solve, run beside the others'.
void SolveFirst(const void* lu) { static_cast<const detail::BalancedLU*>(lu)->Solve(); }

}  // namespace

// A^-1 = Dc S^-1 Dr with S = Dr A Dc balanced and decomposed once (detail::BalancedLU). The first
// column is solved as SolveMtrxNN solves e_1 (BalancedLU::Solve). Every further column j is
// solved from the unit vector, S z = e_j, and takes Dc(i, i) Dr(j, j) at the end as one power of
// 2: where nothing leaves the normal range that is the bits of solving S z = Dr(j, j) e_j and
// taking x = Dc z, and the scalings cannot push z out of the range on the way. Off the plain path
// the further columns are solved together, each with the operations of its own solve. The work
// lives in the calling thread's work storage; only the result is a record of its own, unless the
// result is a itself, which then receives its inverse in its own storage (a is read only into
// the work copy) and is left as it was on failure.
bool detail::InvMtrxNN(Path path, MtrxNN** ai, const MtrxNN* a, bool* noWork) {
    const std::uint32_t n = a->Size;
    const bool base1 = a->Base1;
    const bool inPlace = *ai == a;
    if (noWork != nullptr) *noWork = true;
    if (!inPlace) {
        *ai = GetMatrixNN(*ai, n, base1);
        if (*ai == nullptr) return false;
    }
    // Order 1 has nothing to balance, and the balanced solve refuses it.
    const BalancedLU lu(path, a);
    if (noWork != nullptr) *noWork = lu.outcome == LUDcmpOutcome::NoWork;
    if (n == 1 || !lu.Ok()) {
        if (!inPlace) *ai = FreeMatrixNN(*ai);
        return false;
    }

    const std::uint32_t lo = base1 ? 1u : 0u;
    const std::uint32_t hi = lo + n - 1u;
    const Array2D<double> r = (*ai)->Elem;
    Vect x = lu.x;
    for (std::uint32_t i = lo; i <= hi; ++i) x.Elem[i] = 0.0;
    x.Elem[lo] = 1.0;
    const auto putFirst = [&] {
        for (std::uint32_t i = lo; i <= hi; ++i) r[i][lo] = x.Elem[i];
    };

    // The kept factors serve every further column at once, the first column's solve alongside;
    // or else one column at a time.
    const detail::InverseColumns job{n,
                                     static_cast<std::int32_t>(lo),
                                     &lu.s.Elem[lo][lo],
                                     &lu.p[lo],
                                     1,
                                     &lu.dc[lo],
                                     &lu.dr[lo],
                                     1,
                                     &r[lo][lo],
                                     SolveFirst,
                                     &lu};
    if (SolveUnitColumnsRuns(path, job)) {
        putFirst();
        return true;
    }
    lu.Solve();
    putFirst();
    for (std::uint32_t j = lo + 1u; j <= hi; ++j) {
        for (std::uint32_t i = lo; i <= hi; ++i) x.Elem[i] = 0.0;
        x.Elem[j] = 1.0;
        LUBksbMtrxNN(&lu.s, &x, lu.p);
        for (std::uint32_t i = lo; i <= hi; ++i)
            r[i][j] = TimesScales(x.Elem[i], lu.dc[i], lu.dr[j]);
    }
    return true;
}

bool InvMtrxNN(MtrxNN** ai, const MtrxNN* a) {
    return detail::InvMtrxNN(detail::FastestPath(), ai, a);
}

}  // namespace quil
