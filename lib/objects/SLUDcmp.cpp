#include "objects/SLUDcmp.h"

#include <cstdint>
#include <memory>
#include <new>
#include <utility>

#include "routines/Arrays.h"
#include "routines/Balance.h"
#include "routines/DetNN.h"
#include "routines/LU.h"
#include "routines/MtrxNN.h"
#include "routines/Paths.h"
#include "routines/Vect.h"
#include "routines/Work.h"

namespace quil {

// The balanced matrix's factors, in records of their own from the routine layer's heap (so that a
// failure has been reported when the object throws), with how its decomposition ended and how
// the condition estimate begins.
struct detail::LUFactors {
    MtrxNN* s = nullptr;
    Vect* dr = nullptr;
    Vect* dc = nullptr;
    Array1D<std::int32_t> p;
    std::uint32_t lo = 0;
    LUDcmpOutcome outcome = LUDcmpOutcome::NoWork;
    CondStart cond;

    LUFactors() = default;
    LUFactors(const LUFactors&) = delete;
    LUFactors& operator=(const LUFactors&) = delete;
    ~LUFactors() {
        FreeMatrixNN(s);
        FreeVector(dr);
        FreeVector(dc);
        FreeArray1D(ArrInt32, p, lo, lo);
    }

    // Records of order n with suffix base base1, or none: AllocErr {obj, 0} (reported).
    static std::unique_ptr<LUFactors> Make(const SMtrx* obj, std::uint32_t n, bool base1) {
        std::unique_ptr<LUFactors> f;
        try {
            f.reset(new LUFactors);
        } catch (const std::bad_alloc&) {
            throw SMtrx::AllocErr{obj, 0, "the factors of SLUDcmp"};
        }
        f->lo = base1 ? 1u : 0u;
        f->s = GetMatrixNN(nullptr, n, base1);
        f->dr = GetVector(nullptr, n, base1);
        f->dc = GetVector(nullptr, n, base1);
        f->p = GetArray1D<std::int32_t>(ArrInt32, nullptr, f->lo, f->lo + n - 1u);
        if (f->s == nullptr || f->dr == nullptr || f->dc == nullptr || !f->p)
            throw SMtrx::AllocErr{obj, 0, "the factors of SLUDcmp"};
        return f;
    }

    // A copy of the factors of from (order n, base1) into f.
    void Take(const BalancedFactors& from, LUDcmpOutcome how, const CondStart& start) {
        const std::uint32_t n = s->Size;
        for (std::uint32_t i = lo; i < lo + n; ++i) {
            for (std::uint32_t j = lo; j < lo + n; ++j) s->Elem[i][j] = from.s.Elem[i][j];
            dr->Elem[i] = from.dr[i];
            dc->Elem[i] = from.dc[i];
            p[i] = from.p[i];
        }
        outcome = how;
        cond = start;
    }

