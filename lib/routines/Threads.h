/// \file
/// How many threads the library's large calls divide their work over.
///
/// The matrix product, the LU decomposition (under DetNN2, DetLog10, IsSingularMtrxNN,
/// InvMtrxNN and SolveMtrxNN) and the inverse's solves divide the elements of large matrices
/// over threads; small ones stay on the caller's thread. The stack routines (routines/Stacks.h)
/// divide the matrices of long stacks, each matrix done on one thread. Every result has the same
/// bits on any number of threads: the threads share out elements or whole matrices, never the
/// terms of one sum.
///
/// The count is, in this order: the last SetNumThreads(n) with n from 1; the environment
/// variable QUIL_NUM_THREADS, read once, at the first call that may divide its work, when it
/// holds a whole number from 1 (a value that cannot be used as it stands is named in one line on
/// standard error, with the count used instead); else the cores the process may run on (its
/// CPU affinity mask, as taskset, containers and batch schedulers set it). It is never more
/// than 64.
#pragma once

#include "QuilExport.h"

namespace quil {

/// From now on, large calls use n threads, the calling one included: 1 keeps all work on the
/// caller's thread; 0 means every core the process may run on; more than 64 means 64. Takes
/// effect at the next call; a call that is running keeps its count.
QUIL_EXPORT void SetNumThreads(unsigned n);

/// The number of threads the next large call may use, the calling one included (1 to 64).
[[nodiscard]] QUIL_EXPORT unsigned NumThreads();

}  // namespace quil
