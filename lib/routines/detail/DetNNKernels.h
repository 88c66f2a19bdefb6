// Internal to the library: the kernels under the determinants, the inverse and the solve of
// routines/DetNN.h, and the copy with which they take their work records. Their slots and pivot
// vectors are the library's own conventions; callers outside it use routines/DetNN.h.
//
// A slot is the caller's pointer passed by address: a kernel that fills it releases what it
// held first; one that releases it on failure leaves it null. Pivot index vectors are 4-byte
// integer arrays over the matrix's subscripts.
#pragma once

#include <cstdint>

#include "routines/Arrays.h"
#include "routines/MtrxNN.h"
#include "routines/Vect.h"

// c = a, element by element. False, with c untouched, unless c and a agree in Size and Base1.
bool CopyMtrxNN(MtrxNN* c, const MtrxNN* a);

// How an LU decomposition ended: DetNN2 and DetLog10 tell a singular matrix from exhausted
// memory by it.
enum class LUDcmpOutcome { Done, ZeroRow, NoWork };

// Crout's method with implicit partial pivoting, in place: f receives the unit lower factor below
// its diagonal and the upper factor on and above it; p[j] the row exchanged with row j at step
// j; *parity +1 or -1. A pivot of exactly 0.0 is replaced by 1.0e-20.
// ZeroRow (f has a row of zeros) and NoWork (p is null or the row scales cannot be allocated)
// are failures.
LUDcmpOutcome LUDcmpMtrxNNOutcome(MtrxNN* f, Array1D<std::int32_t> p, int* parity);
// The same, true for Done.
bool LUDcmpMtrxNN(MtrxNN* f, Array1D<std::int32_t> p, int* parity);

// Solves in place with the factors of f: x holds the right-hand side on entry and the solution
// after. False when f and x differ in Size or Base1, or p is null.
bool LUBksbMtrxNN(const MtrxNN* f, Vect* x, Array1D<std::int32_t> p);

// *x = a^-1 b. *p must be empty on entry and receives the pivot vector; the factors stay in *f
// when *f held a record on entry and are released otherwise. On failure *f and the pivot
// vector it made are released and null, and so is *x unless the factors' record was what
// could not be had (then *x is left as it was).
// \warning b is not checked against a: its first elements are copied, as many as both have.
bool LUSolveMtrxNN(const MtrxNN* a, const Vect* b, Vect** x, MtrxNN** f,
                   Array1D<std::int32_t>* p);

// *x = solution for b with the factors f and pivots p kept from LUSolveMtrxNN; on failure *x is
// released and null. b is copied as LUSolveMtrxNN copies it.
bool LUReSolveMtrxNN(const MtrxNN* f, const Vect* b, Array1D<std::int32_t> p, Vect** x);

// Balances s (order 2 or more) in place by powers of 2: s becomes Dr s Dc, with the diagonal
// scaling matrices in *dr and *dc (Dr = Dc^-1). When storage runs out, s may be partly balanced
// and both slots are left null.
void BalanceMtrxNN(MtrxNN** dr, MtrxNN** dc, MtrxNN* s);

// *x = a^-1 b through the balanced matrix, keeping the factors in *f, the pivots in *p and the
// scaling matrices in *dr, *dc for further right-hand sides. Refuses order 1 and a b of another
// Size or Base1 without touching a slot; any other failure leaves all five slots null.
bool BalSolveMtrxNN(const MtrxNN* a, const Vect* b, Vect** x, MtrxNN** f,
                    Array1D<std::int32_t>* p, MtrxNN** dr, MtrxNN** dc);
