#include "objects/SMtrxNN.h"

#include <cfloat>
#include <utility>

#include "objects/SVect.h"
#include "routines/DetNN.h"
#include "routines/LU.h"
#include "routines/MtrxNN.h"
#include "routines/Paths.h"
#include "routines/Vect.h"
#include "routines/Work.h"
#include "routines/kernels/Kernels.h"

namespace quil {

namespace {

using WorkRecord = detail::OwnedMatrix;
using WorkVector = detail::OwnedVector;

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
    if (w.R == nullptr) throw AllocErr{this, 0, "the work copy of SMtrxNN::Det"};
    detail::LUDcmpOutcome outcome;
    const double d = detail::DetNN2(detail::FastestPath(), w.R, &outcome);
    if (outcome == detail::LUDcmpOutcome::NoWork) throw AllocErr{this, 0, "the work storage of SMtrxNN::Det"};
    return d;
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
    bool noWork = false;
    if (!detail::InvMtrxNN(detail::FastestPath(), &ai.R, w.R, &noWork)) {
        if (noWork) throw AllocErr{this, 0, "the work storage of SMtrxNN::Inv"};
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
    b.RequireElements("SMtrxNN::Solve");
    if (b.GetSize() != Rows)
        throw OpeErr(0, "SMtrxNN::Solve", "the size of the SVect differs from the matrix's order");
    if (b.GetBase1() != Base1)
        throw OpeErr(1, "SMtrxNN::Solve", "the suffix base of the SVect differs from the matrix's");
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

// The operators' results are made with their elements unset, in the shape of the left operand
// (a non-square object keeps its shape), and every element is then written once; a temporary
// operand's storage is used instead where it has some.
struct detail::SMtrxNNOps {
    using Op = ElementOp;

    static SMtrxNN Fresh(const SMtrxNN& a) {
        return SMtrxNN(a.Rows, a.Cols, a.Base1, SMtrxNN::Unfilled{});
    }
    static SMtrxNN Fresh(unsigned n, bool base1) {
        return SMtrxNN(n, n, base1, SMtrxNN::Unfilled{});
    }
    // The result is made first, so a failed allocation is reported before any operand check.
    static void Check(const SMtrxNN& a, const SMtrxNN& b, const char* operation) {
        if (a.Rows != b.Rows || a.Cols != b.Cols) throw SMtrx::OpeErr(0, operation);
        if (a.Base1 != b.Base1) throw SMtrx::OpeErr(1, operation);
    }
    static void Apply(Op op, const SMtrxNN& a, const SMtrxNN& b, double s, SMtrxNN& c) {
        ElementRuns(FastestPath(), op, a.Count(), a.Run(), b.Run(), s, c.Run());
    }

    static SMtrxNN Make(Op op, const SMtrxNN& a, const SMtrxNN& b, const char* operation) {
        RequireElements(a, operation);
        RequireElements(b, operation);
        SMtrxNN t = Fresh(a);
        Check(a, b, operation);
        Apply(op, a, b, 0.0, t);
        return t;
    }
    // a op b into the storage of into, a or b, when it has storage; as Make otherwise.
    static SMtrxNN Reuse(Op op, const SMtrxNN& a, const SMtrxNN& b, SMtrxNN& into,
                         const char* operation) {
        if (into.Elem == nullptr) return Make(op, a, b, operation);
        RequireElements(a, operation);
        RequireElements(b, operation);
        Check(a, b, operation);
        Apply(op, a, b, 0.0, into);
        return std::move(into);
    }
    static SMtrxNN Scaled(const SMtrxNN& a, double s) {
        SMtrxNN t = Fresh(a);
        Apply(Op::Scale, a, a, s, t);
        return t;
    }
    static SMtrxNN Scaled(SMtrxNN&& a, double s) {
        if (a.Elem == nullptr) return Scaled(static_cast<const SMtrxNN&>(a), s);
        Apply(Op::Scale, a, a, s, a);
        return std::move(a);
    }
    // Every element of a negated into t, which may be a.
    static SMtrxNN Negated(const SMtrxNN& a, SMtrxNN&& t) {
        const double* from = a.Run();
        double* to = t.Run();
        for (unsigned k = 0; k < a.Count(); ++k) to[k] = -from[k];
        return std::move(t);
    }
    static SMtrxNN Negated(const SMtrxNN& a) { return Negated(a, Fresh(a)); }
    static SMtrxNN Negated(SMtrxNN&& a) {
        if (a.Elem == nullptr) return Negated(static_cast<const SMtrxNN&>(a));
        return Negated(a, std::move(a));
    }
};

using Ops = detail::SMtrxNNOps;

SMtrxNN operator-(const SMtrxNN& a) {
    RequireElements(a, "SMtrxNN -a");
    return Ops::Negated(a);
}
SMtrxNN operator-(SMtrxNN&& a) {
    RequireElements(a, "SMtrxNN -a");
    return Ops::Negated(std::move(a));
}

SMtrxNN operator+(const SMtrxNN& a, const SMtrxNN& b) {
    return Ops::Make(Ops::Op::Add, a, b, "SMtrxNN a + b");
}
SMtrxNN operator+(SMtrxNN&& a, const SMtrxNN& b) {
    return Ops::Reuse(Ops::Op::Add, a, b, a, "SMtrxNN a + b");
}
SMtrxNN operator+(const SMtrxNN& a, SMtrxNN&& b) {
    return Ops::Reuse(Ops::Op::Add, a, b, b, "SMtrxNN a + b");
}
SMtrxNN operator+(SMtrxNN&& a, SMtrxNN&& b) {
    return Ops::Reuse(Ops::Op::Add, a, b, a, "SMtrxNN a + b");
}

SMtrxNN operator-(const SMtrxNN& a, const SMtrxNN& b) {
    return Ops::Make(Ops::Op::Subtract, a, b, "SMtrxNN a - b");
}
SMtrxNN operator-(SMtrxNN&& a, const SMtrxNN& b) {
    return Ops::Reuse(Ops::Op::Subtract, a, b, a, "SMtrxNN a - b");
}
SMtrxNN operator-(const SMtrxNN& a, SMtrxNN&& b) {
    return Ops::Reuse(Ops::Op::Subtract, a, b, b, "SMtrxNN a - b");
}
SMtrxNN operator-(SMtrxNN&& a, SMtrxNN&& b) {
    return Ops::Reuse(Ops::Op::Subtract, a, b, a, "SMtrxNN a - b");
}

SMtrxNN operator*(double s, const SMtrxNN& a) {
    RequireElements(a, "SMtrxNN s * a");
    return Ops::Scaled(a, s);
}
SMtrxNN operator*(const SMtrxNN& a, double s) { return s * a; }
SMtrxNN operator*(double s, SMtrxNN&& a) {
    RequireElements(a, "SMtrxNN s * a");
    return Ops::Scaled(std::move(a), s);
}
SMtrxNN operator*(SMtrxNN&& a, double s) { return s * std::move(a); }

SMtrxNN operator*(const SMtrxNN& a, const SMtrxNN& b) {
    RequireElements(a, "SMtrxNN a * b");
    RequireElements(b, "SMtrxNN a * b");
    if (a.GetBase1() != b.GetBase1() || a.GetCols() != b.GetRows() || b.GetCols() != a.GetRows())
        return SMtrxNN(a.GetRows(), a.GetBase1());
    SMtrxNN t = Ops::Fresh(a.GetRows(), a.GetBase1());
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
