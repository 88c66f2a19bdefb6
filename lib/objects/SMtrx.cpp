#include "objects/SMtrx.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

#include "routines/detail/Arithmetic.h"

// Loops below run over a matrix's own subscripts, i from b while i - b < Rows; the unsigned
// difference keeps the bound from wrapping.

SMtrx::OpeErr::OpeErr(unsigned code)
    : Msg{"The size of SMtrx objects is different\r\nbetween the operator.",
          "The suffix base of SMtrx objects is different\r\nbetween the operator."},
      Kind(code % 2u) {}

SMtrx::SMtrx(unsigned rows, unsigned cols, bool base1)
    : Base1(base1), Rows(rows), Cols(cols), Elem(nullptr), Val(this) {
    Allocate();
}

SMtrx::SMtrx(const SMtrx& other)
    : Base1(other.Base1), Rows(other.Rows), Cols(other.Cols), Elem(nullptr), Val(this) {
    Allocate();
    CopyElements(other);
}

SMtrx::~SMtrx() { Release(); }

SMtrx& SMtrx::operator=(const SMtrx& other) {
    if (&other == this) return *this;
    Release();
    Base1 = other.Base1;
    Rows = other.Rows;
    Cols = other.Cols;
    Allocate();
    CopyElements(other);
    return *this;
}

// Makes the row table and the zero-filled element block for Rows, Cols and Base1, or throws
// AllocErr with Elem left null.
void SMtrx::Allocate() {
    const unsigned count = Rows * Cols;
    if (Base1 ? count <= 1u : count == 0u) throw AllocErr{this, count};
    // A wrapped 32-bit count would give a block shorter than the rows reach.
    if (std::uint64_t{Rows} * Cols != count) throw AllocErr{this, count};

    const std::size_t spare = Base1 ? 1u : 0u;
    const std::size_t entries = std::size_t{Rows} + spare;
    // Where size_t has 32 bits, the spare slot can wrap a table or block of 2^32 - 1 to none.
    if (entries < spare || std::size_t{count} + spare < spare) throw AllocErr{this, count};
    std::unique_ptr<double*[]> table;
    std::unique_ptr<double[]> block;
    try {
        table.reset(new double*[entries]);
        block.reset(new double[std::size_t{count} + spare]());
    } catch (const std::bad_alloc&) {
        throw AllocErr{this, count};
    }

    table[0] = block.get();
    if (Base1) table[1] = block.get();  // so that Elem[1][1] is block[1], after the spare
    for (std::size_t k = 1 + spare; k < entries; ++k) table[k] = table[k - 1] + Cols;
    block.release();
    Elem = table.release();
}

void SMtrx::Release() {
    if (Elem == nullptr) return;
    delete[] Elem[0];
    delete[] Elem;
    Elem = nullptr;
}

// Both matrices have the same shape and suffix base.
void SMtrx::CopyElements(const SMtrx& other) {
    const unsigned b = Base();
    for (unsigned i = b; i - b < Rows; ++i)
        for (unsigned j = b; j - b < Cols; ++j) Elem[i][j] = other.Elem[i][j];
}

double* SMtrx::operator[](unsigned i) {
    if (!RowOk(i)) throw RangeErr{this, i};
    return Elem[i];
}

const double* SMtrx::operator[](unsigned i) const {
    if (!RowOk(i)) throw RangeErr{this, i};
    return Elem[i];
}

double SMtrx::GetValue(unsigned i, unsigned j) const {
    if (!RowOk(i)) throw RangeErr{this, i};
    if (!ColOk(j)) throw RangeErr{this, j};
    return Elem[i][j];
}

void SMtrx::SetValue(unsigned i, unsigned j, double v) {
    if (!RowOk(i)) throw RangeErr{this, i};
    if (!ColOk(j)) throw RangeErr{this, j};
    Elem[i][j] = v;
}

void SMtrx::SetValues(double v) {
    const unsigned b = Base();
    for (unsigned i = b; i - b < Rows; ++i)
        for (unsigned j = b; j - b < Cols; ++j) Elem[i][j] = v;
}

SMtrx& SMtrx::operator+=(const SMtrx& other) {
    if (other.Rows != Rows || other.Cols != Cols || other.Base1 != Base1) return *this;
    const unsigned b = Base();
    for (unsigned i = b; i - b < Rows; ++i)
        for (unsigned j = b; j - b < Cols; ++j) Elem[i][j] = Elem[i][j] + other.Elem[i][j];
    return *this;
}

SMtrx& SMtrx::operator-=(const SMtrx& other) {
    if (other.Rows != Rows || other.Cols != Cols || other.Base1 != Base1) return *this;
    const unsigned b = Base();
    for (unsigned i = b; i - b < Rows; ++i)
        for (unsigned j = b; j - b < Cols; ++j) Elem[i][j] = Elem[i][j] - other.Elem[i][j];
    return *this;
}

void SMtrx::operator*=(double s) {
    const unsigned b = Base();
    for (unsigned i = b; i - b < Rows; ++i)
        for (unsigned j = b; j - b < Cols; ++j) Elem[i][j] = Elem[i][j] * s;
}
