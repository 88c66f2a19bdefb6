/// \file
/// SMtrx: a Rows x Cols matrix of double with suffix base 0 or 1, owning its storage.
///
/// Storage is one row table and one contiguous element block in row-major order. Elem[0] is
/// always the start of the block. With suffix base 1 the block carries one spare element in
/// front, so that Elem[1] (the row whose element 1 is the first one used) is the block start
/// itself and no row pointer ever lies outside the block. Fresh storage holds 0.0.
///
/// Misuse throws one of the nested exception classes by value; nothing here catches them.
///
/// Moves hand the storage over without a heap request. A moved-from matrix is 0 x 0 with no
/// storage and its suffix base kept: every subscript throws RangeErr, copying it or an operation
/// that makes a matrix from it throws AllocErr with Count 0 saying that it was moved from, and it
/// may be assigned again or destroyed. Its Val stays bound to it. No other matrix is without
/// storage: an assignment that fails leaves its target as it was.
#pragma once

#include <climits>
#include <concepts>
#include <cstdint>
#include <type_traits>

#include "QuilExport.h"
#include "objects/SError.h"

static_assert(sizeof(unsigned) * CHAR_BIT == 32, "counts and subscripts are 32-bit");

namespace quil {

/// \cond INTERNAL
namespace detail {

// A subscript of an integer type other than unsigned, which the templates below take and check
// at its full width. A floating-point subscript meets a deleted overload instead.
template <class I>
concept OtherSubscript = std::integral<I> && !std::same_as<I, unsigned>;

// True when the integer i is a 32-bit subscript; one beyond is never valid.
template <std::integral I>
constexpr bool Fits32(I i) {
    if constexpr (std::is_signed_v<I>)
        return i >= 0 && static_cast<std::uintmax_t>(i) <= UINT32_MAX;
    else
        return static_cast<std::uintmax_t>(i) <= UINT32_MAX;
}

}  // namespace detail
/// \endcond

/// A Rows x Cols matrix of double with suffix base 0 or 1, owning its storage (see the file's
/// notes).
class QUIL_EXPORT SMtrx {
public:
    /// A row or column subscript outside the valid range. what() says which subscript, row or
    /// column, and the valid range.
    struct RangeErr : SError {
        const SMtrx* Obj;   ///< the matrix subscripted
        unsigned Index;     ///< the subscript given
        /// The exception for row subscript index of obj, or column subscript when column.
        RangeErr(const SMtrx* obj, unsigned index, bool column = false) noexcept;
    };

    /// Too few elements (base 1 needs 2, base 0 needs 1), an element count Rows x Cols that
    /// does not fit in 32 bits, or no memory. Count is the 32-bit element count asked for.
    /// what() tells the cause from Obj's shape, or names the storage that an operation could
    /// not have (SMtrxNN::Inv's work copy: Count 0) when it is given.
    struct AllocErr : SError {
        const SMtrx* Obj;   ///< the matrix being made
        unsigned Count;     ///< the 32-bit element count asked for
        /// The exception for count elements of obj, or for the storage named.
        AllocErr(const SMtrx* obj, unsigned count, const char* storage = nullptr) noexcept;
        /// The exception of an operation (named when given) on obj, which has no elements since
        /// it was moved from. Count is 0.
        static AllocErr NoElements(const SMtrx* obj, const char* operation = nullptr) noexcept;

    private:
        friend class SMtrx;
        struct NoElementsTag {};
        AllocErr(const SMtrx* obj, const char* operation, NoElementsTag) noexcept;
        // The exception for a rows x cols matrix with suffix base base1 that obj was to become.
        AllocErr(const SMtrx* obj, unsigned rows, unsigned cols, bool base1) noexcept;
        // Appends why a rows x cols matrix could not be had.
        void PutShape(unsigned rows, unsigned cols, bool base1) noexcept;
    };

    /// Operands of a two-operand operator that differ in size (Kind 0) or suffix base
    /// (Kind 1). Both texts are always present; Msg[Kind] is the one that applies. what() names
    /// the operation when it is given, and the problem when it is not the one Msg[Kind] states.
    struct OpeErr : SError {
        const char* Msg[2];  ///< the texts for a size (0) and a suffix-base (1) mismatch
        unsigned Kind;       ///< code % 2: 0 for the sizes, 1 for the suffix bases
        /// The exception of kind code % 2, in operation and for problem when given.
        explicit OpeErr(unsigned code, const char* operation = nullptr,
                        const char* problem = nullptr) noexcept;
    };

