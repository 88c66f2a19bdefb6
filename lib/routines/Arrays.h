/// \file
/// Zero-filled one- and two-dimensional arrays addressed directly by subscript.
///
/// A handle is rebased: the caller indexes it with its own subscripts, lo..hi, and never
/// subtracts a base. Every array keeps one spare element (one spare row-table slot) just below
/// its lowest subscript, so subscripts lo - 1 .. hi reach the block.
///
/// A plain rebased pointer would lie outside its block whenever the lower bound is above 1, so a
/// handle here keeps the block address and the lower bound and forms each element's address
/// inside the block. Subscripts are unsigned 32-bit and wrap, so p[lo - 1] is the spare for
/// every lower bound, 0 included (p[-1]).
///
/// A two-dimensional array is a row table of nr + 1 entries (entry 0 the null spare slot) and
/// one element block of nr * nc + 1 elements (element 0 the spare). Table entry k points at the
/// element just before the first column of row rlo + k - 1, so consecutive rows lie nc elements
/// apart and the whole array is one run of nr * nc elements starting at a[rlo][clo]. Row
/// pointers are computed once, at allocation.
///
/// Bounds given in reverse order are swapped. Counts are unsigned 32-bit; a request whose
/// element count does not fit in 32 bits would hand out less storage than its subscripts reach,
/// so it is refused like any failed allocation: the report with the wrapped byte count, and null.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <utility>

#include "../QuilExport.h"
#include "Heap.h"

namespace quil {

constexpr std::int8_t ArrInt32 = 4;   ///< Element type code: 4-byte integers (pivot index vectors).
constexpr std::int8_t ArrDouble = 8;  ///< Element type code: double (every vector and matrix).

/// Width in bytes of an element of type code: 1, 1, 2, 4, 4, 4, 4, 4, 8, 10 for codes 0 to 9;
/// 0 for any other code.
QUIL_EXPORT std::uint32_t ElemSize(std::int8_t code);

/// Width in bytes of one row-table entry (a data pointer) for codes 0 to 9; 0 otherwise.
QUIL_EXPORT std::uint32_t RowPtrSize(std::int8_t code);

/// A one-dimensional array handle: p[i] for lo - 1 <= i <= hi. Null when Block is null.
template <class T>
struct Array1D {
    T* Block = nullptr;     ///< the heap block; its element 0 is the spare
    std::uint32_t Lo = 0;   ///< the lowest valid subscript

    /// A null handle.
    Array1D() = default;
    /// A null handle, so that a handle can be set to and compared with nullptr.
    Array1D(std::nullptr_t) {}

    /// Element i; not checked against the bounds, which the handle does not know.
    T& operator[](std::uint32_t i) const { return Block[static_cast<std::uint32_t>(i - Lo + 1u)]; }
    /// True unless the handle is null.
    explicit operator bool() const { return Block != nullptr; }
    /// True for a null handle.
    friend bool operator==(const Array1D& a, std::nullptr_t) { return a.Block == nullptr; }
};

/// One row of a two-dimensional array, indexed by column subscript.
template <class T>
struct ArrayRow {
    T* Start;               ///< the element just before column ColLo
    std::uint32_t ColLo;    ///< the lowest valid column subscript

    /// Element j of the row; not checked.
    T& operator[](std::uint32_t j) const { return Start[static_cast<std::uint32_t>(j - ColLo + 1u)]; }
};

/// A two-dimensional array handle: a[i][j] for rlo <= i <= rhi, clo <= j <= chi. Null when Table
/// is null.
template <class T>
struct Array2D {
    T** Table = nullptr;    ///< the row-table block; its entry 0 is the null spare slot
    std::uint32_t RowLo = 0;  ///< the lowest valid row subscript
    std::uint32_t ColLo = 0;  ///< the lowest valid column subscript

    /// A null handle.
    Array2D() = default;
    /// A null handle, so that a handle can be set to and compared with nullptr.
    Array2D(std::nullptr_t) {}

