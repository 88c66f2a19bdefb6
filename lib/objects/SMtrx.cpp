#include "objects/SMtrx.h"

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>

#include "routines/kernels/Kernels.h"

namespace quil {

// Loops below run over a matrix's own subscripts, i from b while i - b < Rows; the unsigned
// difference keeps the bound from wrapping.

SMtrx::RangeErr::RangeErr(const SMtrx* obj, unsigned index, bool column) noexcept
    : SError("SMtrx::RangeErr"), Obj(obj), Index(index) {
    PutOutOfRange(column ? "column " : "row ", index);
    if (obj != nullptr) PutValid(obj->Base(), column ? obj->Cols : obj->Rows);
}

// Without a named storage the cause follows from the shape being made, as Storage finds it.
SMtrx::AllocErr::AllocErr(const SMtrx* obj, unsigned count, const char* storage) noexcept
    : SError("SMtrx::AllocErr"), Obj(obj), Count(count) {
    if (storage != nullptr) {
        Put("no memory for ");
        Put(storage);
        return;
    }
    if (obj == nullptr) {
        Put(count);
        Put(" elements refused");
        return;
    }
    PutShape(obj->Rows, obj->Cols, obj->Base1);
}

SMtrx::AllocErr::AllocErr(const SMtrx* obj, unsigned rows, unsigned cols, bool base1) noexcept
    : SError("SMtrx::AllocErr"), Obj(obj), Count(rows * cols) {
    PutShape(rows, cols, base1);
}

void SMtrx::AllocErr::PutShape(unsigned rows, unsigned cols, bool base1) noexcept {
    if (std::uint64_t{rows} * cols > UINT32_MAX)
        Put("more elements than 32 bits can count: ");
    else if (base1 ? Count <= 1u : Count == 0u)
        Put(base1 ? "a matrix with suffix base 1 needs 2 elements at least, not "
                  : "a matrix with suffix base 0 needs 1 element at least, not ");
    else
        Put("no memory for ");
    Put(rows);
    Put(" x ");
    Put(cols);
}

SMtrx::AllocErr SMtrx::AllocErr::NoElements(const SMtrx* obj, const char* operation) noexcept {
    return AllocErr{obj, operation, NoElementsTag{}};
}

SMtrx::AllocErr::AllocErr(const SMtrx* obj, const char* operation, NoElementsTag) noexcept
    : SError("SMtrx::AllocErr", operation), Obj(obj), Count(0) {
    Put(obj->NoElementsReason());
}

const char* SMtrx::NoElementsReason() noexcept { return "the matrix was moved from and has no elements"; }

SMtrx::OpeErr::OpeErr(unsigned code, const char* operation, const char* problem) noexcept
    : SError("SMtrx::OpeErr", operation),
      Msg{"The size of SMtrx objects is different\r\nbetween the operator.",
          "The suffix base of SMtrx objects is different\r\nbetween the operator."},
      Kind(code % 2u) {
    Put(problem != nullptr ? problem : Msg[Kind]);
}

SMtrx::SMtrx(unsigned rows, unsigned cols, bool base1)
    : Base1(base1), Rows(rows), Cols(cols), Elem(nullptr), Val(this) {
    Allocate(true);
}

SMtrx::SMtrx(unsigned rows, unsigned cols, bool base1, Unfilled)
    : Base1(base1), Rows(rows), Cols(cols), Elem(nullptr), Val(this) {
    Allocate(false);
}

SMtrx::SMtrx(const SMtrx& other)
    : Base1(other.Base1), Rows(other.Rows), Cols(other.Cols), Elem(nullptr), Val(this) {
    if (other.Elem == nullptr) throw AllocErr::NoElements(&other, "a copy of SMtrx");
    Allocate(false);
    CopyElements(other);
}

SMtrx::SMtrx(SMtrx&& other) noexcept
    : Base1(other.Base1),
      Rows(std::exchange(other.Rows, 0u)),
      Cols(std::exchange(other.Cols, 0u)),
      Elem(std::exchange(other.Elem, nullptr)),
      Val(this) {}

SMtrx::~SMtrx() { Release(); }

// The new storage is had before the old goes, so that a failure leaves the target as it was.
SMtrx& SMtrx::operator=(const SMtrx& other) {
    if (&other == this) return *this;
    if (other.Elem == nullptr) throw AllocErr::NoElements(&other, "an assignment of SMtrx");
    double** storage = Storage(other.Rows, other.Cols, other.Base1, false);
    Release();
    Base1 = other.Base1;
    Rows = other.Rows;
    Cols = other.Cols;
    Elem = storage;
    CopyElements(other);
    return *this;
}

SMtrx& SMtrx::operator=(SMtrx&& other) noexcept {
    if (&other == this) return *this;
    Release();
    Base1 = other.Base1;
    Rows = std::exchange(other.Rows, 0u);
    Cols = std::exchange(other.Cols, 0u);
    Elem = std::exchange(other.Elem, nullptr);
    return *this;
}

// Makes the storage for Rows, Cols and Base1, or throws AllocErr with Elem left null.
void SMtrx::Allocate(bool zeroed) { Elem = Storage(Rows, Cols, Base1, zeroed); }

// The element block and the row table of a rows x cols matrix with suffix base base1, in one heap
// request, the table after the elements; or AllocErr {this, rows x cols} for that shape. The
// elements are 0.0 when zeroed and unset otherwise.
double** SMtrx::Storage(unsigned rows, unsigned cols, bool base1, bool zeroed) const {
    const unsigned count = rows * cols;
    if (base1 ? count <= 1u : count == 0u) throw AllocErr{this, rows, cols, base1};
    // A wrapped 32-bit count would give a block shorter than the rows reach.
    if (std::uint64_t{rows} * cols != count) throw AllocErr{this, rows, cols, base1};

    const std::size_t spare = base1 ? 1u : 0u;
    const std::size_t entries = std::size_t{rows} + spare;
    const std::size_t elements = std::size_t{count} + spare;
    // Where size_t has 32 bits, the spare slot can wrap a table or block of 2^32 - 1 to none, and
    // the bytes of both can exceed what size_t counts.
    if (entries < spare || elements < spare) throw AllocErr{this, rows, cols, base1};
    if (elements > (SIZE_MAX - entries * sizeof(double*)) / sizeof(double))
        throw AllocErr{this, rows, cols, base1};
    const std::size_t bytes = elements * sizeof(double) + entries * sizeof(double*);
    unsigned char* storage;
    try {
        storage = new unsigned char[bytes];
    } catch (const std::bad_alloc&) {
        throw AllocErr{this, rows, cols, base1};
    }

    double* block = reinterpret_cast<double*>(storage);
    if (zeroed)
        for (std::size_t k = 0; k < elements; ++k) block[k] = 0.0;
    double** table = reinterpret_cast<double**>(storage + elements * sizeof(double));
    table[0] = block;
    if (base1) table[1] = block;  // so that Elem[1][1] is block[1], after the spare
    for (std::size_t k = 1 + spare; k < entries; ++k) table[k] = table[k - 1] + cols;
    return table;
}

void SMtrx::Release() {
    if (Elem == nullptr) return;
    delete[] reinterpret_cast<unsigned char*>(Elem[0]);
    Elem = nullptr;
}

// Both matrices have the same shape and suffix base.
void SMtrx::CopyElements(const SMtrx& other) {
    const double* from = other.Run();
    double* to = Run();
    for (unsigned k = 0; k < Count(); ++k) to[k] = from[k];
}

SMtrx::Row SMtrx::operator[](unsigned i) {
    if (!RowOk(i)) throw RangeErr{this, i};
    return {this, Elem[i]};
}

SMtrx::ConstRow SMtrx::operator[](unsigned i) const {
    if (!RowOk(i)) throw RangeErr{this, i};
    return {this, Elem[i]};
}

double SMtrx::GetValue(unsigned i, unsigned j) const {
    if (!RowOk(i)) throw RangeErr{this, i};
    if (!ColOk(j)) throw RangeErr{this, j, true};
    return Elem[i][j];
}

void SMtrx::SetValue(unsigned i, unsigned j, double v) {
    if (!RowOk(i)) throw RangeErr{this, i};
    if (!ColOk(j)) throw RangeErr{this, j, true};
    Elem[i][j] = v;
}

void SMtrx::SetValues(double v) {
    const unsigned b = Base();
    for (unsigned i = b; i - b < Rows; ++i)
        for (unsigned j = b; j - b < Cols; ++j) Elem[i][j] = v;
}

// Element by element over the runs, on the kernels' fastest path: each element is one addition,
// subtraction or multiplication, whatever the path.
SMtrx& SMtrx::operator+=(const SMtrx& other) {
    if (other.Rows != Rows || other.Cols != Cols || other.Base1 != Base1) return *this;
    detail::ElementRuns(detail::FastestPath(), detail::ElementOp::Add, Count(), Run(), other.Run(),
                        0.0, Run());
    return *this;
}

SMtrx& SMtrx::operator-=(const SMtrx& other) {
    if (other.Rows != Rows || other.Cols != Cols || other.Base1 != Base1) return *this;
    detail::ElementRuns(detail::FastestPath(), detail::ElementOp::Subtract, Count(), Run(),
                        other.Run(), 0.0, Run());
    return *this;
}

void SMtrx::operator*=(double s) {
    detail::ElementRuns(detail::FastestPath(), detail::ElementOp::Scale, Count(), Run(), nullptr, s,
                        Run());
}

}  // namespace quil
