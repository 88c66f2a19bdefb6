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

// The loop of BalanceMtrxNN with its four matrices given, each of s's order and suffix base, their
// elements unset: dr and dc receive the scaling matrices, t1 and t2 are its work. Off the plain
// path only their diagonals are written, unless a product of the scaling matrices must be taken
// in full (a diagonal element that is not finite), which clears the rest of all four first; so
// only dr's and dc's diagonals are to be read. False when the storage of a product of the scaling
// matrices runs out (s is then partly balanced).
bool Balance(Path path, MtrxNN* dr, MtrxNN* dc, MtrxNN* t1, MtrxNN* t2, MtrxNN* s);

// The factors of a balanced matrix, as every solve with them reads them: S = Dr a Dc (a itself
// for order 1, which has nothing to balance: Dr = Dc = 1), its rows far outside the range of 1
// shifted towards it (the shifts kept in Dr), in LU factors with the pivots p; and the
// diagonals of Dr and Dc.
struct BalancedFactors {
    MtrxNN s{};
    Array1D<std::int32_t> p;
    Array1D<double> dr, dc;

    // The same as runs (routines/kernels/Factors.h), for the code that finishes on runs.
    BalancedRuns Runs() const;
};

// x = 2^shift a^-1 x = 2^shift Dc S^-1 Dr x in place, or 2^shift a^-T x = 2^shift Dr S^-T Dc x
// when transposed, with the operations of LUBksbMtrxNN (of its transpose), each element carried
// as a mantissa in x and a power of 2 in e (detail::Scaled): no element leaves the range on the
// way, and x ends rounded once. Where no element leaves the normal range the bits are those of
// the plain loops with x = Dr x first and x = Dc x last (Dc, Dr when transposed). With beyond,
// an element whose value overflows a double is left as x[i] 2^e[i] instead (x[i] in [0.5, 1));
// every other element is rounded, with e[i] = 0.
void SolveScaled(const BalancedFactors& f, Array1D<double> x, Array1D<std::int64_t> e,
                 std::int64_t shift, bool transposed, bool beyond = false);

// The balanced factors of a, in the calling thread's work storage, as BalSolveMtrxNN keeps them,
// and x (with xexp) room for one right-hand side. outcome is the decomposition's, or NoWork when
// the storage runs out (reported), in the balancing or in the decomposition.
struct BalancedLU : BalancedFactors {
    WorkBlock block;
    Vect x{};
    Array1D<std::int64_t> xexp;
    LUDcmpOutcome outcome;

    BalancedLU(Path path, const MtrxNN* a);
    // The factors were made (an exactly zero pivot counts as 1.0e-20).
    bool Ok() const { return Decomposed(outcome); }
    // x = Dc S^-1 Dr x = a^-1 x, in place, as SolveScaled solves it.
    void Solve() const { SolveScaled(*this, x.Elem, xexp, 0, false); }
    // out = a^-1 b, b and out runs of the order's count (out may be b), with x and xexp as work:
    // SolveMtrxNN's solve, out written only at the end.
    void Solve(const double* b, double* out) const;
};

// How RCondMtrxNN begins, from a alone: its 1-norm, brought to [1, 2) by 2^k where it lies
// outside [2^-512, 2^512]; or the result itself where a decides it (a NaN, a norm of 0.0,
// order 1).
struct CondStart {
    double norm = 0.0;
    int k = 0;
    bool decided = false;
    double result = 0.0;
};
CondStart RCondStart(const MtrxNN* a);
// RCondMtrxNN's estimate from its start and the balanced factors of a, decomposed without an
// exactly zero pivot; -1.0 when its work storage cannot be had.
double RCondEstimate(const CondStart& start, const BalancedFactors& f);

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
