#include "objects/SVect.h"

#include <cstddef>
#include <new>
#include <utility>

#include "routines/kernels/Arithmetic.h"

namespace quil {

// Loops below run over a vector's own subscripts, i from b while i - b < Size; the unsigned
// difference keeps the bound from wrapping.

SVect::RangeErr::RangeErr(const SVect* obj, unsigned index) noexcept
    : SError("SVect::RangeErr"), Obj(obj), Index(index) {
    PutOutOfRange("", index);
    if (obj != nullptr) PutValid(obj->Base(), obj->Size);
}

SVect::AllocErr::AllocErr(const SVect* obj, unsigned count) noexcept
    : SError("SVect::AllocErr"), Obj(obj), Count(count) {
    Put(count <= 1u ? "a vector needs 2 elements at least, not " : "no memory for ");
    Put(count);
    if (count > 1u) Put(" elements");
}

SVect::AllocErr SVect::AllocErr::NoElements(const SVect* obj, const char* operation) noexcept {
    return AllocErr{obj, operation, NoElementsTag{}};
}

SVect::AllocErr::AllocErr(const SVect* obj, const char* operation, NoElementsTag) noexcept
    : SError("SVect::AllocErr", operation), Obj(obj), Count(0) {
    Put("the vector was moved from and has no elements");
}

SVect::OpeErr::OpeErr(unsigned code, const char* operation) noexcept
    : SError("SVect::OpeErr", operation),
      Msg{"The size of SVect objects is different\r\nbetween the operator.",
          "The suffix base of SVect objects is different\r\nbetween the operator."},
      Kind(code % 2u) {
    Put(Msg[Kind]);
}

SVect::SVect(unsigned n, bool base1) : Base1(base1), Size(n), Elem(nullptr), Val(this) {
    Allocate();
}

SVect::SVect(const SVect& src) : Base1(src.Base1), Size(src.Size), Elem(nullptr), Val(this) {
    src.RequireElements("a copy of SVect");
    Allocate();
    CopyElements(src);
}

SVect::SVect(SVect&& src) noexcept
    : Base1(src.Base1),
      Size(std::exchange(src.Size, 0u)),
      Elem(std::exchange(src.Elem, nullptr)),
      Val(this) {}

SVect::~SVect() { delete[] Elem; }

// The new array is had before the old goes, so that a failure leaves the target as it was.
SVect& SVect::operator=(const SVect& src) {
    if (&src == this) return *this;
    src.RequireElements("an assignment of SVect");
    double* array = Array(src.Size, src.Base1);
    delete[] Elem;
    Elem = array;
    Size = src.Size;
    Base1 = src.Base1;
    CopyElements(src);
    return *this;
}

SVect& SVect::operator=(SVect&& src) noexcept {
    if (&src == this) return *this;
    delete[] Elem;
    Base1 = src.Base1;
    Size = std::exchange(src.Size, 0u);
    Elem = std::exchange(src.Elem, nullptr);
    return *this;
}

// Makes the zero-filled array for Size and Base1, or throws AllocErr with Elem left null.
void SVect::Allocate() { Elem = Array(Size, Base1); }

// A zero-filled array of n elements with suffix base base1, or AllocErr {this, n}.
double* SVect::Array(unsigned n, bool base1) const {
    if (n <= 1u) throw AllocErr{this, n};
    // Where size_t has 32 bits, the spare element can wrap 2^32 - 1 elements to none.
    const std::size_t count = std::size_t{n} + (base1 ? 1u : 0u);
    if (count < n) throw AllocErr{this, n};
    try {
        return new double[count]();
    } catch (const std::bad_alloc&) {
        throw AllocErr{this, n};
    }
}

// A vector of Size 0 was moved from: no constructor makes one.
void SVect::RequireElements(const char* operation) const {
    if (Size == 0u) throw AllocErr::NoElements(this, operation);
}

// Both vectors have the same size and suffix base.
void SVect::CopyElements(const SVect& src) {
    const unsigned b = Base();
    for (unsigned i = b; i - b < Size; ++i) Elem[i] = src.Elem[i];
}

double& SVect::operator[](unsigned i) {
    if (!IndexOk(i)) throw RangeErr{this, i};
    return Elem[i];
}

const double& SVect::operator[](unsigned i) const {
    if (!IndexOk(i)) throw RangeErr{this, i};
    return Elem[i];
}

double SVect::GetValue(unsigned i) const {
    if (!IndexOk(i)) throw RangeErr{this, i};
    return Elem[i];
}

void SVect::SetValue(unsigned i, double x) {
    if (!IndexOk(i)) throw RangeErr{this, i};
    Elem[i] = x;
}

SVect SVect::operator+() const {
    RequireElements("SVect +a");
    return *this;
}

SVect SVect::operator-() const {
    RequireElements("SVect -a");
    SVect r(Size, Base1);
    const unsigned b = Base();
    for (unsigned i = b; i - b < Size; ++i) r.SetValue(i, -Elem[i]);
    return r;
}

SVect& SVect::operator+=(const SVect& b) {
    if (b.Size != Size || b.Base1 != Base1) return *this;
    const unsigned lo = Base();
    for (unsigned i = lo; i - lo < Size; ++i) Elem[i] = b.Elem[i] + Elem[i];
    return *this;
}

SVect& SVect::operator-=(const SVect& b) {
    if (b.Size != Size || b.Base1 != Base1) return *this;
    const unsigned lo = Base();
    for (unsigned i = lo; i - lo < Size; ++i) Elem[i] = Elem[i] - b.Elem[i];
    return *this;
}

SVect& SVect::operator*=(double d) {
    const unsigned lo = Base();
    for (unsigned i = lo; i - lo < Size; ++i) Elem[i] = d * Elem[i];
    return *this;
}

namespace {

// The result is made first, so a failed allocation is reported before any operand check.
void CheckOperands(const SVect& a, const SVect& b, const char* operation) {
    if (a.GetSize() != b.GetSize()) throw SVect::OpeErr(0, operation);
    if (a.GetBase1() != b.GetBase1()) throw SVect::OpeErr(1, operation);
}

}  // namespace

SVect operator+(const SVect& a, const SVect& b) {
    a.RequireElements("SVect a + b");
    b.RequireElements("SVect a + b");
    SVect r(a.GetSize(), a.GetBase1());
    CheckOperands(a, b, "SVect a + b");
    r = a;
    r += b;
    return r;
}

SVect operator-(const SVect& a, const SVect& b) {
    a.RequireElements("SVect a - b");
    b.RequireElements("SVect a - b");
    SVect r(a.GetSize(), a.GetBase1());
    CheckOperands(a, b, "SVect a - b");
    r = a;
    r -= b;
    return r;
}

SVect operator*(double d, const SVect& a) {
    a.RequireElements("SVect d * a");
    SVect r(a.GetSize(), a.GetBase1());
    r = a;
    r *= d;
    return r;
}

SVect operator*(const SVect& a, double d) { return d * a; }

double operator|(const SVect& a, const SVect& b) {
    if (b.Size != a.Size || b.Base1 != a.Base1) return 0.0;
    double sum = 0.0;
    const unsigned lo = a.Base();
    for (unsigned i = lo; i - lo < a.Size; ++i) sum = a.Elem[i] * b.Elem[i] + sum;
    return sum;
}

SVect operator*(const SMtrx& m, const SVect& x) {
    if (m.GetRows() == 0u) throw SMtrx::AllocErr::NoElements(&m, "matrix * SVect");
    x.RequireElements("matrix * SVect");
    SVect y(m.GetRows(), m.GetBase1());
    if (x.Size != m.GetCols()) throw SVect::OpeErr(0, "matrix * SVect");
    if (x.Base1 != m.GetBase1()) throw SVect::OpeErr(1, "matrix * SVect");
    const unsigned lo = x.Base();
    for (unsigned i = lo; i - lo < m.GetRows(); ++i) {
        y.Elem[i] = 0.0;
        for (unsigned j = lo; j - lo < m.GetCols(); ++j)
            y.Elem[i] = m.GetValue(i, j) * x.Elem[j] + y.Elem[i];
    }
    return y;
}

SVect operator*(const SMtrxNN& m, const SVect& x) { return static_cast<const SMtrx&>(m) * x; }

}  // namespace quil