    BalancedFactors View() const { return {*s, p, dr->Elem, dc->Elem}; }
};

namespace {

using detail::LUDcmpOutcome;
using detail::LUFactors;

}  // namespace

SLUDcmp::SLUDcmp(const SMtrxNN& a) : Order(a.GetRows()), Base1(a.GetBase1()) {
    a.RequireSquare("SLUDcmp");
    struct Copy {
        MtrxNN* m;
        ~Copy() { FreeMatrixNN(m); }
    } const w{a.WorkCopy()};
    if (w.m == nullptr) throw SMtrx::AllocErr{&a, 0, "the work copy of SLUDcmp"};
    // The determinants' decomposition, of the matrix itself.
    if (!detail::Determinants(detail::FastestPath(), w.m, &Determinant, &Log.Log10, &Log.Sign))
        throw SMtrx::AllocErr{&a, 0, "the work storage of SLUDcmp"};
    // The solve's and the estimate's, of the balanced matrix.
    std::unique_ptr<LUFactors> f = LUFactors::Make(&a, Order, Base1);
    const detail::BalancedLU lu(detail::FastestPath(), w.m);
    if (lu.outcome == LUDcmpOutcome::NoWork)
        throw SMtrx::AllocErr{&a, 0, "the work storage of SLUDcmp"};
    f->Take(lu, lu.outcome, detail::RCondStart(w.m));
    Factors = f.release();
}

SLUDcmp::SLUDcmp(const SLUDcmp& other)
    : Order(other.Order), Base1(other.Base1), Determinant(other.Determinant), Log(other.Log) {
    if (other.Factors == nullptr) return;
    std::unique_ptr<LUFactors> f = LUFactors::Make(nullptr, Order, Base1);
    f->Take(other.Factors->View(), other.Factors->outcome, other.Factors->cond);
    Factors = f.release();
}

SLUDcmp::SLUDcmp(SLUDcmp&& other) noexcept
    : Order(other.Order),
      Base1(other.Base1),
      Determinant(other.Determinant),
      Log(other.Log),
      Factors(std::exchange(other.Factors, nullptr)) {}

SLUDcmp& SLUDcmp::operator=(const SLUDcmp& other) {
    if (&other != this) *this = SLUDcmp(other);
    return *this;
}

SLUDcmp& SLUDcmp::operator=(SLUDcmp&& other) noexcept {
    if (&other == this) return *this;
    delete Factors;
    Order = other.Order;
    Base1 = other.Base1;
    Determinant = other.Determinant;
    Log = other.Log;
    Factors = std::exchange(other.Factors, nullptr);
    return *this;
}

SLUDcmp::~SLUDcmp() { delete Factors; }

const LUFactors& SLUDcmp::Held(const char* operation) const {
    if (Factors == nullptr) throw SMtrx::OpeErr(0, operation, "the decomposition was moved from");
    return *Factors;
}

// The checks of SMtrxNN::Solve, in its order; then the solve of BalancedLU::Solve with the kept
// factors.
SVect SLUDcmp::Solve(const SVect& b) const {
    const LUFactors& f = Held("SLUDcmp::Solve");
    if (b.GetSize() == 0) throw SVect::AllocErr::NoElements(&b, "SLUDcmp::Solve");
    if (b.GetSize() != Order)
        throw SMtrx::OpeErr(0, "SLUDcmp::Solve",
                            "the size of the SVect differs from the matrix's order");
    if (b.GetBase1() != Base1)
        throw SMtrx::OpeErr(1, "SLUDcmp::Solve",
                            "the suffix base of the SVect differs from the matrix's");
    if (f.outcome != LUDcmpOutcome::Done)
        throw SMtrx::OpeErr(0, "SLUDcmp::Solve", "the matrix is singular");
    SVect x = [&] {
        try {
            return SVect(b);
        } catch (const SVect::AllocErr&) {
            throw SMtrx::AllocErr{nullptr, Order, "the result of SLUDcmp::Solve"};
        }
    }();
    const detail::WorkBlock block(2 * detail::VectorBytes(Order));
    if (!block) throw SMtrx::AllocErr{nullptr, 0, "the work storage of SLUDcmp::Solve"};
    detail::WorkCarver carve(block);
    const Vect v = carve.Vector(Order, Base1);
    const Array1D<std::int64_t> e = carve.Exponents(Order, Base1);
    for (std::uint32_t i = f.lo; i < f.lo + Order; ++i) v.Elem[i] = x[i];
    detail::SolveScaled(f.View(), v.Elem, e, 0, false);
    for (std::uint32_t i = f.lo; i < f.lo + Order; ++i) x[i] = v.Elem[i];
    return x;
}

double SLUDcmp::Det() const {
    Held("SLUDcmp::Det");
    return Determinant;
}

SMtrxNN::LogDet SLUDcmp::DetLog10() const {
    Held("SLUDcmp::DetLog10");
    return Log;
}

// RCondMtrxNN's steps after its decomposition.
double SLUDcmp::RCond() const {
    const LUFactors& f = Held("SLUDcmp::RCond");
    if (f.cond.decided) return f.cond.result;
    if (f.outcome != LUDcmpOutcome::Done) return 0.0;
    const double r = detail::RCondEstimate(f.cond, f.View());
    if (r < 0.0) throw SMtrx::AllocErr{nullptr, 0, "the work storage of SLUDcmp::RCond"};
    return r;
}

}  // namespace quil
