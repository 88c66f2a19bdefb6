#include "objects/SMtrxNN.h"

#include <cfloat>

#include "routines/DetNN.h"
#include "routines/MtrxNN.h"
#include "routines/detail/Kernels.h"

namespace {

// Releases a routine-layer record when the scope ends.
struct WorkRecord {
    MtrxNN* M = nullptr;
    WorkRecord() = default;
    explicit WorkRecord(MtrxNN* m) : M(m) {}
    WorkRecord(const WorkRecord&) = delete;
    WorkRecord& operator=(const WorkRecord&) = delete;
    ~WorkRecord() { M = FreeMatrixNN(M); }
};

}  // namespace

SMtrxNN::SMtrxNN(unsigned n, bool base1) : SMtrx(n, n, base1) {}

void SMtrxNN::RequireSquare() const {
    if (Rows != Cols) throw OpeErr(0);
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
    SMtrxNN t(*this);
    if (Rows != Cols) static_cast<SMtrx&>(t) = SMtrx(Cols, Rows, Base1);
    const unsigned b = Base();
    for (unsigned i = b; i - b < Rows; ++i)
        for (unsigned j = b; j - b < Cols; ++j) t[j][i] = Elem[i][j];
    return t;
}

double SMtrxNN::Det() const {
    RequireSquare();
    WorkRecord w(WorkCopy());
    if (w.M == nullptr) return 0.0;
    return DetNN2(w.M);
}

bool SMtrxNN::IsSingular() const {
    const double d = Det();
    return d == 0.0 || d == DBL_MAX;
}

SMtrxNN SMtrxNN::Inv() const {
    RequireSquare();
    SMtrxNN t(*this);
    WorkRecord w(WorkCopy());
    if (w.M == nullptr) throw AllocErr{this, 0};
    WorkRecord ai;
    if (!InvMtrxNN(&ai.M, w.M)) {
        t.SetValues(0.0);
        return t;
    }
    const unsigned b = Base();
    for (unsigned i = b; i - b < Rows; ++i)
        for (unsigned j = b; j - b < Cols; ++j) t.SetValue(i, j, ai.M->Elem[i][j]);
    return t;
}

SMtrxNN operator+(const SMtrxNN& a) { return a; }

// Built as a copy of a, so that it has a's shape even when a is not square.
SMtrxNN operator-(const SMtrxNN& a) {
    SMtrxNN t(a);
    const unsigned b = a.GetBase1() ? 1u : 0u;
    for (unsigned i = b; i - b < a.GetRows(); ++i)
        for (unsigned j = b; j - b < a.GetCols(); ++j) t.SetValue(i, j, -a.GetValue(i, j));
    return t;
}

namespace {

// The result is made first, so a failed allocation is reported before any operand check.
void CheckOperands(const SMtrxNN& a, const SMtrxNN& b) {
    if (a.GetRows() != b.GetRows() || a.GetCols() != b.GetCols()) throw SMtrx::OpeErr(0);
    if (a.GetBase1() != b.GetBase1()) throw SMtrx::OpeErr(1);
}

}  // namespace

SMtrxNN operator+(const SMtrxNN& a, const SMtrxNN& b) {
    SMtrxNN t(a.GetRows(), a.GetBase1());
    CheckOperands(a, b);
    t = a;
    t += b;
    return t;
}

SMtrxNN operator-(const SMtrxNN& a, const SMtrxNN& b) {
    SMtrxNN t(a.GetRows(), a.GetBase1());
    CheckOperands(a, b);
    t = a;
    t -= b;
    return t;
}

SMtrxNN operator*(double s, const SMtrxNN& a) {
    SMtrxNN t(a.GetRows(), a.GetBase1());
    t = a;
    t *= s;
    return t;
}

SMtrxNN operator*(const SMtrxNN& a, double s) { return s * a; }

SMtrxNN operator*(const SMtrxNN& a, const SMtrxNN& b) {
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