    /// Row i as m[i] gives it: m[i][j] checks the column j as GetValue does (RangeErr {Obj, j}),
    /// for a subscript of any integer type, and the row still converts to the row pointer
    /// (double*, so also const double*) for code that takes it. Valid while the matrix keeps its
    /// storage.
    class Row {
    public:
        /// Row pointer p of obj.
        Row(SMtrx* obj, double* p) : Obj(obj), P(p) {}
        /// Element j of the row. Throws RangeErr for a column outside the valid range.
        template <std::integral I>
        double& operator[](I j) const {
            Obj->CheckCol(j);
            return P[static_cast<unsigned>(j)];
        }
        /// A floating-point subscript does not compile.
        template <std::floating_point F>
        void operator[](F) const = delete;
        /// The row pointer: p[j] is element (i, j), unchecked.
        operator double*() const { return P; }

    private:
        SMtrx* Obj;
        double* P;
    };

    /// Row i of a const matrix as m[i] gives it: checked as Row, read only.
    class ConstRow {
    public:
        /// Row pointer p of obj.
        ConstRow(const SMtrx* obj, const double* p) : Obj(obj), P(p) {}
        /// Element j of the row. Throws RangeErr for a column outside the valid range.
        template <std::integral I>
        const double& operator[](I j) const {
            Obj->CheckCol(j);
            return P[static_cast<unsigned>(j)];
        }
        /// A floating-point subscript does not compile.
        template <std::floating_point F>
        void operator[](F) const = delete;
        /// The row pointer: p[j] is element (i, j), unchecked.
        operator const double*() const { return P; }

    private:
        const SMtrx* Obj;
        const double* P;
    };

    /// Element (i, j) seen through Val: reading calls GetValue, writing calls SetValue.
    class ValElem {
    public:
        /// Element (i, j) of obj.
        ValElem(SMtrx* obj, unsigned i, unsigned j) : Obj(obj), I(i), J(j) {}
        /// Another proxy of the same element.
        ValElem(const ValElem&) = default;
        /// GetValue: throws RangeErr for a row or column outside the valid range.
        operator double() const { return Obj->GetValue(I, J); }
        /// SetValue: throws RangeErr for a row or column outside the valid range.
        ValElem& operator=(double v) {
            Obj->SetValue(I, J, v);
            return *this;
        }
        /// Assigns the element's value, not the proxy: A.Val[0][0] = B.Val[1][1].
        ValElem& operator=(const ValElem& other) { return *this = static_cast<double>(other); }

    private:
        SMtrx* Obj;
        unsigned I, J;
    };

    /// Row i seen through Val.
    class ValRow {
    public:
        /// Row i of obj.
        ValRow(SMtrx* obj, unsigned i) : Obj(obj), I(i) {}
        /// Element (i, j), checked when it is read or written.
        ValElem operator[](unsigned j) const { return {Obj, I, j}; }
        /// The same for a column of another integer type, checked at its full width.
        template <detail::OtherSubscript J>
        ValElem operator[](J j) const { return {Obj, I, Obj->NarrowCol(I, j)}; }
        /// A floating-point subscript does not compile.
        template <std::floating_point F>
        void operator[](F) const = delete;

    private:
        SMtrx* Obj;
        unsigned I;
    };

    /// Row i of a const matrix seen through Val.
    class ConstValRow {
    public:
        /// Row i of obj.
        ConstValRow(const SMtrx* obj, unsigned i) : Obj(obj), I(i) {}
        /// GetValue(i, j): throws RangeErr for a row or column outside the valid range.
        double operator[](unsigned j) const { return Obj->GetValue(I, j); }
        /// The same for a column of another integer type, checked at its full width.
        template <detail::OtherSubscript J>
        double operator[](J j) const { return Obj->GetValue(I, j); }
        /// A floating-point subscript does not compile.
        template <std::floating_point F>
        void operator[](F) const = delete;

    private:
        const SMtrx* Obj;
        unsigned I;
    };

