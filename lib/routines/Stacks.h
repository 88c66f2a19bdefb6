/// \file
/// The determinant, its logarithm, the inverse, the solve, the product and the condition
/// estimate over stacks of square matrices, for the many small systems of simulations,
/// ensembles, elements and transforms.
///
/// A stack holds count matrices of order n one after another in one array of double, each one
/// row after row: element (i, j) of matrix k, with subscripts from 0, is a[(k * n + i) * n + j].
/// Results go to arrays the caller provides, laid out the same way.
///
/// The same bits: every matrix gets exactly what its single routine (DetNN2, DetLog10,
/// InvMtrxNN, SolveMtrxNN, MulMtrxNN, RCondMtrxNN) gives for a record of either suffix base
/// holding its elements, on every processor and vector path, and whatever the number of threads
/// (routines/Threads.h): the threads share out whole matrices, each matrix done on one of them.
/// No heap request is made per matrix.
///
/// One matrix never fails the stack: a singular matrix, one holding NaN or infinities, or one
/// that the single routine refuses gets the single routine's result or failure result in its own
/// place, and status[k] says which (StackDone, StackSingular, StackRefused below). The status
/// array may be null. A NaN in a matrix gives NaN results whatever its status says.
///
/// Every routine here returns true when it has done every matrix. It returns false
/// - when work storage cannot be had, after the library's report (the heap's one message with
///   the byte count, routines/Heap.h); the results and statuses of some matrices are then
///   unset;
/// - for n = 0, for a null array other than status (x and b may be null when nrhs = 0), and for
///   a stack larger than the address space, with nothing written and no report.
///
/// count = 0 gives true with nothing written, whatever the arrays (for n from 1). A result array
/// may be an operand array itself (the same pointer): each matrix's operands are read before its
/// results are written. No other overlap between the arrays is allowed.
#pragma once

#include <cstdint>

#include "../QuilExport.h"

namespace quil {

/// Status of a matrix: the single routine's result, its LU decomposition (where it has one)
/// having met neither a row of zeros nor an exactly zero pivot.
constexpr std::uint8_t StackDone = 0;

/// Status of a matrix: the single routine's result for an exactly singular matrix, whose LU
/// decomposition met a pivot of exactly 0.0 and went on with 1.0e-20 in its place: DetNN2 gives
/// a tiny determinant, DetLog10 a large negative logarithm, InvMtrxNN elements of the order of
/// 1.0e+20, RCondMtrxNN 0.0. (SolveMtrxNN refuses such a matrix: StackRefused.)
constexpr std::uint8_t StackSingular = 1;

/// Status of a matrix: the single routine's failure, with the result in its place as follows.
/// - A row of zeros (exactly singular): DetNN2 gives 0.0, DetLog10 -DBL_MAX with sign 0,
///   RCondMtrxNN 0.0; InvMtrxNN and SolveMtrxNN refuse it.
/// - Order 1: InvMtrxNN refuses every such matrix.
/// - An exactly zero pivot (StackSingular for the others): SolveMtrxNN refuses it.
///
/// Where InvMtrxNN or SolveMtrxNN refuses a matrix, every element of its result is a quiet NaN.
constexpr std::uint8_t StackRefused = 2;

/// det[k] = DetNN2 of matrix k, for k from 0 to count - 1; status[k] (status may be null) says
/// how it came: StackDone, StackSingular (a tiny value: an exactly zero pivot counted as
/// 1.0e-20) or StackRefused (0.0 for a row of zeros).
[[nodiscard]] QUIL_EXPORT bool DetNN2Stack(double* det, std::uint8_t* status, std::uint64_t count,
                                           std::uint32_t n, const double* a);

/// logdet[k] = DetLog10 of matrix k with its sign in sign[k] (+1 or -1; det = sign * 10^logdet),
/// for k from 0 to count - 1; status[k] (status may be null) as for DetNN2Stack: StackRefused
/// with -DBL_MAX and sign 0 for a row of zeros.
[[nodiscard]] QUIL_EXPORT bool DetLog10Stack(double* logdet, int* sign, std::uint8_t* status,
                                             std::uint64_t count, std::uint32_t n,
                                             const double* a);

/// Matrix k of ai = InvMtrxNN of matrix k of a, for k from 0 to count - 1. status[k] (status
/// may be null): StackDone; StackSingular (an exactly zero pivot counted as 1.0e-20: very large
/// elements); StackRefused where InvMtrxNN returns false (a row of zeros; order 1, so every
/// matrix of a stack of order 1), with every element of matrix k of ai a quiet NaN. ai may be a.
[[nodiscard]] QUIL_EXPORT bool InvMtrxNNStack(double* ai, std::uint8_t* status, std::uint64_t count,
                                              std::uint32_t n, const double* a);

/// Solves a_k x = b for nrhs right-hand sides per matrix, each as SolveMtrxNN solves it: column
/// r of matrix k's right-hand sides is b[(k * n + i) * nrhs + r] for i from 0 to n - 1 (an
/// n x nrhs block per matrix, row after row; with nrhs = 1 simply b[k * n + i]), and its
/// solution goes to x at the same places. status[k] (status may be null): StackDone, or
/// StackRefused where SolveMtrxNN returns false (a row of zeros or an exactly zero pivot), with
/// every element of matrix k's block of x a quiet NaN. Order 1 is solved, to b / a. x may be b.
/// nrhs = 0 leaves x alone and still sets the statuses.
[[nodiscard]] QUIL_EXPORT bool SolveMtrxNNStack(double* x, std::uint8_t* status,
                                                std::uint64_t count, std::uint32_t n,
                                                std::uint32_t nrhs, const double* a,
                                                const double* b);

/// Matrix k of c = MulMtrxNN of matrices k of a and b, each element summed over ascending
/// subscripts, for k from 0 to count - 1. c may be a or b (or both, a = b).
[[nodiscard]] QUIL_EXPORT bool MulMtrxNNStack(double* c, std::uint64_t count, std::uint32_t n,
                                              const double* a, const double* b);

/// rcond[k] = RCondMtrxNN of matrix k, for k from 0 to count - 1; status[k] (status may be
/// null): StackDone; StackSingular (0.0 for an exactly zero pivot); StackRefused (0.0 for a row
/// of zeros, an all-zero 1 x 1 matrix included). NaN for a matrix holding a NaN, which its
/// status does not tell.
[[nodiscard]] QUIL_EXPORT bool RCondMtrxNNStack(double* rcond, std::uint8_t* status,
                                                std::uint64_t count, std::uint32_t n,
                                                const double* a);

}  // namespace quil

#ifndef QUIL_NO_GLOBAL_NAMES
using quil::StackDone;
using quil::StackSingular;
using quil::StackRefused;
using quil::DetNN2Stack;
using quil::DetLog10Stack;
using quil::InvMtrxNNStack;
using quil::SolveMtrxNNStack;
using quil::MulMtrxNNStack;
using quil::RCondMtrxNNStack;
#endif
