// Times the library's cubic routines on one thread beside Eigen and OpenBLAS (through CBLAS
// and LAPACKE), at orders 4, 16, 64, 256, 512 and 1024, then the product, the decompositions and
// the inverse on every thread the process may use beside OpenBLAS on as many, prints the figures
// and, with --quil_out=FILE, writes them to FILE as the performance document.
//
// The peers do the same job on the same data: the product; the determinant and its logarithm
// from a partially pivoted LU decomposition of a copy (Eigen's fully pivoted one beside DetNN);
// the inverse. LAPACKE is called column-major on the row-major data, which costs it no
// transposition (the determinant of the transpose is the same, and the inverse of the
// transpose, read row-major, is the inverse), and row-major, as a caller with row-major data
// would call it.
#include <benchmark/benchmark.h>
#include <cblas.h>
#include <lapacke.h>

#include <Eigen/Dense>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <immintrin.h>
#include <iostream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Report.h"
#include "quil.h"
#include "routines/Paths.h"
#include "routines/kernels/Threads.h"

extern "C" void openblas_set_num_threads(int);
extern "C" char* openblas_get_config(void);
extern "C" char* openblas_get_corename(void);

namespace {

using bench::Entry;
using bench::Who;
using quil::detail::Path;

constexpr unsigned kOrders[] = {4, 16, 64, 256, 512, 1024};
// The plain loops and the full pivoting take too long beyond this order to be timed here.
constexpr unsigned kPlainUpTo = 512;
// Orders timed again on every thread.
constexpr unsigned kThreadOrders[] = {256, 512, 1024};

// Uniform values in (-1, 1), row after row, the same for every run.
std::vector<double> Values(unsigned n, unsigned seed) {
    std::mt19937_64 rng(seed * 7919u + n);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::vector<double> v(std::size_t{n} * n);
    for (double& x : v) x = unit(rng);
    return v;
}

struct MtrxNNFree {
    void operator()(MtrxNN* m) const { FreeMatrixNN(m); }
};
using Record = std::unique_ptr<MtrxNN, MtrxNNFree>;

Record MakeRecord(const std::vector<double>& v, unsigned n) {
    Record m(GetMatrixNN(nullptr, n, false));
    std::memcpy(&m->Elem[0][0], v.data(), v.size() * sizeof(double));
    return m;
}

SMtrxNN MakeObject(const std::vector<double>& v, unsigned n) {
    SMtrxNN m(n);
    for (unsigned i = 0; i < n; ++i)
        for (unsigned j = 0; j < n; ++j) m.SetValue(i, j, v[std::size_t{i} * n + j]);
    return m;
}

template <class M>
M MakeEigen(const std::vector<double>& v, unsigned n) {
    M m(n, n);
    for (unsigned i = 0; i < n; ++i)
        for (unsigned j = 0; j < n; ++j) m(i, j) = v[std::size_t{i} * n + j];
    return m;
}

double EigenLogDet(const Eigen::MatrixXd& a, int* sign) {
    const Eigen::PartialPivLU<Eigen::MatrixXd> lu(a);
    double sum = 0.0;
    int s = static_cast<int>(lu.permutationP().determinant());
    for (Eigen::Index i = 0; i < lu.matrixLU().rows(); ++i) {
        const double d = lu.matrixLU()(i, i);
        s = d > 0.0 ? s : -s;
        sum += std::log10(std::fabs(d));
    }
    *sign = s;
    return sum;
}

// LAPACKE's LU of a copy of a: column-major (of the transpose) or row-major.
struct LapackLU {
    int layout;
    std::vector<double> w;
    std::vector<lapack_int> piv;
    LapackLU(unsigned n, int layout) : layout(layout), w(std::size_t{n} * n), piv(n) {}
    void Factor(const std::vector<double>& a, unsigned n) {
        std::copy(a.begin(), a.end(), w.begin());
        LAPACKE_dgetrf(layout, n, n, w.data(), n, piv.data());
    }
    void Invert(unsigned n) { LAPACKE_dgetri(layout, n, w.data(), n, piv.data()); }
    double Det(unsigned n) const {
        double d = 1.0;
        for (unsigned i = 0; i < n; ++i) d *= piv[i] != lapack_int(i + 1) ? -w[i * n + i] : w[i * n + i];
        return d;
    }
    double LogDet(unsigned n, int* sign) const {
        double sum = 0.0;
        int s = 1;
        for (unsigned i = 0; i < n; ++i) {
            const double d = w[i * n + i];
            if ((d > 0.0) != (piv[i] == lapack_int(i + 1))) s = -s;
            sum += std::log10(std::fabs(d));
        }
        *sign = s;
        return sum;
    }
};

std::vector<Entry> entries;

// The threads a run of the library and of OpenBLAS may use, set for each benchmark.
void UseThreads(unsigned threads) {
    quil::detail::SetThreadCount(threads);
    openblas_set_num_threads(static_cast<int>(threads));
}

void Add(Entry e, std::function<void(benchmark::State&)> body) {
    const std::string name = e.Name();
    const unsigned threads = e.threads;
    entries.push_back(std::move(e));
    benchmark::RegisterBenchmark(name.c_str(), [body, threads](benchmark::State& st) {
        UseThreads(threads);
        body(st);
        UseThreads(1);
        // OpenBLAS's idle threads keep spinning for a while after a call, on the cores that the
        // next benchmark's threads need: let them go to sleep first.
        if (threads > 1) std::this_thread::sleep_for(std::chrono::milliseconds(500));
    })
        ->Unit(benchmark::kMicrosecond)
        ->MinTime(0.2)
        ->Repetitions(3)
        ->UseRealTime();
}

void AddProducts(unsigned n, unsigned threads = 1) {
    const double flops = 2.0 * n * n * n;
    const std::vector<double> av = Values(n, 1), bv = Values(n, 2);
    for (bool plain : {false, true}) {
        if (plain && (n > kPlainUpTo || threads > 1)) continue;
        Add({"Product", "MulMtrxNN", plain ? Who::Plain : Who::Quil, n, flops, threads}, [=](benchmark::State& st) {
            Record a = MakeRecord(av, n), b = MakeRecord(bv, n), c = MakeRecord(av, n);
            const Path p = plain ? Path::Plain : quil::detail::FastestPath();
            for (auto _ : st) {
                quil::detail::MulMtrxNN(p, c.get(), a.get(), b.get());
                benchmark::ClobberMemory();
            }
        });
    }
    if (threads > 1) {
        Add({"Product", "", Who::OpenBLAS, n, flops, threads}, [=](benchmark::State& st) {
            std::vector<double> c(av.size());
            for (auto _ : st) {
                cblas_dgemm(CblasRowMajor, CblasNoTrans, CblasNoTrans, n, n, n, 1.0, av.data(), n,
                            bv.data(), n, 0.0, c.data(), n);
                benchmark::ClobberMemory();
            }
        });
        return;
    }
    Add({"Product", "SMtrxNN a * b", Who::Quil, n, flops}, [=](benchmark::State& st) {
        const SMtrxNN a = MakeObject(av, n), b = MakeObject(bv, n);
        for (auto _ : st) {
            const SMtrxNN c = a * b;
            benchmark::DoNotOptimize(c.GetValue(0, 0));
        }
    });
    Add({"Product", "", Who::Eigen, n, flops}, [=](benchmark::State& st) {
        const Eigen::MatrixXd a = MakeEigen<Eigen::MatrixXd>(av, n), b = MakeEigen<Eigen::MatrixXd>(bv, n);
        Eigen::MatrixXd c(n, n);
        for (auto _ : st) {
            c.noalias() = a * b;
            benchmark::DoNotOptimize(c.data());
            benchmark::ClobberMemory();
        }
    });
    if (n == 4)
        Add({"Product", "", Who::EigenFixed, n, flops}, [=](benchmark::State& st) {
            const Eigen::Matrix4d a = MakeEigen<Eigen::Matrix4d>(av, n), b = MakeEigen<Eigen::Matrix4d>(bv, n);
            Eigen::Matrix4d c;
            for (auto _ : st) {
                benchmark::DoNotOptimize(a.data());
                c.noalias() = a * b;
                benchmark::DoNotOptimize(c.data());
            }
        });
    Add({"Product", "", Who::OpenBLAS, n, flops}, [=](benchmark::State& st) {
        std::vector<double> c(av.size());
        for (auto _ : st) {
            cblas_dgemm(CblasRowMajor, CblasNoTrans, CblasNoTrans, n, n, n, 1.0, av.data(), n,
                        bv.data(), n, 0.0, c.data(), n);
            benchmark::ClobberMemory();
        }
    });
}

// LAPACKE's dgetrf on a copy, the determinant or its logarithm after it.
void AddLapackLU(const char* table, unsigned n, double flops, const std::vector<double>& av,
                 Who who, unsigned threads) {
    const bool logarithm = std::string(table) == "Log-determinant";
    Add({table, "", who, n, flops, threads}, [=](benchmark::State& st) {
        LapackLU lu(n, who == Who::OpenBLAS ? LAPACK_COL_MAJOR : LAPACK_ROW_MAJOR);
        int sign = 0;
        for (auto _ : st) {
            lu.Factor(av, n);
            benchmark::DoNotOptimize(logarithm ? lu.LogDet(n, &sign) : lu.Det(n));
        }
    });
}

void AddDeterminants(unsigned n, unsigned threads = 1) {
    const double flops = 2.0 * n * n * n / 3.0;
    const std::vector<double> av = Values(n, 3);
    for (bool plain : {false, true}) {
        if (plain && (n > kPlainUpTo || threads > 1)) continue;
        Add({"Determinant", "DetNN2", plain ? Who::Plain : Who::Quil, n, flops, threads}, [=](benchmark::State& st) {
            Record a = MakeRecord(av, n);
            const Path p = plain ? Path::Plain : quil::detail::FastestPath();
            for (auto _ : st) benchmark::DoNotOptimize(quil::detail::DetNN2(p, a.get()));
        });
    }
    Add({"Log-determinant", "DetLog10", Who::Quil, n, flops, threads}, [=](benchmark::State& st) {
        Record a = MakeRecord(av, n);
        int sign = 0;
        for (auto _ : st) benchmark::DoNotOptimize(DetLog10(a.get(), &sign));
    });
    for (const char* table : {"Determinant", "Log-determinant"}) AddLapackLU(table, n, flops, av, Who::OpenBLAS, threads);
    if (threads > 1) return;
    for (const char* table : {"Determinant", "Log-determinant"}) AddLapackLU(table, n, flops, av, Who::OpenBLASRowMajor, 1);

    if (n <= 8)
        Add({"Determinant", "DetNNbyRef", Who::Quil, n, 0.0}, [=](benchmark::State& st) {
            Record a = MakeRecord(av, n);
            for (auto _ : st) benchmark::DoNotOptimize(DetNNbyRef(a.get()));
        });
    Add({"Determinant", "", Who::Eigen, n, flops}, [=](benchmark::State& st) {
        const Eigen::MatrixXd a = MakeEigen<Eigen::MatrixXd>(av, n);
        for (auto _ : st) benchmark::DoNotOptimize(a.partialPivLu().determinant());
    });
    if (n == 4)
        Add({"Determinant", "", Who::EigenFixed, n, flops}, [=](benchmark::State& st) {
            const Eigen::Matrix4d a = MakeEigen<Eigen::Matrix4d>(av, n);
            for (auto _ : st) {
                benchmark::DoNotOptimize(a.data());
                benchmark::DoNotOptimize(a.determinant());
            }
        });
    Add({"Log-determinant", "", Who::Eigen, n, flops}, [=](benchmark::State& st) {
        const Eigen::MatrixXd a = MakeEigen<Eigen::MatrixXd>(av, n);
        int sign = 0;
        for (auto _ : st) benchmark::DoNotOptimize(EigenLogDet(a, &sign));
    });

    // Full pivoting: DetNN beside Eigen's FullPivLU, which searches the whole remaining block at
    // every step too.
    if (n > kPlainUpTo) return;
    for (bool plain : {false, true}) {
        Add({"Full pivoting", "DetNN", plain ? Who::Plain : Who::Quil, n, flops}, [=](benchmark::State& st) {
            Record a = MakeRecord(av, n);
            const Path p = plain ? Path::Plain : quil::detail::FastestPath();
            for (auto _ : st) benchmark::DoNotOptimize(quil::detail::DetNN(p, a.get()));
        });
    }
    Add({"Full pivoting", "", Who::Eigen, n, flops}, [=](benchmark::State& st) {
        const Eigen::MatrixXd a = MakeEigen<Eigen::MatrixXd>(av, n);
        for (auto _ : st) benchmark::DoNotOptimize(a.fullPivLu().determinant());
    });
}

void AddInverses(unsigned n, unsigned threads = 1) {
    const double flops = 2.0 * n * n * n;
    const std::vector<double> av = Values(n, 4);
    for (bool plain : {false, true}) {
        if (plain && (n > kPlainUpTo || threads > 1)) continue;
        Add({"Inverse", "InvMtrxNN", plain ? Who::Plain : Who::Quil, n, flops, threads}, [=](benchmark::State& st) {
            Record a = MakeRecord(av, n);
            const Path p = plain ? Path::Plain : quil::detail::FastestPath();
            MtrxNN* ai = nullptr;
            for (auto _ : st) benchmark::DoNotOptimize(quil::detail::InvMtrxNN(p, &ai, a.get()));
            FreeMatrixNN(ai);
        });
    }
    for (Who who : {Who::OpenBLAS, Who::OpenBLASRowMajor}) {
        if (who == Who::OpenBLASRowMajor && threads > 1) continue;
        Add({"Inverse", "", who, n, flops, threads}, [=](benchmark::State& st) {
            LapackLU lu(n, who == Who::OpenBLAS ? LAPACK_COL_MAJOR : LAPACK_ROW_MAJOR);
            for (auto _ : st) {
                lu.Factor(av, n);
                lu.Invert(n);
                benchmark::ClobberMemory();
            }
        });
    }
    if (threads > 1) return;
    Add({"Inverse", "", Who::Eigen, n, flops}, [=](benchmark::State& st) {
        const Eigen::MatrixXd a = MakeEigen<Eigen::MatrixXd>(av, n);
        Eigen::MatrixXd ai(n, n);
        for (auto _ : st) {
            ai = a.inverse();
            benchmark::DoNotOptimize(ai.data());
            benchmark::ClobberMemory();
        }
    });
    if (n == 4)
        Add({"Inverse", "", Who::EigenFixed, n, flops}, [=](benchmark::State& st) {
            const Eigen::Matrix4d a = MakeEigen<Eigen::Matrix4d>(av, n);
            Eigen::Matrix4d ai;
            for (auto _ : st) {
                benchmark::DoNotOptimize(a.data());
                ai = a.inverse();
                benchmark::DoNotOptimize(ai.data());
            }
        });
}

// The solve of a x = b beside Eigen's partially pivoted LU and its solve, on a copy.
void AddSolves(unsigned n) {
    const double flops = 2.0 * n * n * n / 3.0 + 2.0 * n * n;
    const std::vector<double> av = Values(n, 7), bv = Values(n, 8);
    Add({"Solve", "SolveMtrxNN", Who::Quil, n, flops}, [=](benchmark::State& st) {
        Record a = MakeRecord(av, n);
        Vect* b = GetVector(nullptr, n, false);
        Vect* x = GetVector(nullptr, n, false);
        for (unsigned i = 0; i < n; ++i) b->Elem[i] = bv[i];
        for (auto _ : st) {
            benchmark::DoNotOptimize(SolveMtrxNN(x, a.get(), b));
            benchmark::ClobberMemory();
        }
        FreeVector(x);
        FreeVector(b);
    });
    Add({"Solve", "", Who::Eigen, n, flops}, [=](benchmark::State& st) {
        const Eigen::MatrixXd a = MakeEigen<Eigen::MatrixXd>(av, n);
        const Eigen::VectorXd b = Eigen::Map<const Eigen::VectorXd>(bv.data(), n);
        Eigen::VectorXd x(n);
        for (auto _ : st) {
            x = a.partialPivLu().solve(b);
            benchmark::DoNotOptimize(x.data());
            benchmark::ClobberMemory();
        }
    });
}

// The object layer's A + B - A into an existing object beside Eigen's: what its temporaries
// cost. 2n² operations.
void AddExpressions(unsigned n) {
    const std::vector<double> av = Values(n, 5), bv = Values(n, 6);
    const double flops = 2.0 * n * n;
    Add({"Expression", "SMtrxNN c = a + b - a", Who::Quil, n, flops}, [=](benchmark::State& st) {
        const SMtrxNN a = MakeObject(av, n), b = MakeObject(bv, n);
        SMtrxNN c(n);
        for (auto _ : st) {
            c = a + b - a;
            benchmark::DoNotOptimize(c.GetValue(0, 0));
        }
    });
    Add({"Expression", "", Who::Eigen, n, flops}, [=](benchmark::State& st) {
        const Eigen::MatrixXd a = MakeEigen<Eigen::MatrixXd>(av, n), b = MakeEigen<Eigen::MatrixXd>(bv, n);
        Eigen::MatrixXd c(n, n);
        for (auto _ : st) {
            c = a + b - a;
            benchmark::DoNotOptimize(c.data());
            benchmark::ClobberMemory();
        }
    });
}

// ---- Stacks ---------------------------------------------------------------------------------

using Stack = std::shared_ptr<const std::vector<double>>;

// count runs of per values uniform in (-1, 1), one after another, the same for every run.
Stack StackValues(std::size_t per, unsigned seed) {
    std::mt19937_64 rng(seed * 7919u + per);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    auto v = std::make_shared<std::vector<double>>(per * bench::kStackSize);
    for (double& x : *v) x = unit(rng);
    return v;
}

// The operands of the stacks of order n: the matrices, the products' second operands and one
// right-hand side per matrix.
struct StackOperands {
    Stack a, b, rhs;
};

StackOperands MakeStackOperands(unsigned n) {
    return {StackValues(std::size_t{n} * n, 11), StackValues(std::size_t{n} * n, 12), StackValues(n, 13)};
}

// Each stack routine on the whole stack, on threads threads.
void AddStackRoutines(unsigned n, unsigned threads, const StackOperands& s) {
    constexpr unsigned count = bench::kStackSize;
    using Call = std::function<bool(double* out, int* sign, std::uint8_t* status)>;
    const auto add = [&](const char* routine, Call call) {
        Add({"Stacks", routine, Who::Quil, n, 0.0, threads, count}, [=](benchmark::State& st) {
            std::vector<double> out(std::size_t{count} * n * n);
            std::vector<int> sign(count);
            std::vector<std::uint8_t> status(count);
            for (auto _ : st) {
                benchmark::DoNotOptimize(call(out.data(), sign.data(), status.data()));
                benchmark::ClobberMemory();
            }
        });
    };
    add("DetNN2Stack", [=](double* o, int*, std::uint8_t* st) { return DetNN2Stack(o, st, count, n, s.a->data()); });
    add("DetLog10Stack", [=](double* o, int* sign, std::uint8_t* st) {
        return DetLog10Stack(o, sign, st, count, n, s.a->data());
    });
    add("InvMtrxNNStack", [=](double* o, int*, std::uint8_t* st) { return InvMtrxNNStack(o, st, count, n, s.a->data()); });
    add("SolveMtrxNNStack", [=](double* o, int*, std::uint8_t* st) {
        return SolveMtrxNNStack(o, st, count, n, 1, s.a->data(), s.rhs->data());
    });
    add("MulMtrxNNStack", [=](double* o, int*, std::uint8_t*) {
        return MulMtrxNNStack(o, count, n, s.a->data(), s.b->data());
    });
    add("RCondMtrxNNStack", [=](double* o, int*, std::uint8_t* st) {
        return RCondMtrxNNStack(o, st, count, n, s.a->data());
    });
}

// The single routines in a loop over the same matrices, each copied into a record first.
void AddSingleCalls(unsigned n, const StackOperands& s) {
    constexpr unsigned count = bench::kStackSize;
    const std::size_t nn = std::size_t{n} * n;
    const auto add = [&](const char* routine, std::function<void(benchmark::State&)> body) {
        Add({"Stacks", routine, Who::SingleCalls, n, 0.0, 1, count}, std::move(body));
    };
    add("DetNN2Stack", [=](benchmark::State& st) {
        Record m(GetMatrixNN(nullptr, n, false));
        std::vector<double> out(count);
        for (auto _ : st) {
            for (unsigned k = 0; k < count; ++k) {
                std::memcpy(&m->Elem[0][0], s.a->data() + k * nn, nn * sizeof(double));
                out[k] = DetNN2(m.get());
            }
            benchmark::ClobberMemory();
        }
    });
    add("DetLog10Stack", [=](benchmark::State& st) {
        Record m(GetMatrixNN(nullptr, n, false));
        std::vector<double> out(count);
        std::vector<int> sign(count);
        for (auto _ : st) {
            for (unsigned k = 0; k < count; ++k) {
                std::memcpy(&m->Elem[0][0], s.a->data() + k * nn, nn * sizeof(double));
                out[k] = DetLog10(m.get(), &sign[k]);
            }
            benchmark::ClobberMemory();
        }
    });
    add("InvMtrxNNStack", [=](benchmark::State& st) {
        Record m(GetMatrixNN(nullptr, n, false));
        std::vector<double> out(count * nn);
        MtrxNN* ai = nullptr;
        for (auto _ : st) {
            for (unsigned k = 0; k < count; ++k) {
                std::memcpy(&m->Elem[0][0], s.a->data() + k * nn, nn * sizeof(double));
                if (InvMtrxNN(&ai, m.get())) std::memcpy(&out[k * nn], &ai->Elem[0][0], nn * sizeof(double));
            }
            benchmark::ClobberMemory();
        }
        FreeMatrixNN(ai);
    });
    add("SolveMtrxNNStack", [=](benchmark::State& st) {
        Record m(GetMatrixNN(nullptr, n, false));
        Vect* b = GetVector(nullptr, n, false);
        Vect* x = GetVector(nullptr, n, false);
        std::vector<double> out(count * n);
        for (auto _ : st) {
            for (unsigned k = 0; k < count; ++k) {
                std::memcpy(&m->Elem[0][0], s.a->data() + k * nn, nn * sizeof(double));
                std::memcpy(&b->Elem[0], s.rhs->data() + k * n, n * sizeof(double));
                if (SolveMtrxNN(x, m.get(), b)) std::memcpy(&out[k * n], &x->Elem[0], n * sizeof(double));
            }
            benchmark::ClobberMemory();
        }
        FreeVector(x);
        FreeVector(b);
    });
    add("MulMtrxNNStack", [=](benchmark::State& st) {
        Record m(GetMatrixNN(nullptr, n, false)), p(GetMatrixNN(nullptr, n, false)), c(GetMatrixNN(nullptr, n, false));
        std::vector<double> out(count * nn);
        for (auto _ : st) {
            for (unsigned k = 0; k < count; ++k) {
                std::memcpy(&m->Elem[0][0], s.a->data() + k * nn, nn * sizeof(double));
                std::memcpy(&p->Elem[0][0], s.b->data() + k * nn, nn * sizeof(double));
                if (MulMtrxNN(c.get(), m.get(), p.get())) std::memcpy(&out[k * nn], &c->Elem[0][0], nn * sizeof(double));
            }
            benchmark::ClobberMemory();
        }
    });
    add("RCondMtrxNNStack", [=](benchmark::State& st) {
        Record m(GetMatrixNN(nullptr, n, false));
        std::vector<double> out(count);
        for (auto _ : st) {
            for (unsigned k = 0; k < count; ++k) {
                std::memcpy(&m->Elem[0][0], s.a->data() + k * nn, nn * sizeof(double));
                out[k] = RCondMtrxNN(m.get());
            }
            benchmark::ClobberMemory();
        }
    });
}

// Eigen's fixed-size matrices of order N in a loop over the same data.
template <int N>
void AddEigenStacks(const StackOperands& s) {
    using M = Eigen::Matrix<double, N, N>;
    using Vn = Eigen::Matrix<double, N, 1>;
    using LU = Eigen::PartialPivLU<M>;
    constexpr unsigned count = bench::kStackSize;
    constexpr std::size_t nn = std::size_t{N} * N;
    auto a = std::make_shared<std::vector<M>>(count), b = std::make_shared<std::vector<M>>(count);
    auto rhs = std::make_shared<std::vector<Vn>>(count);
    for (unsigned k = 0; k < count; ++k)
        for (int i = 0; i < N; ++i) {
            for (int j = 0; j < N; ++j) {
                (*a)[k](i, j) = (*s.a)[k * nn + i * N + j];
                (*b)[k](i, j) = (*s.b)[k * nn + i * N + j];
            }
            (*rhs)[k](i) = (*s.rhs)[k * N + i];
        }
    const auto add = [&](const char* routine, Who who, std::function<void(benchmark::State&)> body) {
        Add({"Stacks", routine, who, N, 0.0, 1, count}, std::move(body));
    };
    add("DetNN2Stack", Who::EigenFixed, [=](benchmark::State& st) {
        std::vector<double> out(count);
        for (auto _ : st) {
            for (unsigned k = 0; k < count; ++k) out[k] = LU((*a)[k]).determinant();
            benchmark::ClobberMemory();
        }
    });
    if constexpr (N == 4)
        add("DetNN2Stack", Who::EigenClosedForm, [=](benchmark::State& st) {
            std::vector<double> out(count);
            for (auto _ : st) {
                for (unsigned k = 0; k < count; ++k) out[k] = (*a)[k].determinant();
                benchmark::ClobberMemory();
            }
        });
    add("DetLog10Stack", Who::EigenFixed, [=](benchmark::State& st) {
        std::vector<double> out(count);
        std::vector<int> sign(count);
        for (auto _ : st) {
            for (unsigned k = 0; k < count; ++k) {
                const LU lu((*a)[k]);
                double sum = 0.0;
                int sg = static_cast<int>(lu.permutationP().determinant());
                for (int i = 0; i < N; ++i) {
                    const double d = lu.matrixLU()(i, i);
                    sg = d > 0.0 ? sg : -sg;
                    sum += std::log10(std::fabs(d));
                }
                out[k] = sum;
                sign[k] = sg;
            }
            benchmark::ClobberMemory();
        }
    });
    add("InvMtrxNNStack", Who::EigenFixed, [=](benchmark::State& st) {
        std::vector<M> out(count);
        for (auto _ : st) {
            for (unsigned k = 0; k < count; ++k) out[k] = (*a)[k].inverse();
            benchmark::ClobberMemory();
        }
    });
    add("SolveMtrxNNStack", Who::EigenFixed, [=](benchmark::State& st) {
        std::vector<Vn> out(count);
        for (auto _ : st) {
            for (unsigned k = 0; k < count; ++k) out[k] = LU((*a)[k]).solve((*rhs)[k]);
            benchmark::ClobberMemory();
        }
    });
    add("MulMtrxNNStack", Who::EigenFixed, [=](benchmark::State& st) {
        std::vector<M> out(count);
        for (auto _ : st) {
            for (unsigned k = 0; k < count; ++k) out[k].noalias() = (*a)[k] * (*b)[k];
            benchmark::ClobberMemory();
        }
    });
    add("RCondMtrxNNStack", Who::EigenFixed, [=](benchmark::State& st) {
        std::vector<double> out(count);
        for (auto _ : st) {
            for (unsigned k = 0; k < count; ++k) out[k] = LU((*a)[k]).rcond();
            benchmark::ClobberMemory();
        }
    });
}

void AddStacks(unsigned n, unsigned cores) {
    const StackOperands s = MakeStackOperands(n);
    AddStackRoutines(n, 1, s);
    if (cores > 1) AddStackRoutines(n, 2, s);
    AddSingleCalls(n, s);
    switch (n) {
    case 4: AddEigenStacks<4>(s); break;
    case 8: AddEigenStacks<8>(s); break;
    case 16: AddEigenStacks<16>(s); break;
    default: break;
    }
}

// The most a core does per second with separate multiplications and additions, which results
// defined by their order need, and with fused multiply-adds, which a BLAS may use: twelve
// independent chains in registers. The empty asm makes every multiplication a new one.
template <class F>
void AddCeiling(const char* what, double flopsPerRound, F rounds) {
    constexpr long kRounds = 1'000'000;
    Add({"Ceiling", what, Who::Ceiling, 0, flopsPerRound * kRounds}, [=](benchmark::State& st) {
        for (auto _ : st) benchmark::DoNotOptimize(rounds(kRounds));
    });
}

#define QUIL_CHAINS(step) step(0) step(1) step(2) step(3) step(4) step(5) step(6) step(7) \
    step(8) step(9) step(10) step(11)

__attribute__((target("avx512f"))) double Sum(const __m512d (&acc)[12]) {
    double lanes[8], sum = 0.0;
    for (const __m512d& a : acc) {
        _mm512_storeu_pd(lanes, a);
        for (double x : lanes) sum += x;
    }
    return sum;
}

__attribute__((target("avx512f"))) double MulAdd512(long rounds) {
    __m512d acc[12];
    for (int i = 0; i < 12; ++i) acc[i] = _mm512_set1_pd(i);
    __m512d b = _mm512_set1_pd(1.0 + 1e-9), c = _mm512_set1_pd(1e-12);
    for (long r = 0; r < rounds; ++r) {
#define QUIL_STEP(i) \
    acc[i] = _mm512_add_pd(acc[i], _mm512_mul_pd(b, c)); \
    __asm__ volatile("" : "+v"(c));
        QUIL_CHAINS(QUIL_STEP)
#undef QUIL_STEP
        __asm__ volatile("" : "+v"(b), "+v"(c));
    }
    return Sum(acc);
}

__attribute__((target("avx512f,fma"))) double Fma512(long rounds) {
    __m512d acc[12];
    for (int i = 0; i < 12; ++i) acc[i] = _mm512_set1_pd(i);
    __m512d b = _mm512_set1_pd(1.0 + 1e-9), c = _mm512_set1_pd(1e-12);
    for (long r = 0; r < rounds; ++r) {
#define QUIL_STEP(i) acc[i] = _mm512_fmadd_pd(b, c, acc[i]);
        QUIL_CHAINS(QUIL_STEP)
#undef QUIL_STEP
        __asm__ volatile("" : "+v"(b), "+v"(c));
    }
    return Sum(acc);
}

__attribute__((target("avx2"))) double MulAdd256(long rounds) {
    __m256d acc[12];
    for (int i = 0; i < 12; ++i) acc[i] = _mm256_set1_pd(i);
    __m256d b = _mm256_set1_pd(1.0 + 1e-9), c = _mm256_set1_pd(1e-12);
    for (long r = 0; r < rounds; ++r) {
#define QUIL_STEP(i) \
    acc[i] = _mm256_add_pd(acc[i], _mm256_mul_pd(b, c)); \
    __asm__ volatile("" : "+v"(c));
        QUIL_CHAINS(QUIL_STEP)
#undef QUIL_STEP
        __asm__ volatile("" : "+v"(b), "+v"(c));
    }
    double out[4];
    __m256d s = acc[0];
    for (int i = 1; i < 12; ++i) s = _mm256_add_pd(s, acc[i]);
    _mm256_storeu_pd(out, s);
    return out[0] + out[1] + out[2] + out[3];
}

std::string ProcessorModel() {
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line, model = "unknown processor";
    unsigned cores = 0;
    while (std::getline(cpuinfo, line)) {
        if (line.rfind("model name", 0) == 0) {
            model = line.substr(line.find(':') + 2);
            ++cores;
        }
    }
    std::ostringstream out;
    out << model << ", " << cores << " logical cores";
    if (__builtin_cpu_supports("avx512f")) out << ", AVX-512";
    else if (__builtin_cpu_supports("avx2")) out << ", AVX2";
    return out.str();
}

std::string LoadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

std::string UtcNow() {
    const std::time_t t = std::time(nullptr);
    char buf[64];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M UTC", std::gmtime(&t));
    return buf;
}

}  // namespace

