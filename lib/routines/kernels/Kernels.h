// Internal to the library: the fast kernels of the cubic routines and the choice between them.
//
// Every result here is defined by the order of its floating-point operations. The kernels do
// the same operations as the plain loops, each element's own sequence in the same order, and
// only change the order across elements: tiles of the result held in vector registers, one
// element per lane, and blocks that keep the operands in cache. So they give the same bits as
// the plain loops, and no fused multiply-add is used (the library builds with
// -ffp-contract=off and the kernels write every multiplication and addition out).
//
// The vector width and the tile shape are chosen at run time, so one binary runs on every x86-64
// processor: AVX-512 where the processor has full 512-bit units, AVX2 where it has AVX2 (or
// carries out 512-bit work in 256-bit halves), portable code (SSE2 on x86-64) otherwise. Other
// processors take the portable code, whose two-double vectors are SSE2 on 32-bit x86 and NEON on
// 64-bit ARM.
//
// The product, the decomposition's products and the inverse's solves divide their elements
// over threads (routines/kernels/Threads.h); a call's results do not depend on how many.
//
// The kernels know nothing of the records: matrices reach them as runs, n * n doubles row after
// row from element (lo, lo), and vectors as plain arrays. Pivot subscripts are stored as the
// routines store them, with the suffix base added. The routines that take a path are declared
// above this level, in routines/Paths.h, routines/LU.h and routines/Balance.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "routines/kernels/Arithmetic.h"

