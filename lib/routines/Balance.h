// Internal to the library: balancing by powers of 2, and the solve through the balanced matrix
// that the inverse and the solve of routines/DetNN.h are built on. Slots as in routines/LU.h.
#pragma once

#include <cstdint>

#include "routines/Arrays.h"
#include "routines/LU.h"
#include "routines/MtrxNN.h"
#include "routines/Vect.h"
#include "routines/Work.h"
#include "routines/kernels/Factors.h"
#include "routines/kernels/Kernels.h"

namespace quil::detail {

// Balances s (order 2 or more) in place by powers of 2: s becomes Dr s Dc, with the diagonal
// scaling matrices in *dr and *dc (Dr = Dc^-1). A factor is taken only as far as it scales
// every element it meets, and the scaling matrices' elements, exactly, so that balancing
// changes no significant bit. When storage runs out, s may be partly balanced and both slots
// are left null; a slot that holds s is refused, nothing touched. Off the plain path the
// products of the diagonal scaling matrices are formed on their diagonals alone, which gives
// the same bits as the full products while every factor is finite.
void BalanceMtrxNN(Path path, MtrxNN** dr, MtrxNN** dc, MtrxNN* s);
// The same on the fastest path.
void BalanceMtrxNN(MtrxNN** dr, MtrxNN** dc, MtrxNN* s);

// The loop of BalanceMtrxNN with its four matrices given, each of s's order and suffix base and
// 0.0 throughout: dr and dc receive the scaling matrices, t1 and t2 are its work. False when the
// storage of a product of the scaling matrices runs out (s is then partly balanced).
bool Balance(Path path, MtrxNN* dr, MtrxNN* dc, MtrxNN* t1, MtrxNN* t2, MtrxNN* s);

// The balanced matrix of a decomposed, in the calling thread's work storage, as BalSolveMtrxNN
// keeps it: S = Dr a Dc (a itself for order 1, which has nothing to balance: Dr = Dc = 1), its
// rows far outside the range of 1 shifted towards it (the shifts kept in Dr), holds its LU
// factors, p its pivots, and x (with xexp) is room for one right-hand side. outcome is the
// decomposition's, or NoWork when the storage runs out (reported), in the balancing or in the
// decomposition.
struct BalancedLU {
    WorkBlock block;
    MtrxNN s{}, dr{}, dc{};
    Array1D<std::int32_t> p;
    Vect x{};
    Array1D<std::int64_t> xexp;
    LUDcmpOutcome outcome;

    BalancedLU(Path path, const MtrxNN* a);
    // The factors were made (an exactly zero pivot counts as 1.0e-20).
    bool Ok() const { return Decomposed(outcome); }
    // The factors, pivots and scales as runs (routines/kernels/Factors.h).
    BalancedFactors Factors() const;
    // out = a^-1 b = Dc S^-1 Dr b, b and out runs of the order's count (out may be b), with x
    // and xexp as work: SolveMtrxNN's solve (SolveScaledRun), out written only at the end.
    void Solve(const double* b, double* out) const;
};

// *x = a^-1 b through the balanced matrix, keeping the factors in *f, the pivots in *p and the
// scaling matrices in *dr, *dc for further right-hand sides: x = Dc S^-1 Dr b, S = Dr a Dc, where
// Dr also carries the row shifts of ShiftRowsIntoRange (routines/LU.h). Refuses order 1, a b
// of another Size or Base1, and a slot that holds a or b, without touching a slot; any other
// failure leaves all five slots null. *singular as LUSolveMtrxNN gives it.
bool BalSolveMtrxNN(Path path, const MtrxNN* a, const Vect* b, Vect** x, MtrxNN** f,
                    Array1D<std::int32_t>* p, MtrxNN** dr, MtrxNN** dc, bool* singular = nullptr);
// The same on the fastest path.
bool BalSolveMtrxNN(const MtrxNN* a, const Vect* b, Vect** x, MtrxNN** f,
                    Array1D<std::int32_t>* p, MtrxNN** dr, MtrxNN** dc);

}  // namespace quil::detail