int main(int argc, char** argv) {
    std::string out;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--quil_out=", 11) == 0)
            out = argv[i] + 11;
        else
            args.push_back(argv[i]);
    }
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    // Every core the process may use (or QUIL_NUM_THREADS), read before the runs set their own.
    const unsigned cores = quil::detail::ThreadCount();
    UseThreads(1);
    Eigen::setNbThreads(1);

    for (unsigned n : kOrders) AddProducts(n);
    for (unsigned n : kOrders) AddDeterminants(n);
    for (unsigned n : kOrders) AddInverses(n);
    for (unsigned n : kOrders) AddSolves(n);
    for (unsigned n : {4u, 64u, 512u}) AddExpressions(n);
    for (unsigned n : bench::kStackOrders) AddStacks(n, cores);
    if (cores > 1) {
        for (unsigned n : kThreadOrders) AddProducts(n, cores);
        for (unsigned n : kThreadOrders) AddDeterminants(n, cores);
        for (unsigned n : kThreadOrders) AddInverses(n, cores);
    }
    if (__builtin_cpu_supports("avx512f")) {
        AddCeiling("512-bit multiply, then add", 12 * 16, MulAdd512);
        AddCeiling("512-bit fused multiply-add", 12 * 16, Fma512);
    }
    if (__builtin_cpu_supports("avx2")) AddCeiling("256-bit multiply, then add", 12 * 8, MulAdd256);

    bench::Setting setting;
    setting.processor = ProcessorModel();
    const quil::detail::Path path = quil::detail::FastestPath();
    const quil::detail::TileShape shape = quil::detail::ShapeOf(path);
    setting.path = quil::detail::PathName(path);
    setting.tile = std::to_string(shape.rows) + " × " + std::to_string(shape.columns) + " tile of " +
                   std::to_string(shape.vectorBits) + "-bit vectors, panels " +
                   std::to_string(shape.panelDepth) + " steps deep";
    setting.threads = cores;
#if defined(__clang__)
    setting.compiler = std::string("clang++ ") + __clang_version__;
#else
    setting.compiler = std::string("g++ ") + __VERSION__;
#endif
    setting.blas = std::string(openblas_get_config()) + ", kernels " + openblas_get_corename();
    setting.started = UtcNow();
    setting.loadBefore = LoadAverage();

    bench::Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    benchmark::Shutdown();
    setting.loadAfter = LoadAverage();

    const std::string doc = bench::Document(entries, collector, setting) + bench::AccuracyNotes();
    std::cout << '\n' << doc;
    if (!out.empty()) {
        std::ofstream file(out);
        file << doc;
        if (!file) {
            std::cerr << "quil_bench: cannot write " << out << '\n';
            return 1;
        }
        std::cout << "\nwritten to " << out << '\n';
    }
    return 0;
}