namespace quil::detail {

// How a routine does its cubic work. Plain is the reference: the loops as the method reads.
enum class Path : std::uint8_t { Plain, Portable, Avx2, Avx512 };

// True when this processor can take the path; Plain and Portable always can.
bool PathRuns(Path path);
// The widest path this processor can take: the one the routines take.
Path FastestPath();
const char* PathName(Path path);

// The product's tile on a path: rows by columns of the result, the vector width in bits, and the
// steps of a packed panel.
struct TileShape {
    unsigned rows, columns, vectorBits, panelDepth;
};
TileShape ShapeOf(Path path);

// The kernels below leave small matrices to the plain loops, where blocking costs more than it
// saves, or to the code for small orders (below).

// c = a b: c(i, j) = 0.0 + a(i, 0) b(0, j) + ... + a(i, n-1) b(n-1, j), summed left to right.
// c must not overlap a or b. Falls back to the plain loop when the packing buffers cannot be had.
void ProductRuns(Path path, std::uint32_t n, const double* a, const double* b, double* c);

// What ElementRuns computes.
enum class ElementOp : std::uint8_t { Add, Subtract, Scale };

// c(k) = a(k) + b(k) (Add), a(k) - b(k) (Subtract) or a(k) * s (Scale, b unused) for count
// elements, each one operation; c may be a or b. On the plain path the plain loop.
void ElementRuns(Path path, ElementOp op, std::size_t count, const double* a, const double* b,
                 double s, double* c);

// The decomposition's row scales: vv(i) = 1 / the largest magnitude of row i (NaN for a row of
// zeros and NaN); *zeroRow is set, and vv is incomplete, when a row holds nothing but zeros.
// False, with nothing touched, when the path is Plain; the caller then runs its plain loop.
bool RowScalesRuns(Path path, std::uint32_t n, const double* f, double* vv, bool* zeroRow);

// The decomposition's elimination (Crout's method with implicit partial pivoting, as
// LUDcmpMtrxNN's plain loop does it), for every column, on f in place: vv holds the row
// scales (1 / largest magnitude of each row), *parity starts at 1, piv receives the pivot rows
// (subscripts, lo added); *zeroPivot is set when a pivot of exactly 0.0 became 1.0e-20. False,
// with nothing touched, when the path is Plain or the work buffers cannot be had; the caller
// then runs its plain loop.
bool FactorRuns(Path path, std::uint32_t n, std::int32_t lo, double* f, double* vv,
                std::int32_t* piv, int* parity, bool* zeroPivot);

// The solves of the inverse for columns first..n-1, done together: for column j, the unit
// right-hand side e_j goes through the pivot exchanges of piv, the forward substitution (leading
// zeros skipped) and the back substitution with the factors f, exactly as LUBksbMtrxNN does it,
// and out(i, j) = x(i). False, with nothing written, when the path is Plain or the panel buffer
// cannot be had.
bool SolveUnitColumnsRuns(Path path, std::uint32_t n, std::int32_t lo, const double* f,
                          const std::int32_t* piv, std::uint32_t first, double* out);

// How DetNN's elimination ended (FullPivotRuns).
enum class FullPivotEnd : std::uint8_t {
    Done,        // every step taken
    ZeroColumn,  // a column's largest magnitude is 0.0
    NoPivot,     // the remaining block of a step holds nothing larger than 0.0
    NotRun,      // the path is Plain, or the work buffer cannot be had
};

// What DetNN's elimination reports, in the order of the plain loop: factor(context, x) for every
// factor of the determinant (each column's scale in column order, then each step's pivot) and
// flip(context) for every exchange that moves something (the column exchange's first).
struct ProductSink {
    void* context;
    void (*factor)(void* context, double x);
    void (*flip)(void* context);
};

// DetNN's column scaling of a (an n x n run) into w (an n x n run), and its elimination with full
// pivoting on w, each step in one pass over the remaining block that also finds the next pivot.
// Done: the last element is w(n-1, n-1). NoPivot: *step receives the step (from 0) whose block
// had no pivot, and w is as the plain loop leaves it there. ZeroColumn: w is undefined.
FullPivotEnd FullPivotRuns(Path path, std::uint32_t n, const double* a, double* w,
                           const ProductSink& sink, std::uint32_t* step);

// ---- Small orders --------------------------------------------------------------------------
//
// Matrices of order up to kSmallOrder are worked whole in local arrays, one after another: the
// single calls of DetNN2, DetLog10, InvMtrxNN, SolveMtrxNN and RCondMtrxNN on such a matrix and
// the stacks of routines/Stacks.h come here, with the bits of the routines' plain loops. The
// stacks' layout: matrix k's elements at a + k n n, row after row; status[k] (status may be null)
// as routines/Stacks.h gives it. Each routine below returns the first matrix from first on that
// it leaves to the routine's general way, with nothing written for it: one holding a NaN or an
// infinity, with a row whose largest magnitude lies outside [kRowBandLowest, kRowBandBeyond)
// (ShiftRowsIntoRange would shift it), whose balancing factors leave the range of double or
// would round an element (BalanceMtrxNN takes less of them), or with a pivot below 2^-1024 (its
// multipliers are quotients). It returns end when it has done every matrix, and first on the
// plain path.

constexpr std::uint32_t kSmallOrder = 16;

// Rows whose largest magnitude lies in [kRowBandLowest, kRowBandBeyond) are never shifted into
// range (routines/LU.h).
constexpr double kRowBandLowest = 0x1p-256;
constexpr double kRowBandBeyond = 0x1p+257;

// det[k] = DetNN2 of matrix k; or, when sign is given, DetLog10 with its sign in sign[k].
std::uint64_t SmallDetRuns(Path path, std::uint32_t n, std::uint64_t first, std::uint64_t end,
                           const double* a, double* det, int* sign, std::uint8_t* status);
// Matrix k of ai (at ai + k n n) = InvMtrxNN of matrix k.
std::uint64_t SmallInverseRuns(Path path, std::uint32_t n, std::uint64_t first,
                               std::uint64_t end, const double* a, double* ai,
                               std::uint8_t* status);
// SolveMtrxNN for each of nrhs right-hand sides of matrix k: b's and x's n x nrhs blocks at
// b + k n nrhs and x + k n nrhs, row after row.
std::uint64_t SmallSolveRuns(Path path, std::uint32_t n, std::uint32_t nrhs, std::uint64_t first,
                             std::uint64_t end, const double* a, const double* b, double* x,
                             std::uint8_t* status);
// Matrix k of c = matrix k of a times matrix k of b, as ProductRuns forms it; c may be a or b.
// Leaves no matrix to another way.
std::uint64_t SmallProductRuns(Path path, std::uint32_t n, std::uint64_t first,
                               std::uint64_t end, const double* a, const double* b, double* c);
// rcond[k] = RCondMtrxNN of matrix k.
std::uint64_t SmallRCondRuns(Path path, std::uint32_t n, std::uint64_t first, std::uint64_t end,
                             const double* a, double* rcond, std::uint8_t* status);

}  // namespace quil::detail
