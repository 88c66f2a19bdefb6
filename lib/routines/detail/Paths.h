// Internal to the library: the routines with the kernels' path given, so that the tests and the
// bench can run every path of this processor against the plain loops. The public routines pass
// FastestPath(). Identical results on every path.
#pragma once

#include <cstdint>

#include "routines/Arrays.h"
#include "routines/MtrxNN.h"
#include "routines/Vect.h"
#include "routines/detail/Kernels.h"

// Declared with the LU decomposition (routines/detail/DetNNKernels.h); named here only, so
// that the product's users need nothing of the determinants.
enum class LUDcmpOutcome;

namespace quil::detail {

bool MulMtrxNN(Path path, MtrxNN* c, const MtrxNN* a, const MtrxNN* b);
LUDcmpOutcome LUDcmpMtrxNN(Path path, MtrxNN* f, Array1D<std::int32_t> p, int* parity);
double DetNN(Path path, const MtrxNN* a);
double DetNN2(Path path, const MtrxNN* a);
double DetLog10(Path path, const MtrxNN* a, int* sign);
// *singular (when given) tells whether the decomposition found a row of zeros or an exactly zero
// pivot: the first fails, the second solves with the pivot 1.0e-20.
bool LUSolveMtrxNN(Path path, const MtrxNN* a, const Vect* b, Vect** x, MtrxNN** f,
                   Array1D<std::int32_t>* p, bool* singular = nullptr);
// Off the plain path, the products of the diagonal scaling matrices are formed on their
// diagonals alone, which gives the same bits as the full products while every factor is finite.
void BalanceMtrxNN(Path path, MtrxNN** dr, MtrxNN** dc, MtrxNN* s);
bool BalSolveMtrxNN(Path path, const MtrxNN* a, const Vect* b, Vect** x, MtrxNN** f,
                    Array1D<std::int32_t>* p, MtrxNN** dr, MtrxNN** dc, bool* singular = nullptr);
bool InvMtrxNN(Path path, MtrxNN** ai, const MtrxNN* a);

}  // namespace quil::detail
