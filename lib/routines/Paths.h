// Internal to the library: the public routines with the kernels' path given, so that the tests
// and the bench can run every path of this processor against the plain loops. The public
// routines pass FastestPath(). Identical results on every path. The LU and balancing routines
// take their path in routines/LU.h and routines/Balance.h.
#pragma once

#include <cstdint>

#include "routines/LU.h"
#include "routines/MtrxNN.h"
#include "routines/Stacks.h"
#include "routines/kernels/Kernels.h"

namespace quil::detail {

bool MulMtrxNN(Path path, MtrxNN* c, const MtrxNN* a, const MtrxNN* b);
double DetNN(Path path, const MtrxNN* a);
// *outcome (when given) tells how the decomposition ended: ZeroRow for a row of zeros, ZeroPivot
// for an exactly singular matrix, NoWork when storage ran out (a DBL_MAX result stands for that).
double DetNN2(Path path, const MtrxNN* a, LUDcmpOutcome* outcome = nullptr);
double DetLog10(Path path, const MtrxNN* a, int* sign, LUDcmpOutcome* outcome = nullptr);
// *noWork (when given) tells whether a false stands for storage that could not be had.
bool InvMtrxNN(Path path, MtrxNN** ai, const MtrxNN* a, bool* noWork = nullptr);
// The inverse of a into ai, a record of a's order (of any suffix base), as InvMtrxNN computes it
// (order 1 excepted, which InvMtrxNN refuses): the decomposition's outcome, ai unset unless the
// factors were made (Done or ZeroPivot).
LUDcmpOutcome InverseInto(Path path, MtrxNN* ai, const MtrxNN* a);
// *outcome as above; ZeroRow too for a matrix of zeros, and Done for one holding a NaN.
double RCondMtrxNN(Path path, const MtrxNN* a, LUDcmpOutcome* outcome = nullptr);

// The stack routines of routines/Stacks.h.
bool DetNN2Stack(Path path, double* det, std::uint8_t* status, std::uint64_t count,
                 std::uint32_t n, const double* a);
bool DetLog10Stack(Path path, double* logdet, int* sign, std::uint8_t* status,
                   std::uint64_t count, std::uint32_t n, const double* a);
bool InvMtrxNNStack(Path path, double* ai, std::uint8_t* status, std::uint64_t count,
                    std::uint32_t n, const double* a);
bool SolveMtrxNNStack(Path path, double* x, std::uint8_t* status, std::uint64_t count,
                      std::uint32_t n, std::uint32_t nrhs, const double* a, const double* b);
bool MulMtrxNNStack(Path path, double* c, std::uint64_t count, std::uint32_t n, const double* a,
                    const double* b);
bool RCondMtrxNNStack(Path path, double* rcond, std::uint8_t* status, std::uint64_t count,
                      std::uint32_t n, const double* a);

// The outcome that a matrix's status from the small orders' code (routines/Stacks.h) stands for.
inline LUDcmpOutcome OutcomeOf(std::uint8_t status) {
    return status == StackRefused    ? LUDcmpOutcome::ZeroRow
           : status == StackSingular ? LUDcmpOutcome::ZeroPivot
                                     : LUDcmpOutcome::Done;
}

}  // namespace quil::detail
