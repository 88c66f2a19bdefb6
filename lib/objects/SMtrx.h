// SMtrx: a Rows x Cols matrix of double with suffix base 0 or 1, owning its storage.
//
// Storage is one row table and one contiguous element block in row-major order. Elem[0] is
// always the start of the block. With suffix base 1 the block carries one spare element in
// front, so that Elem[1] (the row whose element 1 is the first one used) is the block start
// itself and no row pointer ever lies outside the block. Fresh storage holds 0.0.
//
// Misuse throws one of the nested exception classes by value; nothing here catches them.
//
// Moves hand the storage over without a heap request. A moved-from matrix is 0 x 0 with no
// storage and its suffix base kept: every subscript throws RangeErr, an operation that makes a
// matrix of its shape throws AllocErr with Count 0 (as SMtrx(0, 0, b) does), and it may be
// assigned again or destroyed. Its Val stays bound to it.
#pragma once

#include <climits>

#include "objects/SError.h"

static_assert(sizeof(unsigned) * CHAR_BIT == 32, "counts and subscripts are 32-bit");

class SMtrx {
public:
    // A row or column subscript outside the valid range. what() says which subscript, row or
    // column, and the valid range.
    struct RangeErr : SError {
        const SMtrx* Obj;
        unsigned Index;
        RangeErr(const SMtrx* obj, unsigned index, bool column = false) noexcept;
    };

    // Too few elements (base 1 needs 2, base 0 needs 1), an element count Rows x Cols that
    // does not fit in 32 bits, or no memory. Count is the 32-bit element count asked for.
    // what() tells the cause from Obj's shape, or names the storage that an operation could
    // not have (SMtrxNN::Inv's work copy: Count 0) when it is given.
    struct AllocErr : SError {
        const SMtrx* Obj;
        unsigned Count;
        AllocErr(const SMtrx* obj, unsigned count, const char* storage = nullptr) noexcept;
    };

    // Operands of a two-operand operator that differ in size (Kind 0) or suffix base
    // (Kind 1). Both texts are always present; Msg[Kind] is the one that applies. what() names
    // the operation when it is given, and the problem when it is not the one Msg[Kind] states.
    struct OpeErr : SError {
        const char* Msg[2];
        unsigned Kind;
        explicit OpeErr(unsigned code, const char* operation = nullptr,
                        const char* problem = nullptr) noexcept;
    };

    // Element (i, j) seen through Val: reading calls GetValue, writing calls SetValue.
    class ValElem {
    public:
        ValElem(SMtrx* obj, unsigned i, unsigned j) : Obj(obj), I(i), J(j) {}
        ValElem(const ValElem&) = default;
        operator double() const { return Obj->GetValue(I, J); }
        ValElem& operator=(double v) {
            Obj->SetValue(I, J, v);
            return *this;
        }
        // Assigns the element's value, not the proxy: A.Val[0][0] = B.Val[1][1].
        ValElem& operator=(const ValElem& other) { return *this = static_cast<double>(other); }

    private:
        SMtrx* Obj;
        unsigned I, J;
    };

    class ValRow {
    public:
        ValRow(SMtrx* obj, unsigned i) : Obj(obj), I(i) {}
        ValElem operator[](unsigned j) const { return {Obj, I, j}; }

    private:
        SMtrx* Obj;
        unsigned I;
    };

    class ConstValRow {
    public:
        ConstValRow(const SMtrx* obj, unsigned i) : Obj(obj), I(i) {}
        double operator[](unsigned j) const { return Obj->GetValue(I, j); }

    private:
        const SMtrx* Obj;
        unsigned I;
    };

    // The indexed property Val[i][j]: both subscripts checked, the row first. It points back
    // at its own matrix, so it is bound once at construction and never copied.
    class ValProperty {
    public:
        explicit ValProperty(SMtrx* obj) : Obj(obj) {}
        ValProperty(const ValProperty&) = delete;
        ValProperty& operator=(const ValProperty&) = delete;
        ValRow operator[](unsigned i) { return {Obj, i}; }
        ConstValRow operator[](unsigned i) const { return {Obj, i}; }

    private:
        SMtrx* Obj;
    };

    SMtrx(unsigned rows, unsigned cols, bool base1);
    SMtrx(const SMtrx& other);
    SMtrx(SMtrx&& other) noexcept;
    ~SMtrx();

    // The target takes the shape and suffix base of other. When the new storage cannot be
    // had, AllocErr is thrown after the old storage was released: the target then holds the
    // new shape and no storage, and may only be destroyed or assigned again.
    SMtrx& operator=(const SMtrx& other);
    // The target takes other's shape, suffix base and storage; its own storage is released.
    SMtrx& operator=(SMtrx&& other) noexcept;

    // Row i (checked); the column subscript of m[i][j] is not checked.
    double* operator[](unsigned i);
    const double* operator[](unsigned i) const;

    double GetValue(unsigned i, unsigned j) const;
    void SetValue(unsigned i, unsigned j, double v);
    void SetValues(double v);

    // Element-wise; an operand of another shape or suffix base leaves this matrix unchanged.
    SMtrx& operator+=(const SMtrx& other);
    SMtrx& operator-=(const SMtrx& other);
    void operator*=(double s);

    unsigned GetRows() const { return Rows; }
    unsigned GetCols() const { return Cols; }
    bool GetBase1() const { return Base1; }

protected:
    bool Base1;
    unsigned Rows;
    unsigned Cols;
    double** Elem;

    // The lowest valid subscript.
    unsigned Base() const { return Base1 ? 1u : 0u; }
    bool RowOk(unsigned i) const { return Base1 ? (i >= 1u && i <= Rows) : i < Rows; }
    bool ColOk(unsigned j) const { return Base1 ? (j >= 1u && j <= Cols) : j < Cols; }

private:
    void Allocate();
    void Release();
    void CopyElements(const SMtrx& other);

public:
    ValProperty Val;
};
