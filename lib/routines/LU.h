// Internal to the library: the LU decomposition (Crout's method with implicit partial pivoting)
// and the solves built on its factors, under the determinants, the inverse and the solve of
// routines/DetNN.h. Their slots and pivot vectors are the library's own conventions; callers
// outside it use routines/DetNN.h.
//
// A slot is the caller's pointer passed by address: a routine that fills it releases what it
// held first; one that releases it on failure leaves it null. Pivot index vectors are 4-byte
// integer arrays over the matrix's subscripts.
#pragma once

#include <cstdint>

#include "routines/Arrays.h"
#include "routines/MtrxNN.h"
#include "routines/Vect.h"
#include "routines/kernels/Kernels.h"

namespace quil::detail {

// How an LU decomposition ended: DetNN2 and DetLog10 tell a singular matrix from exhausted
// memory by it.
enum class LUDcmpOutcome { Done, ZeroRow, NoWork };

// Crout's method with implicit partial pivoting, in place: f receives the unit lower factor below
// its diagonal and the upper factor on and above it; p[j] the row exchanged with row j at step
// j; *parity +1 or -1. A pivot of exactly 0.0 is replaced by 1.0e-20.
// ZeroRow (f has a row of zeros) and NoWork (p is null or the row scales cannot be allocated)
// are failures. Off the plain path the blocked kernels do the work, with the same bits.
LUDcmpOutcome LUDcmpMtrxNN(Path path, MtrxNN* f, Array1D<std::int32_t> p, int* parity);
// The same on the fastest path.
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
bool LUSolveMtrxNN(Path path, const MtrxNN* a, const Vect* b, Vect** x, MtrxNN** f,
                   Array1D<std::int32_t>* p);
// The same on the fastest path.
bool LUSolveMtrxNN(const MtrxNN* a, const Vect* b, Vect** x, MtrxNN** f,
                   Array1D<std::int32_t>* p);

// *x = solution for b with the factors f and pivots p kept from LUSolveMtrxNN; on failure *x is
// released and null. b is copied as LUSolveMtrxNN copies it.
bool LUReSolveMtrxNN(const MtrxNN* f, const Vect* b, Array1D<std::int32_t> p, Vect** x);

}  // namespace quil::detail
