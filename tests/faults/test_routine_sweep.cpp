// Every heap request of every routine of the routine layer failing in turn.
//
// For each failure the routine must give its documented failure result (null, false, DBL_MAX,
// -DBL_MAX, sign 0, a null slot), leave its input as it was, release everything it obtained,
// and make the library's report once with the failed request's byte count (checked by the
// sweep). The run that meets no failure must give the right result.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "../routines/RoutineTestUtil.h"
#include "FailingNew.h"
#include "Sweep.h"
#include "routines/Arrays.h"
#include "routines/Balance.h"
#include "routines/DetNN.h"
#include "routines/Heap.h"
#include "routines/LU.h"
#include "routines/Paths.h"
#include "routines/Stacks.h"
#include "routines/kernels/Threads.h"

using namespace quil::detail;  // the library's internals under test

namespace {

using namespace rtest;
using Pivots = Array1D<std::int32_t>;

// The matrices of the square-matrix suite; det(D) = -126.
NN SuiteA(bool b) {
    return MakeNN(b, {{6, -3, 4, 1}, {4, 2, 4, 0}, {4, -2, 3, 1}, {4, 2, 3, 1}});
}
NN SuiteB(bool b) {
    return MakeNN(b, {{2, 3, 1, -3}, {-1, 2, 2, 4}, {4, 1, -3, 5}, {5, -4, -4, 1}});
}
NN SuiteD(bool b) {
    return MakeNN(b, {{-1, 3, 2, 1}, {2, 1, -3, 2}, {-3, 4, 1, 1}, {3, 4, 2, -1}});
}
// Rows and columns far apart in magnitude, so that balancing has work to do.
NN Unbalanced(bool b) { return MakeNN(b, {{1, 1e6, 0}, {1e-6, 1, 1e3}, {3, 1e-3, 2}}); }

const std::vector<double> AB = {36, 12, -16, -9, 22, 20, -4, 16, 27, 7, -13, -4, 23, 15, -5, 12};
const std::vector<double> ATran = {6, 4, 4, 4, -3, 2, -2, 2, 4, 4, 3, 3, 1, 0, 1, 1};

bool AllZero(const std::vector<double>& xs) {
    for (double x : xs)
        if (x != 0.0 || std::signbit(x)) return false;
    return true;
}

// max |a x - b| over the rows.
double Residual(const MtrxNN* a, const Vect* x, const Vect* b) {
    const std::uint32_t lo = Lo(a->Base1);
    double worst = 0.0;
    for (std::uint32_t i = lo; i < lo + a->Size; ++i) {
        double sum = 0.0;
        for (std::uint32_t j = lo; j < lo + a->Size; ++j) sum += a->Elem[i][j] * x->Elem[j];
        worst = std::fmax(worst, std::fabs(sum - b->Elem[i]));
    }
    return worst;
}

// max |a ai - I|.
double DistanceFromInverse(const MtrxNN* a, const MtrxNN* ai) {
    NN p(GetMatrixNN(nullptr, a->Size, a->Base1));
    EXPECT_TRUE(MulMtrxNN(p.get(), a, ai));
    const std::uint32_t lo = Lo(a->Base1);
    double worst = 0.0;
    for (std::uint32_t i = lo; i < lo + a->Size; ++i)
        for (std::uint32_t j = lo; j < lo + a->Size; ++j)
            worst = std::fmax(worst, std::fabs(p->Elem[i][j] - (i == j ? 1.0 : 0.0)));
    return worst;
}

void SweepAllocators(sweep::Tally& tally) {
    sweep::Sweep(tally, "GetHeap", [](sweep::Run& r) {
        void* old = GetHeap(nullptr, 3, 8);
        r.Arm();
        auto* p = static_cast<unsigned char*>(GetHeap(old, 5, 8));
        r.Disarm();
        if (r.Failed()) {
            EXPECT_EQ(p, nullptr) << r;
        } else {
            ASSERT_NE(p, nullptr);
            EXPECT_EQ(std::vector<unsigned char>(p, p + 40), std::vector<unsigned char>(40, 0));
        }
        FreeHeap(p);
    });

    for (bool base1 : {false, true}) {
        const std::string base = base1 ? " (suffix base 1)" : " (suffix base 0)";
        const std::uint32_t lo = Lo(base1);

        sweep::Sweep(tally, "GetArray1D of double" + base, [&](sweep::Run& r) {
            Array1D<double> old = GetArray1D<double>(ArrDouble, nullptr, lo, lo + 3);
            r.Arm();
            Array1D<double> p = GetArray1D<double>(ArrDouble, old, lo, lo + 3);
            r.Disarm();
            if (r.Failed()) {
                EXPECT_EQ(p, nullptr) << r;
            } else {
                ASSERT_TRUE(p);
                for (std::uint32_t i = lo - 1u; i != lo + 4; ++i) EXPECT_EQ(p[i], 0.0);
            }
            FreeArray1D(ArrDouble, p, lo, lo + 3);
        });

        sweep::Sweep(tally, "GetArray1D of int32" + base, [&](sweep::Run& r) {
            r.Arm();
            Pivots p = GetArray1D<std::int32_t>(ArrInt32, nullptr, lo + 3, lo);  // reversed
            r.Disarm();
            if (r.Failed()) {
                EXPECT_EQ(p, nullptr) << r;
            } else {
                ASSERT_TRUE(p);
                for (std::uint32_t i = lo; i <= lo + 3; ++i) EXPECT_EQ(p[i], 0);
            }
            FreeArray1D(ArrInt32, p, lo + 3, lo);
        });

        sweep::Sweep(tally, "GetArray2D" + base, [&](sweep::Run& r) {
            Array2D<double> old = GetArray2D<double>(ArrDouble, nullptr, lo, lo + 1, lo, lo);
            r.Arm();
            Array2D<double> a = GetArray2D<double>(ArrDouble, old, lo, lo + 2, lo, lo + 1);
            r.Disarm();
            if (r.Failed()) {
                EXPECT_EQ(a, nullptr) << r;
            } else {
                ASSERT_TRUE(a);
                for (std::uint32_t i = lo; i <= lo + 2; ++i)
                    for (std::uint32_t j = lo; j <= lo + 1; ++j) EXPECT_EQ(a[i][j], 0.0);
            }
            FreeArray2D(ArrDouble, a, lo, lo + 2, lo, lo + 1);
        });

        sweep::Sweep(tally, "GetVector" + base, [&](sweep::Run& r) {
            Vect* old = GetVector(nullptr, 2, !base1);
            r.Arm();
            V v(GetVector(old, 4, base1));
            r.Disarm();
            if (r.Failed()) {
                EXPECT_EQ(v, nullptr) << r;
            } else {
                ASSERT_TRUE(v);
                EXPECT_EQ(v->Size, 4u);
                EXPECT_EQ(v->Base1, base1);
                EXPECT_EQ(Elems(v.get()), std::vector<double>(4, 0.0));
            }
        });

        sweep::Sweep(tally, "GetMatrix" + base, [&](sweep::Run& r) {
            Mtrx* old = GetMatrix(nullptr, 2, 2, base1);
            r.Arm();
            Mtrx* m = GetMatrix(old, 3, 2, base1);
            r.Disarm();
            if (r.Failed()) {
                EXPECT_EQ(m, nullptr) << r;
            } else {
                ASSERT_NE(m, nullptr);
                EXPECT_EQ(m->Rows, 3u);
                EXPECT_EQ(m->Cols, 2u);
                for (std::uint32_t i = lo; i <= lo + 2; ++i)
                    for (std::uint32_t j = lo; j <= lo + 1; ++j) EXPECT_EQ(m->Elem[i][j], 0.0);
            }
            FreeMatrix(m);
        });

        sweep::Sweep(tally, "GetMatrixNN" + base, [&](sweep::Run& r) {
            MtrxNN* old = GetMatrixNN(nullptr, 2, base1);
            r.Arm();
            NN m(GetMatrixNN(old, 4, base1));
            r.Disarm();
            if (r.Failed()) {
                EXPECT_EQ(m, nullptr) << r;
            } else {
                ASSERT_TRUE(m);
                EXPECT_EQ(m->Size, 4u);
                EXPECT_TRUE(AllZero(Elems(m.get())));
            }
        });

        sweep::Sweep(tally, "release routines" + base, [&](sweep::Run& r) {
            void* block = GetHeap(nullptr, 2, 8);
            Vect* v = GetVector(nullptr, 3, base1);
            Mtrx* m = GetMatrix(nullptr, 2, 3, base1);
            MtrxNN* nn = GetMatrixNN(nullptr, 3, base1);
            Pivots p = GetArray1D<std::int32_t>(ArrInt32, nullptr, lo, lo + 2);
            Array2D<double> a = GetArray2D<double>(ArrDouble, nullptr, lo, lo + 1, lo, lo + 1);
            r.Arm();
            EXPECT_EQ(FreeHeap(block), nullptr);
            EXPECT_EQ(FreeVector(v), nullptr);
            EXPECT_EQ(FreeMatrix(m), nullptr);
            EXPECT_EQ(FreeMatrixNN(nn), nullptr);
            EXPECT_EQ(FreeArray1D(ArrInt32, p, lo, lo + 2), nullptr);
            EXPECT_EQ(FreeArray2D(ArrDouble, a, lo, lo + 1, lo, lo + 1), nullptr);
            EXPECT_EQ(FreeVector(nullptr), nullptr);
            r.Disarm();
            EXPECT_FALSE(r.Failed()) << "releasing asks for nothing: " << r;
        });
    }
}

void SweepArithmetic(sweep::Tally& tally) {
    for (bool base1 : {false, true}) {
        const std::string base = base1 ? " (suffix base 1)" : " (suffix base 0)";

        sweep::Sweep(tally, "vector routines" + base, [&](sweep::Run& r) {
            V a = MakeV(base1, {6, -3, 4, 1});
            V b = MakeV(base1, {2, 3, 1, -3});
            V c(GetVector(nullptr, 4, base1));
            Mtrx* m = GetMatrix(nullptr, 4, 4, base1);
            for (std::uint32_t k = 0; k < 4; ++k) m->Elem[Lo(base1) + k][Lo(base1) + k] = 0.5;
            std::vector<double> sum, diff, scaled, product;
            r.Arm();
            EXPECT_TRUE(AddVect(c.get(), a.get(), b.get()));
            sum = Elems(c.get());
            EXPECT_TRUE(SubVect(c.get(), a.get(), b.get()));
            diff = Elems(c.get());
            EXPECT_TRUE(SclVect(c.get(), 2.0, a.get()));
            scaled = Elems(c.get());
            const double dot = MulVect(a.get(), b.get());
            EXPECT_TRUE(MtrxbyVect(c.get(), m, a.get()));
            product = Elems(c.get());
            SetMtrxO(a.get());
            r.Disarm();
            EXPECT_FALSE(r.Failed()) << "element-wise routines ask for nothing: " << r;
            EXPECT_EQ(sum, std::vector<double>({8, 0, 5, -2}));
            EXPECT_EQ(diff, std::vector<double>({4, -6, 3, 4}));
            EXPECT_EQ(scaled, std::vector<double>({12, -6, 8, 2}));
            EXPECT_EQ(dot, 4.0);
            EXPECT_EQ(product, std::vector<double>({3, -1.5, 2, 0.5}));
            EXPECT_TRUE(AllZero(Elems(a.get())));
            FreeMatrix(m);
        });

        sweep::Sweep(tally, "element-wise square-matrix routines" + base, [&](sweep::Run& r) {
            NN a = SuiteA(base1), b = SuiteB(base1);
            NN c(GetMatrixNN(nullptr, 4, base1));
            r.Arm();
            EXPECT_TRUE(AddMtrxNN(c.get(), a.get(), b.get()));
            EXPECT_TRUE(SubMtrxNN(c.get(), c.get(), b.get()));
            EXPECT_TRUE(SclMtrxNN(c.get(), 0.5, c.get()));
            SetMtrxNNO(b.get());
            r.Disarm();
            EXPECT_FALSE(r.Failed()) << "element-wise routines ask for nothing: " << r;
            std::vector<double> half = Elems(a.get());
            for (double& x : half) x *= 0.5;
            EXPECT_EQ(Elems(c.get()), half);
            EXPECT_TRUE(AllZero(Elems(b.get())));
        });
    }
}

void SweepProducts(sweep::Tally& tally) {
    for (bool base1 : {false, true}) {
        const std::string base = base1 ? " (suffix base 1)" : " (suffix base 0)";

        sweep::Sweep(tally, "MulMtrxNN" + base, [&](sweep::Run& r) {
            NN a = SuiteA(base1), b = SuiteB(base1), c = SuiteD(base1);
            r.Arm();
            const bool ok = MulMtrxNN(c.get(), a.get(), b.get());
            r.Disarm();
            EXPECT_EQ(ok, !r.Failed()) << r;
            EXPECT_EQ(Elems(c.get()), r.Failed() ? Elems(SuiteD(base1).get()) : AB) << r;
        });

        sweep::Sweep(tally, "TrnMtrxNN in place" + base, [&](sweep::Run& r) {
            NN a = SuiteA(base1);
            r.Arm();
            const bool ok = TrnMtrxNN(a.get(), a.get());
            r.Disarm();
            EXPECT_EQ(ok, !r.Failed()) << r;
            EXPECT_EQ(Elems(a.get()), r.Failed() ? Elems(SuiteA(base1).get()) : ATran) << r;
        });
    }
}

void SweepDeterminants(sweep::Tally& tally) {
    for (bool base1 : {false, true}) {
        const std::string base = base1 ? " (suffix base 1)" : " (suffix base 0)";
        // Each determinant routine on the suite's D, which it must leave as it was.
        const auto det = [&](const char* name, double (*routine)(const MtrxNN*)) {
            sweep::Sweep(tally, name + base, [&](sweep::Run& r) {
                NN d = SuiteD(base1);
                r.Arm();
                const double value = routine(d.get());
                r.Disarm();
                if (r.Failed())
                    EXPECT_EQ(value, DBL_MAX) << r;
                else
                    EXPECT_NEAR(value, -126.0, 1e-10);
                EXPECT_EQ(Elems(d.get()), Elems(SuiteD(base1).get())) << r;
            });
        };
        det("DetNNbyRef", DetNNbyRef);
        det("DetNN", DetNN);
        det("DetNN2", DetNN2);

        sweep::Sweep(tally, "DetLog10" + base, [&](sweep::Run& r) {
            NN d = SuiteD(base1);
            int sign = 7;
            r.Arm();
            const double g = DetLog10(d.get(), &sign);
            r.Disarm();
            if (r.Failed()) {
                EXPECT_EQ(g, DBL_MAX) << r;
                EXPECT_EQ(sign, 0) << r;
            } else {
                EXPECT_NEAR(g, std::log10(126.0), 1e-12);
                EXPECT_EQ(sign, -1);
            }
            EXPECT_EQ(Elems(d.get()), Elems(SuiteD(base1).get())) << r;
        });

        sweep::Sweep(tally, "IsSingularMtrxNN" + base, [&](sweep::Run& r) {
            NN d = SuiteD(base1);
            double value = 0.0;
            r.Arm();
            const bool singular = IsSingularMtrxNN(d.get(), &value);
            r.Disarm();
            EXPECT_FALSE(singular) << r;
            if (r.Failed())
                EXPECT_EQ(value, DBL_MAX) << r;
            else
                EXPECT_NEAR(value, -126.0, 1e-10);
        });

        // A row of zeros: the decomposition gives up, but only after its work storage exists.
        sweep::Sweep(tally, "determinants of a matrix with a row of zeros" + base,
                     [&](sweep::Run& r) {
                         NN z = MakeNN(base1, {{1, 2, 3}, {0, 0, 0}, {4, 5, 6}});
                         int sign = 7;
                         double value = 1.0;
                         r.Arm();
                         const double d2 = DetNN2(z.get());
                         const double g = DetLog10(z.get(), &sign);
                         const bool singular = IsSingularMtrxNN(z.get(), &value);
                         r.Disarm();
                         if (r.Failed()) {
                             // One of the three met the failure; the others saw a zero row.
                             EXPECT_TRUE(d2 == DBL_MAX || g == DBL_MAX || value == DBL_MAX) << r;
                         } else {
                             EXPECT_EQ(d2, 0.0);
                             EXPECT_EQ(g, -DBL_MAX);
                             EXPECT_TRUE(singular);
                             EXPECT_EQ(value, 0.0);
                         }
                         EXPECT_EQ(sign, 0) << r;
                     });
    }
}

void SweepInverse(sweep::Tally& tally) {
    for (bool base1 : {false, true}) {
        const std::string base = base1 ? " (suffix base 1)" : " (suffix base 0)";

        sweep::Sweep(tally, "InvMtrxNN" + base, [&](sweep::Run& r) {
            NN d = SuiteD(base1);
            MtrxNN* ai = GetMatrixNN(nullptr, 2, !base1);  // released by the routine
            r.Arm();
            const bool ok = InvMtrxNN(&ai, d.get());
            r.Disarm();
            NN inverse(ai);
            EXPECT_EQ(ok, !r.Failed()) << r;
            if (r.Failed()) {
                EXPECT_EQ(ai, nullptr) << r;
            } else {
                ASSERT_NE(ai, nullptr);
                EXPECT_LT(DistanceFromInverse(d.get(), ai), 1e-13);
            }
            EXPECT_EQ(Elems(d.get()), Elems(SuiteD(base1).get())) << r;
        });

        sweep::Sweep(tally, "InvMtrxNN of a matrix with a row of zeros" + base,
                     [&](sweep::Run& r) {
                         NN z = MakeNN(base1, {{1, 2}, {0, 0}});
                         MtrxNN* ai = nullptr;
                         r.Arm();
                         const bool ok = InvMtrxNN(&ai, z.get());
                         r.Disarm();
                         EXPECT_FALSE(ok) << r;
                         EXPECT_EQ(ai, nullptr) << r;
                     });

        // Orders 4 and 1: the balanced solve and, for order 1, the LU solve alone.
        for (NN (*make)(bool) : {SuiteD, +[](bool b) { return MakeNN(b, {{4}}); }}) {
            sweep::Sweep(tally, "SolveMtrxNN" + base, [&](sweep::Run& r) {
                NN a = make(base1);
                const std::uint32_t n = a->Size;
                V b(GetVector(nullptr, n, base1));
                V x(GetVector(nullptr, n, base1));
                for (std::uint32_t i = Lo(base1); i < Lo(base1) + n; ++i)
                    b->Elem[i] = x->Elem[i] = i + 1.0;
                r.Arm();
                const bool ok = SolveMtrxNN(x.get(), a.get(), b.get());
                r.Disarm();
                EXPECT_EQ(ok, !r.Failed()) << r;
                if (r.Failed())
                    EXPECT_TRUE(SameBits(Elems(x.get()), Elems(b.get()))) << "x untouched, " << r;
                else
                    EXPECT_LT(Residual(a.get(), x.get(), b.get()), 1e-13);
            });
        }

        // The condition estimate: -1.0 when its storage runs out, else its one value.
        const double rcond = [&] {
            NN a = SuiteD(base1);
            return RCondMtrxNN(a.get());
        }();
        sweep::Sweep(tally, "RCondMtrxNN" + base, [&](sweep::Run& r) {
            NN a = SuiteD(base1);
            r.Arm();
            const double got = RCondMtrxNN(a.get());
            r.Disarm();
            EXPECT_TRUE(r.Failed() ? got == -1.0 : SameBits({got}, {rcond})) << got << ", " << r;
        });

        sweep::Sweep(tally, "LUDcmpMtrxNN" + base, [&](sweep::Run& r) {
            NN f = SuiteD(base1);
            Pivots p = GetArray1D<std::int32_t>(ArrInt32, nullptr, Lo(base1), Lo(base1) + 3);
            int parity = 0;
            r.Arm();
            const bool ok = LUDcmpMtrxNN(f.get(), p, &parity);
            r.Disarm();
            EXPECT_EQ(ok, !r.Failed()) << r;
            if (ok) {
                double det = parity;
                for (std::uint32_t i = Lo(base1); i < Lo(base1) + 4; ++i) det *= f->Elem[i][i];
                EXPECT_NEAR(det, -126.0, 1e-10);
            }
            FreeArray1D(ArrInt32, p, Lo(base1), Lo(base1) + 3);
        });

        for (bool keep : {false, true}) {
            const std::string how = keep ? ", factors kept" : ", factors released";
            sweep::Sweep(tally, "LUSolveMtrxNN" + how + base, [&](sweep::Run& r) {
                NN a = SuiteD(base1);
                V b = MakeV(base1, {1, 2, 3, 4});
                Vect* const given = GetVector(nullptr, 2, base1);
                Vect* x = given;
                MtrxNN* f = keep ? GetMatrixNN(nullptr, 2, base1) : nullptr;
                Pivots p;
                r.Arm();
                const bool ok = LUSolveMtrxNN(a.get(), b.get(), &x, &f, &p);
                r.Disarm();
                V xo(x);
                NN fo(f);
                EXPECT_EQ(ok, !r.Failed()) << r;
                if (r.Failed()) {
                    EXPECT_TRUE(f == nullptr && p == nullptr) << r;
                    // The x slot is left alone when the factors' record is what failed.
                    EXPECT_TRUE(x == nullptr || x == given) << r;
                } else {
                    EXPECT_LT(Residual(a.get(), x, b.get()), 1e-13);
                    EXPECT_EQ(f != nullptr, keep);
                    EXPECT_TRUE(p);
                }
                FreeArray1D(ArrInt32, p, Lo(base1), Lo(base1) + 3);
            });
        }

        sweep::Sweep(tally, "LUReSolveMtrxNN" + base, [&](sweep::Run& r) {
            NN a = SuiteD(base1);
            V b = MakeV(base1, {1, 2, 3, 4});
            Vect* x = nullptr;
            MtrxNN* f = GetMatrixNN(nullptr, 1, base1);
            Pivots p;
            ASSERT_TRUE(LUSolveMtrxNN(a.get(), b.get(), &x, &f, &p));
            V b2 = MakeV(base1, {-1, 0, 5, 0.5});
            r.Arm();
            const bool ok = LUReSolveMtrxNN(f, b2.get(), p, &x);
            r.Disarm();
            V xo(x);
            EXPECT_EQ(ok, !r.Failed()) << r;
            if (r.Failed())
                EXPECT_EQ(x, nullptr) << r;
            else
                EXPECT_LT(Residual(a.get(), x, b2.get()), 1e-13);
            FreeMatrixNN(f);
            FreeArray1D(ArrInt32, p, Lo(base1), Lo(base1) + 3);
        });

        sweep::Sweep(tally, "BalanceMtrxNN" + base, [&](sweep::Run& r) {
            NN s = Unbalanced(base1);
            MtrxNN* dr = GetMatrixNN(nullptr, 2, base1);  // released by the routine
            MtrxNN* dc = nullptr;
            r.Arm();
            BalanceMtrxNN(&dr, &dc, s.get());
            r.Disarm();
            NN dro(dr), dco(dc);
            if (r.Failed()) {
                EXPECT_TRUE(dr == nullptr && dc == nullptr) << r;
            } else {
                ASSERT_TRUE(dr && dc);
                NN a = Unbalanced(base1);
                const std::uint32_t lo = Lo(base1);
                for (std::uint32_t i = lo; i < lo + 3; ++i)
                    for (std::uint32_t j = lo; j < lo + 3; ++j)
                        EXPECT_EQ(s->Elem[i][j], dr->Elem[i][i] * a->Elem[i][j] * dc->Elem[j][j]);
                EXPECT_FALSE(SameBits(Elems(s.get()), Elems(a.get())));
            }
        });

        sweep::Sweep(tally, "BalSolveMtrxNN" + base, [&](sweep::Run& r) {
            NN a = Unbalanced(base1);
            V b = MakeV(base1, {1, 2, 3});
            Vect* x = GetVector(nullptr, 3, base1);
            MtrxNN* f = GetMatrixNN(nullptr, 3, base1);
            Pivots p = GetArray1D<std::int32_t>(ArrInt32, nullptr, Lo(base1), Lo(base1) + 2);
            MtrxNN* dr = nullptr;
            MtrxNN* dc = GetMatrixNN(nullptr, 3, base1);
            r.Arm();
            const bool ok = BalSolveMtrxNN(a.get(), b.get(), &x, &f, &p, &dr, &dc);
            r.Disarm();
            V xo(x);
            NN fo(f), dro(dr), dco(dc);
            EXPECT_EQ(ok, !r.Failed()) << r;
            if (r.Failed()) {
                EXPECT_TRUE(x == nullptr && f == nullptr && p == nullptr && dr == nullptr &&
                            dc == nullptr)
                    << r;
            } else {
                EXPECT_LT(Residual(a.get(), x, b.get()), 1e-9);
                EXPECT_TRUE(f && p && dr && dc);
            }
            FreeArray1D(ArrInt32, p, Lo(base1), Lo(base1) + 2);
        });
    }
}

// A matrix whose decomposition, solves and product are divided over threads.
NN Divided(bool base1, std::uint32_t n = 150) {
    NN m(GetMatrixNN(nullptr, n, base1));
    for (std::uint32_t i = 0; i < n; ++i)
        for (std::uint32_t j = 0; j < n; ++j)
            m->Elem[Lo(base1) + i][Lo(base1) + j] = std::sin(1.0 + i * 0.37 + j * j * 0.011) + (i == j ? 4.0 : 0.0);
    return m;
}

// The threads neither ask the heap for anything nor change what a failure does. The kernels'
// scratch (its packing buffers, a set for each part) is aligned storage whose failure the
// kernels answer with fewer parts or the plain loops: the same bits, and no report.
void SweepDividedWork(sweep::Tally& tally) {
    const rtest::Threads threads(2);
    NN a = Divided(true);
    MtrxNN* plain = nullptr;
    ASSERT_TRUE(quil::detail::InvMtrxNN(quil::detail::Path::Plain, &plain, a.get()));
    NN plainInverse(plain);
    NN plainSquare(GetMatrixNN(nullptr, a->Size, true));
    ASSERT_TRUE(
        quil::detail::MulMtrxNN(quil::detail::Path::Plain, plainSquare.get(), a.get(), a.get()));
    // One unarmed call first: it starts the threads and makes each thread's scratch, and so
    // the runtime's own thread-local storage. MinGW's runtime takes that storage from calloc
    // and does not survive a failure there, which is not a request of the library's.
    MtrxNN* warm = nullptr;
    ASSERT_TRUE(InvMtrxNN(&warm, a.get()));
    NN warmInverse(warm);
    sweep::Sweep(tally, "InvMtrxNN with its work divided", [&](sweep::Run& r) {
        MtrxNN* ai = nullptr;
        r.Arm();
        const bool ok = InvMtrxNN(&ai, a.get());
        r.Disarm();
        NN inverse(ai);
        EXPECT_EQ(ok, !r.FailedInHeap()) << r;
        if (ok) {
            EXPECT_TRUE(SameBits(Elems(ai), Elems(plainInverse.get()))) << r;
        }
    });
    // Two parts, each with a set of packing buffers: a failure among them leaves the parts with
    // fewer sets than they were planned for.
    const long scratch = sweep::Sweep(tally, "MulMtrxNN with its work divided", [&](sweep::Run& r) {
        NN c(GetMatrixNN(nullptr, a->Size, true));
        r.Arm();
        const bool ok = MulMtrxNN(c.get(), a.get(), a.get());
        r.Disarm();
        EXPECT_TRUE(ok) << r;
        EXPECT_TRUE(r.FailedIn(allocsweep::Kind::AlignedNew) || !r.Failed()) << r;
        EXPECT_TRUE(SameBits(Elems(c.get()), Elems(plainSquare.get()))) << r;
    });
    EXPECT_GE(scratch, 4) << "two sets of packing buffers";
}

// The stack routines ask for work storage for the matrices that the small orders' code leaves
// to the general way (here the second of three, whose first row lies far above the range of 1)
// and for every matrix of order 20. A failure gives false after the one report; a run that
// meets none, or only the kernels' silent scratch, gives every matrix its bits.
void SweepStacks(sweep::Tally& tally) {
    for (std::uint32_t n : {4u, 20u}) {
        const std::size_t nn = std::size_t{n} * n;
        std::vector<double> a(3 * nn);
        for (std::size_t t = 0; t < a.size(); ++t) a[t] = std::sin(double(t)) + (t % (n + 1) == 0 ? 2.0 : 0.0);
        for (std::uint32_t j = 0; j < n; ++j) a[nn + j] = std::ldexp(a[nn + j], 600);
        using Routine = std::function<bool(Path, double*, std::uint8_t*)>;
        const std::pair<const char*, Routine> routines[] = {
            {"DetNN2Stack", [&](Path p, double* out, std::uint8_t* st) { return DetNN2Stack(p, out, st, 3, n, a.data()); }},
            {"DetLog10Stack", [&](Path p, double* out, std::uint8_t* st) {
                 int sign[3];
                 const bool ok = DetLog10Stack(p, out, sign, st, 3, n, a.data());
                 for (int k = 0; k < 3; ++k) out[3 + k] = sign[k];
                 return ok;
             }},
            {"InvMtrxNNStack", [&](Path p, double* out, std::uint8_t* st) { return InvMtrxNNStack(p, out, st, 3, n, a.data()); }},
            {"SolveMtrxNNStack", [&](Path p, double* out, std::uint8_t* st) {
                 return SolveMtrxNNStack(p, out, st, 3, n, 2, a.data(), a.data());
             }},
            {"MulMtrxNNStack", [&](Path p, double* out, std::uint8_t*) { return MulMtrxNNStack(p, out, 3, n, a.data(), a.data()); }},
            {"RCondMtrxNNStack", [&](Path p, double* out, std::uint8_t* st) { return RCondMtrxNNStack(p, out, st, 3, n, a.data()); }},
        };
        for (const auto& [name, routine] : routines) {
            std::vector<double> want(3 * nn, 7.0);
            std::uint8_t wantStatus[3] = {9, 9, 9};
            ASSERT_TRUE(routine(Path::Plain, want.data(), wantStatus)) << name;
            const auto& call = routine;  // a lambda takes no structured binding before clang 16
            sweep::Sweep(tally, std::string(name) + " of order " + std::to_string(n), [&](sweep::Run& r) {
                std::vector<double> got(3 * nn, 7.0);
                std::uint8_t status[3] = {9, 9, 9};
                r.Arm();
                const bool ok = call(FastestPath(), got.data(), status);
                r.Disarm();
                EXPECT_EQ(ok, !r.FailedInHeap()) << r;
                if (ok) {
                    EXPECT_TRUE(SameBits(got, want)) << r;
                    EXPECT_EQ(std::vector<std::uint8_t>(status, status + 3),
                              std::vector<std::uint8_t>(wantStatus, wantStatus + 3)) << r;
                }
            });
        }
    }
}

TEST(AllocationSweep, EveryRequestOfEveryRoutine) {
    sweep::Tally tally;
    SweepAllocators(tally);
    SweepArithmetic(tally);
    SweepProducts(tally);
    SweepDeterminants(tally);
    SweepInverse(tally);
    if (rtest::kThreadsStart) SweepDividedWork(tally);
    SweepStacks(tally);
    sweep::Print("routine layer", tally);
    // Every place the layer asks the heap has been made to fail: GetHeap, the row table of
    // GetArray2D, and the records of GetVector, GetMatrix and GetMatrixNN.
    EXPECT_GE(tally.sites.size(), 5u);
}

// The threads start with the first call that divides its work. When one cannot be had, the call
// does the work with the threads there are, its own at least, and gives the same bits. The
// product of order 300 asks for more threads than any call before it has started.
TEST(Threads, ACallWhoseThreadsCannotStartDoesItsWorkWithoutThem) {
    QUIL_SKIP_WITHOUT_THREADS();
    const rtest::Threads threads(quil::detail::kMaxThreads);
    NN a = Divided(false, 300);
    NN plain(GetMatrixNN(nullptr, a->Size, false));
    ASSERT_TRUE(quil::detail::MulMtrxNN(quil::detail::Path::Plain, plain.get(), a.get(), a.get()));
    for (long failing : {1, 2, 1}) {
        NN c(GetMatrixNN(nullptr, a->Size, false));
        failnew::FailAt(failing);
        const bool ok = MulMtrxNN(c.get(), a.get(), a.get());
        failnew::Disarm();
        EXPECT_TRUE(failnew::Failed()) << "a thread should have been started, request " << failing;
        EXPECT_TRUE(ok);
        EXPECT_TRUE(SameBits(Elems(c.get()), Elems(plain.get()))) << "request " << failing;
    }
}

}  // namespace