    /// The indexed property Val[i][j]: both subscripts checked, the row first. It points back
    /// at its own matrix, so it is bound once at construction and never copied.
    class ValProperty {
    public:
        /// The property of obj.
        explicit ValProperty(SMtrx* obj) : Obj(obj) {}
        ValProperty(const ValProperty&) = delete;             ///< Never copied.
        ValProperty& operator=(const ValProperty&) = delete;  ///< Never copied.
        /// Row i; its elements are checked when they are read or written.
        ValRow operator[](unsigned i) { return {Obj, i}; }
        /// Row i; its elements are checked when they are read.
        ConstValRow operator[](unsigned i) const { return {Obj, i}; }
        /// Row i of another integer type, checked at its full width.
        template <detail::OtherSubscript I>
        ValRow operator[](I i) { return {Obj, Obj->NarrowRow(i)}; }
        /// Row i of another integer type, checked at its full width.
        template <detail::OtherSubscript I>
        ConstValRow operator[](I i) const { return {Obj, Obj->NarrowRow(i)}; }
        /// A floating-point subscript does not compile.
        template <std::floating_point F>
        void operator[](F) const = delete;

    private:
        SMtrx* Obj;
    };

    /// A rows x cols matrix of 0.0 with subscripts from 0, or from 1 when base1. Throws
    /// AllocErr for too few elements, an element count that does not fit in 32 bits, or no
    /// memory.
    SMtrx(unsigned rows, unsigned cols, bool base1);
    /// A deep copy. Throws AllocErr when the storage cannot be had, or when other has no
    /// elements (AllocErr::NoElements).
    SMtrx(const SMtrx& other);
    /// Takes other's storage without a heap request; other is left moved-from.
    SMtrx(SMtrx&& other) noexcept;
    /// Releases the storage.
    ~SMtrx();

    /// The target takes the shape and suffix base of other. When the new storage cannot be
    /// had, AllocErr is thrown and the target is left as it was (its old shape, elements and
    /// storage). A source with no elements throws AllocErr::NoElements, the target unchanged.
    SMtrx& operator=(const SMtrx& other);
    /// The target takes other's shape, suffix base and storage; its own storage is released.
    SMtrx& operator=(SMtrx&& other) noexcept;

    /// Row i, checked: throws RangeErr for a row outside the valid range. m[i][j] then checks
    /// the column; the row converts to double* for code that takes the row pointer, whose own
    /// subscripts are not checked.
    Row operator[](unsigned i);
    /// Row i, checked as the non-const one, read only.
    ConstRow operator[](unsigned i) const;
    /// Row i of another integer type, checked at its full width: a value that 32 bits cannot
    /// hold is out of range (RangeErr's Index is then the value modulo 2^32). Every subscript
    /// below takes any integer type so; a floating-point subscript does not compile.
    template <detail::OtherSubscript I>
    Row operator[](I i) { return (*this)[NarrowRow(i)]; }
    /// Row i of another integer type, checked at its full width, read only.
    template <detail::OtherSubscript I>
    ConstRow operator[](I i) const { return (*this)[NarrowRow(i)]; }
    /// A floating-point subscript does not compile.
    template <std::floating_point F>
    void operator[](F) const = delete;

    /// Element (i, j). Throws RangeErr for a row, then a column, outside the valid range.
    [[nodiscard]] double GetValue(unsigned i, unsigned j) const;
    /// Element (i, j) for subscripts of other integer types, checked at their full width.
    template <class I, class J>
        requires detail::OtherSubscript<I> || detail::OtherSubscript<J>
    [[nodiscard]] double GetValue(I i, J j) const {
        const unsigned row = NarrowRow(i);
        return GetValue(row, NarrowCol(row, j));
    }
    /// A floating-point subscript does not compile.
    template <class I, class J>
        requires std::floating_point<I> || std::floating_point<J>
    void GetValue(I, J) const = delete;
    /// Sets element (i, j) to v. Throws RangeErr as GetValue does.
    void SetValue(unsigned i, unsigned j, double v);
    /// Sets element (i, j) to v for subscripts of other integer types, checked at their full
    /// width.
    template <class I, class J>
        requires detail::OtherSubscript<I> || detail::OtherSubscript<J>
    void SetValue(I i, J j, double v) {
        const unsigned row = NarrowRow(i);
        SetValue(row, NarrowCol(row, j), v);
    }
    /// A floating-point subscript does not compile.
    template <class I, class J>
        requires std::floating_point<I> || std::floating_point<J>
    void SetValue(I, J, double) = delete;
    /// Sets every element to v.
    void SetValues(double v);