    /// Row i; not checked.
    ArrayRow<T> operator[](std::uint32_t i) const {
        return {Table[static_cast<std::uint32_t>(i - RowLo + 1u)], ColLo};
    }
    /// True unless the handle is null.
    explicit operator bool() const { return Table != nullptr; }
    /// True for a null handle.
    friend bool operator==(const Array2D& a, std::nullptr_t) { return a.Table == nullptr; }
};

/// Releases p (may be null). The handle knows its own block, so the bounds serve only to keep
/// the calling convention; codes outside 0 to 9 release nothing. Always returns null.
template <class T>
Array1D<T> FreeArray1D(std::int8_t type, Array1D<T> p, std::uint32_t lo, std::uint32_t hi) {
    (void)lo;
    (void)hi;
    if (p.Block != nullptr && ElemSize(type) != 0) FreeHeap(p.Block);
    return nullptr;
}

/// Releases old, then makes a zero-filled array over lo..hi (swapped if reversed), or returns
/// null after the heap's report (AllocErrMsg) when the block cannot be had or its element count
/// does not fit in 32 bits. T must be ElemSize(type) bytes wide; any other type, or a code
/// outside 0 to 9, gives null without an allocation and without a report.
template <class T>
[[nodiscard]] Array1D<T> GetArray1D(std::int8_t type, Array1D<T> old, std::uint32_t lo,
                                 std::uint32_t hi) {
    if (lo > hi) std::swap(lo, hi);
    const std::uint32_t count = hi - lo + 2u;
    FreeArray1D(type, old, lo, hi);
    const std::uint32_t size = ElemSize(type);
    if (size == 0 || size != sizeof(T)) return nullptr;
    if (count != std::uint64_t{hi} - lo + 2u) {
        AllocErrMsg(count * size);
        return nullptr;
    }
    Array1D<T> p;
    p.Block = static_cast<T*>(GetHeap(nullptr, count, size));
    if (p.Block == nullptr) return nullptr;
    p.Lo = lo;
    return p;
}

/// Releases a (may be null): the element block, then the row table. Always returns null.
template <class T>
Array2D<T> FreeArray2D(std::int8_t type, Array2D<T> a, std::uint32_t rlo, std::uint32_t rhi,
                       std::uint32_t clo, std::uint32_t chi) {
    (void)rlo;
    (void)rhi;
    (void)clo;
    (void)chi;
    if (a.Table != nullptr && ElemSize(type) != 0) {
        FreeHeap(a.Table[1]);
        FreeHeap(a.Table);
    }
    return nullptr;
}

/// Releases old, then makes a zero-filled array over rows rlo..rhi and columns clo..chi (each
/// pair swapped if reversed), or returns null after the report (AllocErrMsg) when the row
/// table or the element block cannot be had or a count does not fit in 32 bits. Type and code
/// are checked as GetArray1D checks them.
template <class T>
[[nodiscard]] Array2D<T> GetArray2D(std::int8_t type, Array2D<T> old, std::uint32_t rlo,
                                   std::uint32_t rhi, std::uint32_t clo, std::uint32_t chi) {
    if (rlo > rhi) std::swap(rlo, rhi);
    if (clo > chi) std::swap(clo, chi);
    const std::uint32_t nr = rhi - rlo + 1u;
    const std::uint32_t nc = chi - clo + 1u;
    FreeArray2D(type, old, rlo, rhi, clo, chi);
    const std::uint32_t size = ElemSize(type);
    if (size == 0 || size != sizeof(T)) return nullptr;

    const std::uint64_t rows = std::uint64_t{rhi} - rlo + 1u;
    const std::uint64_t cols = std::uint64_t{chi} - clo + 1u;
    const std::uint32_t ptrSize = RowPtrSize(type);
    if (nr + 1u != rows + 1u) {
        AllocErrMsg((nr + 1u) * ptrSize);
        return nullptr;
    }
    Array2D<T> a;
    a.Table = static_cast<T**>(std::calloc(nr + 1u, ptrSize));
    if (a.Table == nullptr) {
        AllocErrMsg((nr + 1u) * ptrSize);
        return nullptr;
    }
    const std::uint32_t count = nr * nc + 1u;
    if (cols > UINT32_MAX || count != rows * cols + 1u) {
        AllocErrMsg(count * size);
        FreeHeap(a.Table);
        return nullptr;
    }
    T* block = static_cast<T*>(GetHeap(nullptr, count, size));
    if (block == nullptr) {
        FreeHeap(a.Table);
        return nullptr;
    }
    for (std::uint32_t k = 1; k <= nr; ++k) a.Table[k] = block + std::size_t{k - 1u} * nc;
    a.RowLo = rlo;
    a.ColLo = clo;
    return a;
}

}  // namespace quil

#ifndef QUIL_NO_GLOBAL_NAMES
using quil::ArrInt32;
using quil::ArrDouble;
using quil::ElemSize;
using quil::RowPtrSize;
using quil::Array1D;
using quil::ArrayRow;
using quil::Array2D;
using quil::FreeArray1D;
using quil::GetArray1D;
using quil::FreeArray2D;
using quil::GetArray2D;
#endif
