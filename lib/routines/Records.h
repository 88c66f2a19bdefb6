/// \file
/// The library's records: vectors (Vect), general matrices (Mtrx) and square matrices (MtrxNN),
/// without their routines (routines/Vect.h and routines/MtrxNN.h declare those). Every part of
/// the library that holds a record, down to its work storage, includes this header alone.
#pragma once

#include <cstdint>

#include "Arrays.h"

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

/// A square matrix of order n: Elem[i][j] for the subscripts of its suffix base.
struct MtrxNN {
    std::uint32_t Size;     ///< the order n
    bool Base1;             ///< subscripts 1..n when true, 0..n-1 otherwise
    Array2D<double> Elem;   ///< the elements, Elem[i][j]
};

}  // namespace quil

#ifndef QUIL_NO_GLOBAL_NAMES
using quil::Vect;
using quil::Mtrx;
using quil::MtrxNN;
#endif
