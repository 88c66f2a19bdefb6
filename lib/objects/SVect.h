// SVect: a vector of double with suffix base 0 or 1, owning its elements.
//
// Elem holds Size doubles for suffix base 0 and Size + 1 for suffix base 1 (element 0 unused),
// so subscripts index the array directly. Fresh elements hold 0.0. Misuse throws one of the
// nested exception classes by value; nothing here catches them.
//
// Moves hand the array over without a heap request. A moved-from vector has Size 0 and no
// array, its suffix base kept: every subscript throws RangeErr, an operation that makes a
// vector of its size throws AllocErr with Count 0 (as SVect(0) does), and it may be assigned
// again or destroyed. Its Val stays bound to it.
#pragma once

#include "objects/SError.h"
#include "objects/SMtrx.h"
#include "objects/SMtrxNN.h"

class SVect {
public:
    // A subscript outside the valid range. what() says which subscript and the valid range.
    struct RangeErr : SError {
        const SVect* Obj;
        unsigned Index;
        RangeErr(const SVect* obj, unsigned index) noexcept;
    };

    // Fewer than 2 elements asked for, or no memory. Count is the element count asked for;
    // what() tells which of the two.
    struct AllocErr : SError {
        const SVect* Obj;
        unsigned Count;
        AllocErr(const SVect* obj, unsigned count) noexcept;
    };

    // Operands that differ in size (Kind 0) or suffix base (Kind 1). Both texts are always
    // present; Msg[Kind] is the one that applies. what() names the operation when it is given.
    struct OpeErr : SError {
        const char* Msg[2];
        unsigned Kind;
        explicit OpeErr(unsigned code, const char* operation = nullptr) noexcept;
    };

    // Element i seen through Val: reading calls GetValue, writing calls SetValue.
    class ValElem {
    public:
        ValElem(SVect* obj, unsigned i) : Obj(obj), I(i) {}
        ValElem(const ValElem&) = default;
        operator double() const { return Obj->GetValue(I); }
        ValElem& operator=(double x) {
            Obj->SetValue(I, x);
            return *this;
        }
        // Assigns the element's value, not the proxy: a.Val[0] = b.Val[1].
        ValElem& operator=(const ValElem& other) { return *this = static_cast<double>(other); }

    private:
        SVect* Obj;
        unsigned I;
    };

    // The indexed property Val[i]. It points back at its own vector, so it is bound once at
    // construction and never copied.
    class ValProperty {
    public:
        explicit ValProperty(SVect* obj) : Obj(obj) {}
        ValProperty(const ValProperty&) = delete;
        ValProperty& operator=(const ValProperty&) = delete;
        ValElem operator[](unsigned i) { return {Obj, i}; }
        double operator[](unsigned i) const { return Obj->GetValue(i); }

    private:
        SVect* Obj;
    };

    explicit SVect(unsigned n, bool base1 = false);
    SVect(const SVect& src);
    SVect(SVect&& src) noexcept;
    ~SVect();

    // The target takes the size and suffix base of src. When the new array cannot be had,
    // AllocErr is thrown after the old array was released: the target then holds the new
    // size and no array, and may only be destroyed or assigned again.
    SVect& operator=(const SVect& src);
    // The target takes src's size, suffix base and array; its own array is released.
    SVect& operator=(SVect&& src) noexcept;

    double& operator[](unsigned i);
    const double& operator[](unsigned i) const;
    double GetValue(unsigned i) const;
    void SetValue(unsigned i, double x);

    unsigned GetSize() const { return Size; }
    bool GetBase1() const { return Base1; }

    SVect operator+() const;
    // Negates every element, so 0.0 becomes -0.0.
    SVect operator-() const;

    // Element-wise; an operand of another size or suffix base leaves this vector unchanged.
    SVect& operator+=(const SVect& b);
    SVect& operator-=(const SVect& b);
    SVect& operator*=(double d);

    friend double operator|(const SVect& a, const SVect& b);
    friend SVect operator*(const SMtrx& m, const SVect& x);

private:
    bool Base1;
    unsigned Size;
    double* Elem;

    unsigned Base() const { return Base1 ? 1u : 0u; }
    bool IndexOk(unsigned i) const { return Base1 ? (i >= 1u && i <= Size) : i < Size; }
    void Allocate();
    void CopyElements(const SVect& src);

public:
    ValProperty Val;
};

// Throw OpeErr Kind 0 when the sizes differ, else Kind 1 when the suffix bases differ.
SVect operator+(const SVect& a, const SVect& b);
SVect operator-(const SVect& a, const SVect& b);

SVect operator*(double d, const SVect& a);
SVect operator*(const SVect& a, double d);

// The inner product; 0.0 for operands of different size or suffix base.
double operator|(const SVect& a, const SVect& b);

// The matrix-vector product, a vector of m's row count and suffix base. Throws OpeErr Kind 0
// when x's size differs from m's column count, else Kind 1 when the suffix bases differ; a
// matrix of one row gives AllocErr (a vector needs 2 elements).
SVect operator*(const SMtrx& m, const SVect& x);
SVect operator*(const SMtrxNN& m, const SVect& x);
