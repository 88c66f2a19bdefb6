/// \file
/// Vectors and general matrices of double, and the routines that combine them.
///
/// Records are allocated zero-filled; an allocator releases the old record it is given and
/// returns the new one or null; a release returns null for the caller to store back. The result
/// comes first and the operands follow. Mismatched operands give false (0.0 for MulVect) and
/// leave the result untouched. Nothing here throws.
#pragma once

#include <cstdint>

#include "QuilExport.h"
#include "routines/Arrays.h"

namespace quil {

/// A vector of double: Elem[i] for the subscripts of its suffix base.
struct Vect {
    std::uint32_t Size;     ///< number of elements n
    bool Base1;             ///< subscripts 1..n when true, 0..n-1 otherwise
    Array1D<double> Elem;   ///< the elements, Elem[i] for every valid subscript i
};

/// A Rows x Cols matrix of double: Elem[i][j] for the subscripts of its suffix base.
struct Mtrx {
    std::uint32_t Rows;     ///< number of rows
    std::uint32_t Cols;     ///< number of columns
    bool Base1;             ///< suffix base of both subscripts
    Array2D<double> Elem;   ///< the elements, Elem[i][j]
};

/// Releases old (may be null), then returns a vector of n elements, all 0.0, or null: silently
/// when the record cannot be had, after the heap's report when its elements cannot. n may be 0
/// with either base; every loop over such a vector does nothing.
[[nodiscard]] QUIL_EXPORT Vect* GetVector(Vect* old, std::uint32_t n, bool base1);
/// Releases v (may be null); always returns null, for the caller to store.
QUIL_EXPORT Vect* FreeVector(Vect* v);
/// Sets every element of v to 0.0 (nothing when v has no elements).
QUIL_EXPORT void SetMtrxO(Vect* v);
/// c = a + b, element by element; c may be an operand. False, with c untouched, unless all
/// agree in Size and Base1.
[[nodiscard]] QUIL_EXPORT bool AddVect(Vect* c, const Vect* a, const Vect* b);
/// c = a - b, element by element; fails as AddVect does.
[[nodiscard]] QUIL_EXPORT bool SubVect(Vect* c, const Vect* a, const Vect* b);
/// c = s a, element by element; c may be a. False, with c untouched, unless c and a agree in
/// Size and Base1.
[[nodiscard]] QUIL_EXPORT bool SclVect(Vect* c, double s, const Vect* a);
/// The inner product, summed from the lowest subscript up (sum = a[i] * b[i] + sum).
/// \warning 0.0 for mismatched operands, which cannot be told from a true zero product.
[[nodiscard]] QUIL_EXPORT double MulVect(const Vect* a, const Vect* b);
/// y = m x, rows in ascending order. False, with y untouched, unless the three share Base1 and
/// y->Size = m->Rows, m->Cols = x->Size. y may be x: the product is then formed in work storage
/// first, and false, with y untouched, also when that storage cannot be had (reported as the
/// heap reports it).
[[nodiscard]] QUIL_EXPORT bool MtrxbyVect(Vect* y, const Mtrx* m, const Vect* x);
/// Releases old (may be null), then returns a rows x cols matrix of 0.0, or null (as GetVector).
/// A matrix without rows or columns, which has no subscripts, is refused in either base as a
/// request of no bytes is: reported with 0 as the byte count, and null.
[[nodiscard]] QUIL_EXPORT Mtrx* GetMatrix(Mtrx* old, std::uint32_t rows, std::uint32_t cols, bool base1);
/// Releases m (may be null); always returns null.
QUIL_EXPORT Mtrx* FreeMatrix(Mtrx* m);

}  // namespace quil

#ifndef QUIL_NO_GLOBAL_NAMES
using quil::Vect;
using quil::Mtrx;
using quil::GetVector;
using quil::FreeVector;
using quil::SetMtrxO;
using quil::AddVect;
using quil::SubVect;
using quil::SclVect;
using quil::MulVect;
using quil::MtrxbyVect;
using quil::GetMatrix;
using quil::FreeMatrix;
#endif
