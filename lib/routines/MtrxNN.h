/// \file
/// Square matrices of double: allocation, release and arithmetic. Nothing here throws.
#pragma once

#include <cstdint>

#include "QuilExport.h"
#include "routines/Arrays.h"

namespace quil {

/// A square matrix of order n: Elem[i][j] for the subscripts of its suffix base.
struct MtrxNN {
    std::uint32_t Size;     ///< the order n
    bool Base1;             ///< subscripts 1..n when true, 0..n-1 otherwise
    Array2D<double> Elem;   ///< the elements, Elem[i][j]
};

/// Releases old (may be null), then returns an n x n matrix of 0.0 with subscripts 1..n or
/// 0..n-1, or null: silently when the record cannot be had, after the heap's report when its
/// elements cannot. Order 0, which has no subscripts, is refused in either base as a request of
/// no bytes is: reported with 0 as the byte count, and null.
[[nodiscard]] QUIL_EXPORT MtrxNN* GetMatrixNN(MtrxNN* old, std::uint32_t n, bool base1);
/// Releases m (may be null); always returns null, for the caller to store.
QUIL_EXPORT MtrxNN* FreeMatrixNN(MtrxNN* m);
/// Sets every element to 0.0; does nothing while m has no element storage.
QUIL_EXPORT void SetMtrxNNO(MtrxNN* m);

/// c = a + b. False, with c untouched, unless the three agree in Size and Base1; c may be an
/// operand.
[[nodiscard]] QUIL_EXPORT bool AddMtrxNN(MtrxNN* c, const MtrxNN* a, const MtrxNN* b);
/// c = a - b; fails as AddMtrxNN does.
[[nodiscard]] QUIL_EXPORT bool SubMtrxNN(MtrxNN* c, const MtrxNN* a, const MtrxNN* b);
/// c = s a. False, with c untouched, unless c and a agree in Size and Base1; c may be a.
[[nodiscard]] QUIL_EXPORT bool SclMtrxNN(MtrxNN* c, double s, const MtrxNN* a);
/// c = a b, each element summed over ascending k; c may be an operand. False, with c unchanged,
/// when the three differ in Size or Base1. A c that is an operand takes the product from work
/// storage: then false, with c unchanged, also when that storage cannot be had (reported as the
/// heap reports it); a c that is neither is written directly and never meets that failure.
[[nodiscard]] QUIL_EXPORT bool MulMtrxNN(MtrxNN* c, const MtrxNN* a, const MtrxNN* b);
/// c = a transposed, through work storage so that c may be a. False, with c unchanged, when c and
/// a differ in Size or Base1 or that storage cannot be had (reported as the heap reports it).
[[nodiscard]] QUIL_EXPORT bool TrnMtrxNN(MtrxNN* c, const MtrxNN* a);

}  // namespace quil

#ifndef QUIL_NO_GLOBAL_NAMES
using quil::MtrxNN;
using quil::GetMatrixNN;
using quil::FreeMatrixNN;
using quil::SetMtrxNNO;
using quil::AddMtrxNN;
using quil::SubMtrxNN;
using quil::SclMtrxNN;
using quil::MulMtrxNN;
using quil::TrnMtrxNN;
#endif
