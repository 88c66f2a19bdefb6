/// \file
/// SVect: a vector of double with suffix base 0 or 1, owning its elements.
///
/// Elem holds Size doubles for suffix base 0 and Size + 1 for suffix base 1 (element 0 unused),
/// so subscripts index the array directly. Fresh elements hold 0.0. Misuse throws one of the
/// nested exception classes by value; nothing here catches them.
///
/// Moves hand the array over without a heap request. A moved-from vector has Size 0 and no
/// array, its suffix base kept: every subscript throws RangeErr; copying it, assigning it, or an
/// operator or product that takes it as an operand throws AllocErr with Count 0 saying that it
/// was moved from (the compound operators and the inner product take it as an operand of
/// another size: nothing happens, 0.0); and it may be assigned again or destroyed. Its Val stays
/// bound to it. No other vector is without its array: an assignment that fails leaves its
/// target as it was.
#pragma once

#include "QuilExport.h"
#include "objects/SError.h"
#include "objects/SMtrx.h"
#include "objects/SMtrxNN.h"

namespace quil {

/// A vector of double with suffix base 0 or 1, owning its elements (see the file's notes).
class QUIL_EXPORT SVect {
public:
    /// A subscript outside the valid range. what() says which subscript and the valid range.
    struct RangeErr : SError {
        const SVect* Obj;   ///< the vector subscripted
        unsigned Index;     ///< the subscript given
        /// The exception for subscript index of obj.
        RangeErr(const SVect* obj, unsigned index) noexcept;
    };

    /// Fewer than 2 elements asked for, or no memory. Count is the element count asked for;
    /// what() tells which of the two.
    struct AllocErr : SError {
        const SVect* Obj;   ///< the vector being made
        unsigned Count;     ///< the element count asked for
        /// The exception for count elements of obj.
        AllocErr(const SVect* obj, unsigned count) noexcept;
        /// The exception of an operation (named when given) on obj, which has no elements since
        /// it was moved from. Count is 0.
        static AllocErr NoElements(const SVect* obj, const char* operation = nullptr) noexcept;

    private:
        struct NoElementsTag {};
        AllocErr(const SVect* obj, const char* operation, NoElementsTag) noexcept;
    };

    /// Operands that differ in size (Kind 0) or suffix base (Kind 1). Both texts are always
    /// present; Msg[Kind] is the one that applies. what() names the operation when it is given.
    struct OpeErr : SError {
        const char* Msg[2];  ///< the texts for a size (0) and a suffix-base (1) mismatch
        unsigned Kind;       ///< code % 2: 0 for the sizes, 1 for the suffix bases
        /// The exception of kind code % 2, in operation when given.
        explicit OpeErr(unsigned code, const char* operation = nullptr) noexcept;
    };

    /// Element i seen through Val: reading calls GetValue, writing calls SetValue.
    class ValElem {
    public:
        /// Element i of obj.
        ValElem(SVect* obj, unsigned i) : Obj(obj), I(i) {}
        /// Another proxy of the same element.
        ValElem(const ValElem&) = default;
        /// GetValue: throws RangeErr for a subscript outside the valid range.
        operator double() const { return Obj->GetValue(I); }
        /// SetValue: throws RangeErr for a subscript outside the valid range.
        ValElem& operator=(double x) {
            Obj->SetValue(I, x);
            return *this;
        }
        /// Assigns the element's value, not the proxy: a.Val[0] = b.Val[1].
        ValElem& operator=(const ValElem& other) { return *this = static_cast<double>(other); }

    private:
        SVect* Obj;
        unsigned I;
    };

    /// The indexed property Val[i]. It points back at its own vector, so it is bound once at
    /// construction and never copied.
    class ValProperty {
    public:
        /// The property of obj.
        explicit ValProperty(SVect* obj) : Obj(obj) {}
        ValProperty(const ValProperty&) = delete;             ///< Never copied.
        ValProperty& operator=(const ValProperty&) = delete;  ///< Never copied.
        /// Element i, checked when it is read or written.
        ValElem operator[](unsigned i) { return {Obj, i}; }
        /// GetValue(i): throws RangeErr for a subscript outside the valid range.
        double operator[](unsigned i) const { return Obj->GetValue(i); }
        /// Element i of another integer type, checked at its full width.
        template <detail::OtherSubscript I>
        ValElem operator[](I i) { return {Obj, Obj->Narrow(i)}; }
        /// GetValue(i) for a subscript of another integer type, checked at its full width.
        template <detail::OtherSubscript I>
        double operator[](I i) const { return Obj->GetValue(i); }
        /// A floating-point subscript does not compile.
        template <std::floating_point F>
        void operator[](F) const = delete;

    private:
        SVect* Obj;
    };

    /// n elements of 0.0 with subscripts 0..n-1, or 1..n when base1. Throws AllocErr for n
    /// below 2 or when the elements cannot be had.
    explicit SVect(unsigned n, bool base1 = false);
    /// A deep copy. Throws AllocErr when the elements cannot be had.
    SVect(const SVect& src);
    /// Takes src's elements without a heap request; src is left moved-from.
    SVect(SVect&& src) noexcept;
    /// Releases the elements.
    ~SVect();

    /// The target takes the size and suffix base of src. When the new array cannot be had,
    /// AllocErr is thrown and the target is left as it was. A source with no elements (moved
    /// from) throws AllocErr::NoElements, the target unchanged.
    SVect& operator=(const SVect& src);
    /// The target takes src's size, suffix base and array; its own array is released.
    SVect& operator=(SVect&& src) noexcept;

