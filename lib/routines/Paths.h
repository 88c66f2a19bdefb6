// Internal to the library: the public routines with the kernels' path given, so that the tests
// and the bench can run every path of this processor against the plain loops. The public
// routines pass FastestPath(). Identical results on every path. The LU and balancing routines
// take their path in routines/LU.h and routines/Balance.h.
#pragma once

#include "routines/MtrxNN.h"
#include "routines/kernels/Kernels.h"

namespace quil::detail {

bool MulMtrxNN(Path path, MtrxNN* c, const MtrxNN* a, const MtrxNN* b);
double DetNN(Path path, const MtrxNN* a);
// *noWork (when given) tells whether a DBL_MAX result stands for work storage that could not be
// had, or the InvMtrxNN's false for that.
double DetNN2(Path path, const MtrxNN* a, bool* noWork = nullptr);
double DetLog10(Path path, const MtrxNN* a, int* sign);
// DetNN2's *det and DetLog10's *log10 and *sign from one decomposition, with their bits; false
// when work storage cannot be had.
bool Determinants(Path path, const MtrxNN* a, double* det, double* log10, int* sign);
bool InvMtrxNN(Path path, MtrxNN** ai, const MtrxNN* a, bool* noWork = nullptr);
double RCondMtrxNN(Path path, const MtrxNN* a);

}  // namespace quil::detail
