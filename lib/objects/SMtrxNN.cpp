#include "objects/SMtrxNN.h"

#include <cfloat>

#include "objects/SVect.h"
#include "routines/DetNN.h"
#include "routines/LU.h"
#include "routines/MtrxNN.h"
#include "routines/Vect.h"
#include "routines/kernels/Kernels.h"

namespace quil {

namespace {

// Releases a routine-layer record when the scope ends.
template <class Record, Record* (*Free)(Record*)>
struct Work {
    Record* R = nullptr;
    Work() = default;
    explicit Work(Record* r) : R(r) {}
    Work(const Work&) = delete;
    Work& operator=(const Work&) = delete;
    ~Work() { R = Free(R); }
};
using WorkRecord = Work<MtrxNN, FreeMatrixNN>;
using WorkVector = Work<Vect, FreeVector>;

}  // namespace

SMtrxNN::SMtrxNN(unsigned n, bool base1) : SMtrx(n, n, base1) {}

void SMtrxNN::RequireSquare(const char* operation) const {
    if (Elem == nullptr) throw OpeErr(0, operation, NoElementsReason());
    if (Rows != Cols) throw OpeErr(0, operation, "the matrix is not square");
}

MtrxNN* SMtrxNN::WorkCopy() const {
    MtrxNN* w = GetMatrixNN(nullptr, Rows, Base1);
    if (w == nullptr) return nullptr;
    const unsigned b = Base();
    for (unsigned i = b; i - b < Rows; ++i)
        for (unsigned j = b; j - b < Cols; ++j) w->Elem[i][j] = Elem[i][j];
    return w;
}

// t starts as a copy, whose shape is known to be a valid one; a non-square object's transpose
// then takes the shape Cols x Rows.
SMtrxNN SMtrxNN::Tran() const {
    if (Elem == nullptr) throw AllocErr::NoElements(this, "SMtrxNN::Tran");
    SMtrxNN t(*this);
    if (Rows != Cols) static_cast<SMtrx&>(t) = SMtrx(Cols, Rows, Base1);
    const unsigned b = Base();
    for (unsigned i = b; i - b < Rows; ++i)
        for (unsigned j = b; j - b < Cols; ++j) t[j][i] = Elem[i][j];
    return t;
}

double SMtrxNN::Det() const {
    RequireSquare("SMtrxNN::Det");
    WorkRecord w(WorkCopy());
    if (w.R == nullptr) return 0.0;
    return DetNN2(w.R);
}

bool SMtrxNN::IsSingular() const {
    RequireSquare("SMtrxNN::IsSingular");
    const double d = Det();
    return d == 0.0 || d == DBL_MAX;
}

SMtrxNN SMtrxNN::Inv() const {
    RequireSquare("SMtrxNN::Inv");
    SMtrxNN t(*this);
    WorkRecord w(WorkCopy());
    if (w.R == nullptr) throw AllocErr{this, 0, "the work copy of SMtrxNN::Inv"};
    WorkRecord ai;
    if (!InvMtrxNN(&ai.R, w.R)) {
        t.SetValues(0.0);
        return t;
    }
    const unsigned b = Base();
    for (unsigned i = b; i - b < Rows; ++i)
        for (unsigned j = b; j - b < Cols; ++j) t.SetValue(i, j, ai.R->Elem[i][j]);
    return t;
}

// The operands are checked before anything is made, so that order 1 meets its size mismatch
// rather than SVect's minimum size. x starts as a copy of b, of the shape it must have.
SVect SMtrxNN::Solve(const SVect& b) const {
    RequireSquare("SMtrxNN::Solve");
    if (b.GetSize() != Rows) throw OpeErr(0, "SMtrxNN::Solve");
    if (b.GetBase1() != Base1) throw OpeErr(1, "SMtrxNN::Solve");
    SVect x = [&] {
        try {
            return SVect(b);
        } catch (const SVect::AllocErr&) {
            throw AllocErr{this, Rows, "the result of SMtrxNN::Solve"};
        }
    }();
    WorkRecord w(WorkCopy());
    WorkVector v(w.R != nullptr ? GetVector(nullptr, Rows, Base1) : nullptr);
    if (v.R == nullptr) throw AllocErr{this, 0, "the work copies of SMtrxNN::Solve"};
    const unsigned lo = Base();
    for (unsigned i = lo; i - lo < Rows; ++i) v.R->Elem[i] = x[i];
    switch (detail::SolveMtrxNNEnd(v.R, w.R, v.R)) {
    case detail::SolveEnd::Solved: break;
    case detail::SolveEnd::Singular: throw OpeErr(0, "SMtrxNN::Solve", "the matrix is singular");
    case detail::SolveEnd::Mismatch:  // the shapes were checked above
    case detail::SolveEnd::NoWork: throw AllocErr{this, 0, "the work storage of SMtrxNN::Solve"};
    }
    for (unsigned i = lo; i - lo < Rows; ++i) x[i] = v.R->Elem[i];
    return x;
}

double SMtrxNN::RCond() const {
    RequireSquare("SMtrxNN::RCond");
    WorkRecord w(WorkCopy());
    const double rcond = w.R != nullptr ? RCondMtrxNN(w.R) : -1.0;
    if (rcond < 0.0) throw AllocErr{this, 0, "the work storage of SMtrxNN::RCond"};
    return rcond;
}

namespace {

// An operand with no elements (moved from) would otherwise meet the minimum size of the result
// made in its shape, as if the caller had asked for a 0 x 0 matrix.
void RequireElements(const SMtrxNN& a, const char* operation) {
    if (a.GetRows() == 0u) throw SMtrx::AllocErr::NoElements(&a, operation);
}

}  // namespace

SMtrxNN operator+(const SMtrxNN& a) {
    RequireElements(a, "SMtrxNN +a");
    return a;
}

// Built as a copy of a, so that it has a's shape even when a is not square.
SMtrxNN operator-(const SMtrxNN& a) {
    RequireElements(a, "SMtrxNN -a");
    SMtrxNN t(a);
    const unsigned b = a.GetBase1() ? 1u : 0u;
    for (unsigned i = b; i - b < a.GetRows(); ++i)
        for (unsigned j = b; j - b < a.GetCols(); ++j) t.SetValue(i, j, -a.GetValue(i, j));
    return t;
}

namespace {

// The result is made first, so a failed allocation is reported before any operand check.
void CheckOperands(const SMtrxNN& a, const SMtrxNN& b, const char* operation) {
    if (a.GetRows() != b.GetRows() || a.GetCols() != b.GetCols()) throw SMtrx::OpeErr(0, operation);
    if (a.GetBase1() != b.GetBase1()) throw SMtrx::OpeErr(1, operation);
}

}  // namespace

SMtrxNN operator+(const SMtrxNN& a, const SMtrxNN& b) {
    RequireElements(a, "SMtrxNN a + b");
    SMtrxNN t(a.GetRows(), a.GetBase1());
    CheckOperands(a, b, "SMtrxNN a + b");
    t = a;
    t += b;
    return t;
}

SMtrxNN operator-(const SMtrxNN& a, const SMtrxNN& b) {
    RequireElements(a, "SMtrxNN a - b");
    SMtrxNN t(a.GetRows(), a.GetBase1());
    CheckOperands(a, b, "SMtrxNN a - b");
    t = a;
    t -= b;
    return t;
}

SMtrxNN operator*(double s, const SMtrxNN& a) {
    RequireElements(a, "SMtrxNN s * a");
    SMtrxNN t(a.GetRows(), a.GetBase1());
    t = a;
    t *= s;
    return t;
}

SMtrxNN operator*(const SMtrxNN& a, double s) { return s * a; }

SMtrxNN operator*(const SMtrxNN& a, const SMtrxNN& b) {
    RequireElements(a, "SMtrxNN a * b");
    SMtrxNN t(a.GetRows(), a.GetBase1());
    if (a.GetBase1() != b.GetBase1() || a.GetCols() != b.GetRows() || b.GetCols() != a.GetRows())
        return t;
    const unsigned lo = a.GetBase1() ? 1u : 0u;
    const unsigned n = t.GetRows();
    if (a.GetCols() == n && b.GetCols() == n) {
        // Three blocks of n x n, row after row: the routine layer's kernel sums each element
        // over ascending k, as the loop below does.
        quil::detail::ProductRuns(quil::detail::FastestPath(), n, &a[lo][lo], &b[lo][lo], &t[lo][lo]);
        return t;
    }
    for (unsigned i = lo; i - lo < t.GetRows(); ++i) {
        for (unsigned j = lo; j - lo < t.GetCols(); ++j) {
            double sum = 0.0;
            for (unsigned k = lo; k - lo < b.GetRows(); ++k) sum = sum + a[i][k] * b[k][j];
            t[i][j] = sum;
        }
    }
    return t;
}

}  // namespace quil
