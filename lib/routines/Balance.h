// Internal to the library: balancing by powers of 2, and the solve through the balanced matrix
// that the inverse and the solve of routines/DetNN.h are built on. Slots as in routines/LU.h.
#pragma once

#include <cstdint>

#include "routines/Arrays.h"
#include "routines/MtrxNN.h"
#include "routines/Vect.h"
#include "routines/kernels/Kernels.h"

namespace quil::detail {

// Balances s (order 2 or more) in place by powers of 2: s becomes Dr s Dc, with the diagonal
// scaling matrices in *dr and *dc (Dr = Dc^-1). When storage runs out, s may be partly balanced
// and both slots are left null. Off the plain path the products of the diagonal scaling
// matrices are formed on their diagonals alone, which gives the same bits as the full products
// while every factor is finite.
void BalanceMtrxNN(Path path, MtrxNN** dr, MtrxNN** dc, MtrxNN* s);
// The same on the fastest path.
void BalanceMtrxNN(MtrxNN** dr, MtrxNN** dc, MtrxNN* s);

// *x = a^-1 b through the balanced matrix, keeping the factors in *f, the pivots in *p and the
// scaling matrices in *dr, *dc for further right-hand sides: x = Dc S^-1 Dr b, S = Dr a Dc, where
// Dr also carries the row shifts of ShiftRowsIntoRange (routines/LU.h). Refuses order 1 and a b
// of another Size or Base1 without touching a slot; any other failure leaves all five slots
// null. *singular as LUSolveMtrxNN gives it.
bool BalSolveMtrxNN(Path path, const MtrxNN* a, const Vect* b, Vect** x, MtrxNN** f,
                    Array1D<std::int32_t>* p, MtrxNN** dr, MtrxNN** dc, bool* singular = nullptr);
// The same on the fastest path.
bool BalSolveMtrxNN(const MtrxNN* a, const Vect* b, Vect** x, MtrxNN** f,
                    Array1D<std::int32_t>* p, MtrxNN** dr, MtrxNN** dc);

}  // namespace quil::detail