    /// Adds other element-wise; an operand of another shape or suffix base leaves this matrix
    /// unchanged, without an exception.
    SMtrx& operator+=(const SMtrx& other);
    /// Subtracts other element-wise; an operand of another shape or suffix base leaves this
    /// matrix unchanged, without an exception.
    SMtrx& operator-=(const SMtrx& other);
    /// Multiplies every element by s.
    void operator*=(double s);

    /// The number of rows.
    unsigned GetRows() const { return Rows; }
    /// The number of columns.
    unsigned GetCols() const { return Cols; }
    /// True for subscripts from 1.
    bool GetBase1() const { return Base1; }

    /// \cond INTERNAL
protected:
    /// Chooses the constructor that leaves the elements unset, for results whose every element
    /// is written before anyone reads it.
    struct Unfilled {};
    /// A rows x cols matrix whose elements are unset; throws AllocErr as SMtrx(rows, cols, base1).
    SMtrx(unsigned rows, unsigned cols, bool base1, Unfilled);

    bool Base1;      ///< subscripts from 1 when true, from 0 otherwise
    unsigned Rows;   ///< the number of rows
    unsigned Cols;   ///< the number of columns
    double** Elem;   ///< the row table: Elem[i][j] for valid subscripts

    /// The lowest valid subscript.
    unsigned Base() const { return Base1 ? 1u : 0u; }
    /// True when i is a valid row subscript.
    bool RowOk(unsigned i) const { return Base1 ? (i >= 1u && i <= Rows) : i < Rows; }
    /// True when j is a valid column subscript.
    bool ColOk(unsigned j) const { return Base1 ? (j >= 1u && j <= Cols) : j < Cols; }
    /// Why a matrix without storage (Elem null) has none, as the exceptions say it: it was
    /// moved from.
    static const char* NoElementsReason() noexcept;
    /// Throws RangeErr {this, j} unless j is a valid column subscript. A subscript that a
    /// 32-bit count cannot hold is never valid (Index is then its value modulo 2^32).
    template <std::integral I>
    void CheckCol(I j) const {
        if (!detail::Fits32(j) || !ColOk(static_cast<unsigned>(j)))
            throw RangeErr{this, static_cast<unsigned>(j), true};
    }
    /// The row subscript i as a 32-bit one; throws RangeErr {this, i} when it cannot be one.
    template <std::integral I>
    unsigned NarrowRow(I i) const {
        if (!detail::Fits32(i)) throw RangeErr{this, static_cast<unsigned>(i)};
        return static_cast<unsigned>(i);
    }
    /// The column subscript j of row i as a 32-bit one. When it cannot be one the row is
    /// checked first, as every access checks it, then RangeErr {this, j} thrown for the column.
    template <std::integral J>
    unsigned NarrowCol(unsigned i, J j) const {
        if (detail::Fits32(j)) return static_cast<unsigned>(j);
        if (!RowOk(i)) throw RangeErr{this, i};
        throw RangeErr{this, static_cast<unsigned>(j), true};
    }
    /// The Rows x Cols elements as one run, row after row; null without storage.
    double* Run() const { return Elem != nullptr ? Elem[Base()] + Base() : nullptr; }
    /// The number of elements, Rows x Cols.
    unsigned Count() const { return Rows * Cols; }

private:
    QUIL_NO_EXPORT void Allocate(bool zeroed);
    QUIL_NO_EXPORT double** Storage(unsigned rows, unsigned cols, bool base1, bool zeroed) const;
    QUIL_NO_EXPORT void Release();
    QUIL_NO_EXPORT void CopyElements(const SMtrx& other);
    /// \endcond

public:
    /// The indexed property: Val[i][j] reads and writes element (i, j) through GetValue and
    /// SetValue, both subscripts checked.
    ValProperty Val;
};

}  // namespace quil

#ifndef QUIL_NO_GLOBAL_NAMES
using quil::SMtrx;
#endif
