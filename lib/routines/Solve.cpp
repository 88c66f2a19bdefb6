// The solve of a x = b through the balanced matrix, as the inverse solves its first column.
#include <cstdint>

#include "routines/Balance.h"
#include "routines/DetNN.h"
#include "routines/LU.h"

namespace quil {

// The solution is formed in work storage and copied into x only at the end, so that a failure
// leaves x as it was and x may be b. Balancing finds nothing to do in a 1 x 1 matrix (it has no
// elements off the diagonal) and the balanced solve refuses one, so order 1 takes the LU solve
// itself, which is what the balanced solve would do with Dr = Dc = 1: the same bits, b / a.
detail::SolveEnd detail::SolveMtrxNNEnd(Vect* x, const MtrxNN* a, const Vect* b) {
    const std::uint32_t n = a->Size;
    const bool base1 = a->Base1;
    if (x->Size != n || x->Base1 != base1 || b->Size != n || b->Base1 != base1)
        return SolveEnd::Mismatch;
    const std::uint32_t lo = base1 ? 1u : 0u;
    const std::uint32_t hi = lo + n - 1u;

    Vect* z = nullptr;
    MtrxNN* f = nullptr;  // empty, so that the factors are released inside
    Array1D<std::int32_t> p;
    MtrxNN* dr = nullptr;
    MtrxNN* dc = nullptr;
    bool singular = false;
    const Path path = FastestPath();
    const bool solved = n == 1 ? LUSolveMtrxNN(path, a, b, &z, &f, &p, &singular)
                               : BalSolveMtrxNN(path, a, b, &z, &f, &p, &dr, &dc, &singular);
    if (solved && !singular)
        for (std::uint32_t i = lo; i <= hi; ++i) x->Elem[i] = z->Elem[i];
    FreeVector(z);
    FreeArray1D(ArrInt32, p, lo, hi);
    FreeMatrixNN(dr);
    FreeMatrixNN(dc);
    return singular ? SolveEnd::Singular : solved ? SolveEnd::Solved : SolveEnd::NoWork;
}

bool SolveMtrxNN(Vect* x, const MtrxNN* a, const Vect* b) {
    return detail::SolveMtrxNNEnd(x, a, b) == detail::SolveEnd::Solved;
}

}  // namespace quil
