// Every heap request of every object-layer operation that the two class suites use, and of
// SMtrxNN::Solve, failing in turn.
//
// A failure of the object layer's own storage must come out as the AllocErr of the class that
// was being built, with its element count, and never as anything else; a failure inside the
// routine layer that Det, IsSingular, Inv and Solve call must give their documented results.
// Either way nothing leaks (checked by the sweep), the operands are unchanged, and the target of
// a failed assignment keeps its value and can be assigned again.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <vector>

#include "../objects/ObjectTestUtil.h"
#include "Sweep.h"
#include "objects/SMtrx.h"
#include "objects/SMtrxNN.h"
#include "objects/SVect.h"

namespace {

// What an operation threw, without allocating.
struct Outcome {
    enum What { Nothing, MtrxAlloc, VectAlloc, SomethingElse } what = Nothing;
    unsigned count = 0;
};

template <class F>
Outcome Try(F f) {
    try {
        f();
    } catch (const SMtrx::AllocErr& e) {
        return {Outcome::MtrxAlloc, e.Count};
    } catch (const SVect::AllocErr& e) {
        return {Outcome::VectAlloc, e.Count};
    } catch (...) {
        return {Outcome::SomethingElse, 0};
    }
    return {};
}

// The operation threw what a failure of the object layer's storage must give, and only then.
void ExpectAllocErr(const sweep::Run& r, const Outcome& got, Outcome::What what, unsigned count) {
    if (r.FailedInNew()) {
        EXPECT_EQ(got.what, what) << r;
        EXPECT_EQ(got.count, count) << r;
    } else {
        EXPECT_EQ(got.what, Outcome::Nothing) << r;
    }
}

// The fixed data of the class suites.
const V DataA = {6, -3, 4, 1, 4, 2, 4, 0, 4, -2, 3, 1, 4, 2, 3, 1};
const V DataB = {6, -3, 4, 1, 4, 2, 4, 0, 4, -2, 3, 1, 4, 2, 3, 9};
V Times(V v, double s) {
    for (double& x : v) x *= s;
    return v;
}
V Plus(V a, const V& b) {
    for (std::size_t k = 0; k < a.size(); ++k) a[k] += b[k];
    return a;
}

SMtrxNN MatA() { return Set(SMtrxNN(4), DataA); }
SMtrxNN MatB() { return Set(SMtrxNN(4, true), DataB); }
SMtrxNN MatD() { return Set(SMtrxNN(4), Times(DataB, 2.0)); }

// One operation of the square-matrix class suite: result = op(), over a target that holds
// something else first. On a failure the target holds a value it held before (B, or A where
// op assigned A first), whole and readable, and takes a new value.
template <class Op>
void SweepAssignment(sweep::Tally& tally, const std::string& name, unsigned count,
                     const V& expected, Op op) {
    sweep::Sweep(tally, name, [&](sweep::Run& r) {
        SMtrxNN target = MatB();
        r.Arm();
        const Outcome got = Try([&] { op(target); });
        r.Disarm();
        ExpectAllocErr(r, got, Outcome::MtrxAlloc, count);
        if (!r.Failed()) {
            EXPECT_EQ(Elems(target), expected);
        } else if (got.what != Outcome::Nothing) {
            const V held = Elems(target);
            EXPECT_TRUE(held == DataB || held == DataA) << "a value it held, after " << r;
            target = MatA();
            EXPECT_EQ(Elems(target), DataA) << "assignable again after " << r;
        }
    });
}

void SweepMatrixSuite(sweep::Tally& tally) {
    sweep::Sweep(tally, "SMtrxNN(4), SMtrxNN(4, true), copy and SetValue", [](sweep::Run& r) {
        r.Arm();
        const Outcome got = Try([] {
            SMtrxNN a(4);
            SMtrxNN b(4, true);
            SMtrxNN c(b);
            SMtrxNN d(b.GetRows(), false);
            SMtrxNN l(2), m(2), n(2);
            a[0][0] = 6.0;
            a.Val[3][3] = 1.0;
            c.SetValue(1, 1, 1.0);
            c.SetValues(0.5);
        });
        r.Disarm();
        // Each object asks once (its elements and row table together): requests 1 to 4 belong
        // to the four matrices of order 4, the rest to the three of order 2.
        ExpectAllocErr(r, got, Outcome::MtrxAlloc, r.N() <= 4 ? 16u : 4u);
    });

    const V a = DataA;
    SweepAssignment(tally, "C = +A", 16, a, [](SMtrxNN& c) { c = +MatA(); });
    SweepAssignment(tally, "C = -A", 16, Times(a, -1.0), [](SMtrxNN& c) {
        const SMtrxNN x = MatA();
        c = -x;
    });
    SweepAssignment(tally, "C = A; C *= 2.0", 16, Times(a, 2.0), [](SMtrxNN& c) {
        const SMtrxNN x = MatA();
        c = x;
        c *= 2.0;
    });
    SweepAssignment(tally, "C = A; C *= 0.0; C += A; C -= A", 16, Times(a, 0.0),
                    [](SMtrxNN& c) {
                        const SMtrxNN x = MatA();
                        c = x;
                        c *= 0.0;
                        c += x;
                        c -= x;
                    });
    SweepAssignment(tally, "C = 2.0 * A - D * 0.5 + D", 16, Plus(Times(a, 2.0), DataB),
                    [](SMtrxNN& c) {
                        const SMtrxNN x = MatA(), d = MatD();
                        c = 2.0 * x - d * 0.5 + d;
                    });
    SweepAssignment(tally, "C = C.Tran()", 16,
                    {6, 4, 4, 4, -3, 2, -2, 2, 4, 4, 3, 3, 1, 0, 1, 1}, [](SMtrxNN& c) {
                        c = MatA();
                        c = c.Tran();
                    });
    SweepAssignment(tally, "L = M * N", 4, {3, 3, -3, -3}, [](SMtrxNN& l) {
        const SMtrxNN m = Set(SMtrxNN(2), {1, 2, -1, -2}), n = Set(SMtrxNN(2), {1, 1, 1, 1});
        l = m * n;
    });

    // Det and IsSingular: a failure anywhere, in the object's work copy or in DetNN2's work
    // storage, is AllocErr with Count 0, never a determinant.
    sweep::Sweep(tally, "A.Det(), A.IsSingular()", [](sweep::Run& r) {
        const SMtrxNN x = MatA();
        double det = 0.0;
        bool singular = true;
        r.Arm();
        const Outcome got = Try([&] {
            det = x.Det();
            singular = x.IsSingular();
        });
        r.Disarm();
        if (r.Failed()) {
            EXPECT_EQ(got.what, Outcome::MtrxAlloc) << r;
            EXPECT_EQ(got.count, 0u) << r;
        } else {
            EXPECT_NEAR(det, 16.0, 1e-12);
            EXPECT_FALSE(singular);
        }
        EXPECT_EQ(Elems(x), DataA) << r;
    });

    sweep::Sweep(tally, "D = A.Inv(); C = A * D", [](sweep::Run& r) {
        const SMtrxNN x = MatA();
        SMtrxNN d = MatD(), c = MatB();
        r.Arm();
        const Outcome inv = Try([&] { d = x.Inv(); });
        // After a failed assignment d may only be destroyed or assigned again.
        Outcome product;
        if (inv.what == Outcome::Nothing) product = Try([&] { c = x * d; });
        r.Disarm();
        EXPECT_EQ(Elems(x), DataA) << r;
        if (!r.Failed()) {
            const V inverse = {1, -0.25, -1.375, 0.375, 0, 0, -0.25, 0.25,
                               -1, 0.5, 1.5, -0.5, -1, -0.5, 1.5, 0.5};
            for (std::size_t k = 0; k < 16; ++k) EXPECT_NEAR(Elems(d)[k], inverse[k], 1e-14);
            for (std::size_t k = 0; k < 16; ++k)
                EXPECT_NEAR(Elems(c)[k], k % 5 == 0 ? 1.0 : 0.0, 1e-14);
            return;
        }
        if (r.FailedInNew()) {
            EXPECT_EQ(inv.what == Outcome::MtrxAlloc, product.what == Outcome::Nothing) << r;
            EXPECT_EQ(inv.count + product.count, 16u) << r;
        } else {
            // The work copy of Inv, or the work storage inside InvMtrxNN: never a zero matrix.
            EXPECT_EQ(inv.what, Outcome::MtrxAlloc) << r;
            EXPECT_EQ(inv.count, 0u) << r;
            EXPECT_EQ(Elems(d), Times(DataB, 2.0)) << r;
        }
    });

    sweep::Sweep(tally, "S = A.Solve(B)", [](sweep::Run& r) {
        const SMtrxNN x = MatA();
        SVect s = Set(SVect(4), {1, 2, 3, 4});
        r.Arm();
        const Outcome got = Try([&] { s = x.Solve(s); });
        r.Disarm();
        if (!r.Failed()) {
            EXPECT_EQ(Elems(x * s), V({1, 2, 3, 4}));
        } else {
            // Its result (Count 4), or its work storage, inside SolveMtrxNN too (Count 0).
            EXPECT_EQ(got.what, Outcome::MtrxAlloc) << r;
            EXPECT_EQ(got.count, r.FailedInNew() ? 4u : 0u) << r;
            EXPECT_EQ(Elems(s), V({1, 2, 3, 4})) << r;
        }
    });
}

// The vector class suite's data.
const V VecA = {6, -3, 4, 1};
SVect VA() { return Set(SVect(4), VecA); }
SVect VB() { return Set(SVect(4, true), VecA); }
SVect VD() { return Set(SVect(4), Times(VecA, 2.0)); }

template <class Op>
void SweepVectAssignment(sweep::Tally& tally, const std::string& name, unsigned count,
                         const V& expected, Op op) {
    sweep::Sweep(tally, name, [&](sweep::Run& r) {
        SVect target = VB();
        r.Arm();
        const Outcome got = Try([&] { op(target); });
        r.Disarm();
        ExpectAllocErr(r, got, Outcome::VectAlloc, count);
        if (!r.Failed()) {
            EXPECT_EQ(Elems(target), expected);
        } else if (got.what != Outcome::Nothing) {
            EXPECT_EQ(Elems(target), VecA) << "its old value, after " << r;
            target = VA();
            EXPECT_EQ(Elems(target), VecA) << "assignable again after " << r;
        }
    });
}

void SweepVectorSuite(sweep::Tally& tally) {
    sweep::Sweep(tally, "SVect(4), SVect(4, true), copy and operator[]", [](sweep::Run& r) {
        r.Arm();
        const Outcome got = Try([] {
            SVect a(4);
            SVect b(4, true);
            SVect c(b);
            SVect d(b.GetSize());
            a[0] = 6.0;
            b[4] = 1.0;
        });
        r.Disarm();
        ExpectAllocErr(r, got, Outcome::VectAlloc, 4);
    });

    SweepVectAssignment(tally, "C = +A", 4, VecA, [](SVect& c) { c = +VA(); });
    SweepVectAssignment(tally, "C = -A", 4, Times(VecA, -1.0), [](SVect& c) {
        const SVect x = VA();
        c = -x;
    });
    SweepVectAssignment(tally, "C = A; C *= 2.0", 4, Times(VecA, 2.0), [](SVect& c) {
        const SVect x = VA();
        c = x;
        c *= 2.0;
    });
    SweepVectAssignment(tally, "C = 2.0 * A - D * 0.5 + D", 4, Times(VecA, 3.0), [](SVect& c) {
        const SVect x = VA(), d = VD();
        c = 2.0 * x - d * 0.5 + d;
    });

    sweep::Sweep(tally, "L = M * N with an SMtrx", [](sweep::Run& r) {
        SMtrx m(2, 4, false);
        const V rows = {1, 2, -2, 1, -1, -2, 2, 1};
        for (unsigned k = 0; k < 8; ++k) m[k / 4][k % 4] = rows[k];
        const SVect n = Set(SVect(4), {1, 1, 1, 0});
        SVect l(2);
        r.Arm();
        const Outcome got = Try([&] { l = m * n; });
        r.Disarm();
        ExpectAllocErr(r, got, Outcome::VectAlloc, 2);
        if (!r.Failed()) {
            EXPECT_EQ(Elems(l), V({1, -1}));
        }
        r.Arm();
        const double dot = n | n;
        r.Disarm();
        EXPECT_FALSE(r.Failed()) << "the inner product asks for nothing: " << r;
        EXPECT_EQ(dot, 3.0);
    });

    sweep::Sweep(tally, "Y = P * X with an SMtrxNN", [](sweep::Run& r) {
        const SMtrxNN p = Set(SMtrxNN(4), {1, 2, -2, 1, -1, -2, 2, 1, 1, -2, 2, 1, -1, 2, -2, 1});
        const SVect x = Set(SVect(4), {1, 0.5, 1, -0.2});
        SVect y(4);
        r.Arm();
        const Outcome got = Try([&] { y = p * x; });
        r.Disarm();
        ExpectAllocErr(r, got, Outcome::VectAlloc, 4);
        if (!r.Failed()) {
            const V expected = {-0.2, -0.2, 1.8, -2.2};
            for (unsigned k = 0; k < 4; ++k) EXPECT_NEAR(Elems(y)[k], expected[k], 1e-15);
        }
    });
}

TEST(AllocationSweep, EveryRequestOfTheClassSuitesOperations) {
    sweep::Tally tally;
    SweepMatrixSuite(tally);
    SweepVectorSuite(tally);
    sweep::Print("object layer", tally);
}

}  // namespace