    /// Element i. Throws RangeErr for a subscript outside the valid range.
    double& operator[](unsigned i);
    /// Element i. Throws RangeErr for a subscript outside the valid range.
    const double& operator[](unsigned i) const;
    /// Element i for a subscript of another integer type, checked at its full width: a value
    /// that 32 bits cannot hold is out of range (RangeErr's Index is then the value modulo
    /// 2^32). Every subscript below takes any integer type so; a floating-point subscript does
    /// not compile.
    template <detail::OtherSubscript I>
    double& operator[](I i) { return (*this)[Narrow(i)]; }
    /// Element i for a subscript of another integer type, checked at its full width.
    template <detail::OtherSubscript I>
    const double& operator[](I i) const { return (*this)[Narrow(i)]; }
    /// A floating-point subscript does not compile.
    template <std::floating_point F>
    void operator[](F) const = delete;
    /// Element i. Throws RangeErr for a subscript outside the valid range.
    [[nodiscard]] double GetValue(unsigned i) const;
    /// Element i for a subscript of another integer type, checked at its full width.
    template <detail::OtherSubscript I>
    [[nodiscard]] double GetValue(I i) const { return GetValue(Narrow(i)); }
    /// A floating-point subscript does not compile.
    template <std::floating_point F>
    void GetValue(F) const = delete;
    /// Sets element i to x. Throws RangeErr for a subscript outside the valid range.
    void SetValue(unsigned i, double x);
    /// Sets element i to x for a subscript of another integer type, checked at its full width.
    template <detail::OtherSubscript I>
    void SetValue(I i, double x) { SetValue(Narrow(i), x); }
    /// A floating-point subscript does not compile.
    template <std::floating_point F>
    void SetValue(F, double) = delete;

    /// The number of elements.
    unsigned GetSize() const { return Size; }
    /// True for subscripts from 1.
    bool GetBase1() const { return Base1; }

    /// A copy. Throws AllocErr when it cannot be made.
    [[nodiscard]] SVect operator+() const;
    /// Negates every element, so 0.0 becomes -0.0. Throws AllocErr when the result cannot be
    /// made.
    [[nodiscard]] SVect operator-() const;

    /// Adds b element-wise; an operand of another size or suffix base leaves this vector
    /// unchanged, without an exception.
    SVect& operator+=(const SVect& b);
    /// Subtracts b element-wise; an operand of another size or suffix base leaves this vector
    /// unchanged, without an exception.
    SVect& operator-=(const SVect& b);
    /// Multiplies every element by d.
    SVect& operator*=(double d);

    friend QUIL_EXPORT double operator|(const SVect& a, const SVect& b);
    friend QUIL_EXPORT SVect operator*(const SMtrx& m, const SVect& x);

private:
    bool Base1;
    unsigned Size;
    double* Elem;

    unsigned Base() const { return Base1 ? 1u : 0u; }
    bool IndexOk(unsigned i) const { return Base1 ? (i >= 1u && i <= Size) : i < Size; }
    // The subscript i as a 32-bit one; throws RangeErr {this, i} when it cannot be one.
    template <std::integral I>
    unsigned Narrow(I i) const {
        if (!detail::Fits32(i)) throw RangeErr{this, static_cast<unsigned>(i)};
        return static_cast<unsigned>(i);
    }
    QUIL_NO_EXPORT void Allocate();
    QUIL_NO_EXPORT double* Array(unsigned n, bool base1) const;
    QUIL_NO_EXPORT void CopyElements(const SVect& src);
    // Throws AllocErr::NoElements naming operation when this vector was moved from.
    QUIL_NO_EXPORT void RequireElements(const char* operation) const;
    friend QUIL_EXPORT SVect operator+(const SVect& a, const SVect& b);
    friend QUIL_EXPORT SVect operator-(const SVect& a, const SVect& b);
    friend QUIL_EXPORT SVect operator*(double d, const SVect& a);
    friend class SMtrxNN;

public:
    /// The indexed property: Val[i] reads and writes element i through GetValue and SetValue.
    ValProperty Val;
};

/// a + b. Throws OpeErr Kind 0 when the sizes differ, else Kind 1 when the suffix bases differ;
/// AllocErr when the result cannot be made.
[[nodiscard]] QUIL_EXPORT SVect operator+(const SVect& a, const SVect& b);
/// a - b; throws as a + b does.
[[nodiscard]] QUIL_EXPORT SVect operator-(const SVect& a, const SVect& b);

/// d a. Throws AllocErr when the result cannot be made.
[[nodiscard]] QUIL_EXPORT SVect operator*(double d, const SVect& a);
/// a d. Throws AllocErr when the result cannot be made.
[[nodiscard]] QUIL_EXPORT SVect operator*(const SVect& a, double d);

/// The inner product; 0.0 for operands of different size or suffix base, without an
/// exception.
[[nodiscard]] QUIL_EXPORT double operator|(const SVect& a, const SVect& b);

/// The matrix-vector product, a vector of m's row count and suffix base. Throws OpeErr Kind 0
/// when x's size differs from m's column count, else Kind 1 when the suffix bases differ; a
/// matrix of one row gives AllocErr (a vector needs 2 elements), and so does a result that
/// cannot be made.
[[nodiscard]] QUIL_EXPORT SVect operator*(const SMtrx& m, const SVect& x);
/// The matrix-vector product, as for an SMtrx.
[[nodiscard]] QUIL_EXPORT SVect operator*(const SMtrxNN& m, const SVect& x);

}  // namespace quil

#ifndef QUIL_NO_GLOBAL_NAMES
using quil::SVect;
#endif
