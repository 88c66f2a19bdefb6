// The inverse, column by column through the balanced matrix and its kept LU factors.
#include <cstdint>

#include "routines/Balance.h"
#include "routines/DetNN.h"
#include "routines/LU.h"
#include "routines/Paths.h"

namespace quil {

// A^-1 = Dc S^-1 Dr with S = Dr A Dc balanced. The first column is solved by BalSolveMtrxNN,
// which leaves the factors of S, its pivots and Dr, Dc behind; every further column reuses them:
// S z = Dr e_j, x = Dc z. Off the plain path the further columns are solved together, each
// with the operations of its own solve.
bool detail::InvMtrxNN(Path path, MtrxNN** ai, const MtrxNN* a) {
    const std::uint32_t n = a->Size;
    const bool base1 = a->Base1;
    *ai = GetMatrixNN(*ai, n, base1);
    if (*ai == nullptr) return false;

    const std::uint32_t lo = base1 ? 1u : 0u;
    const std::uint32_t hi = lo + n - 1u;
    // F holds a record from the start, so that the solver hands its factors over.
    MtrxNN* f = GetMatrixNN(nullptr, n, base1);
    Vect* e = f != nullptr ? GetVector(nullptr, n, base1) : nullptr;
    Vect* x = e != nullptr ? GetVector(nullptr, n, base1) : nullptr;
    Array1D<std::int32_t> p;
    MtrxNN* dr = nullptr;
    MtrxNN* dc = nullptr;
    const auto releaseWork = [&] {
        dr = FreeMatrixNN(dr);
        dc = FreeMatrixNN(dc);
        x = FreeVector(x);
        e = FreeVector(e);
        f = FreeMatrixNN(f);
        p = FreeArray1D(ArrInt32, p, lo, hi);
    };
    const auto fail = [&] {
        releaseWork();
        *ai = FreeMatrixNN(*ai);
        return false;
    };
    if (x == nullptr) return fail();

    for (std::uint32_t j = lo; j <= hi; ++j) {
        // The kept factors serve every further column at once, or else one column at a time.
        if (j == lo + 1 &&
            SolveUnitColumnsRuns(path, n, static_cast<std::int32_t>(lo), &f->Elem[lo][lo], &p[lo],
                                 &dr->Elem[lo][lo], &dc->Elem[lo][lo], 1, &(*ai)->Elem[lo][lo]))
            break;
        SetMtrxO(e);
        e->Elem[j] = 1.0;
        bool solved;
        if (j == lo) {
            solved = BalSolveMtrxNN(path, a, e, &x, &f, &p, &dr, &dc);
        } else {
            e->Elem[j] = e->Elem[j] * dr->Elem[j][j];
            solved = LUReSolveMtrxNN(f, e, p, &x);
            if (solved)
                for (std::uint32_t i = lo; i <= hi; ++i) x->Elem[i] = x->Elem[i] * dc->Elem[i][i];
        }
        if (!solved) return fail();
        for (std::uint32_t i = lo; i <= hi; ++i) (*ai)->Elem[i][j] = x->Elem[i];
    }
    releaseWork();
    return true;
}

bool InvMtrxNN(MtrxNN** ai, const MtrxNN* a) {
    return detail::InvMtrxNN(detail::FastestPath(), ai, a);
}

}  // namespace quil
