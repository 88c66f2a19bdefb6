// The Python module quil._quil: the library's routines over stacks of matrices, for the package
// quil (quil/_linalg.py), which gives them NumPy's conventions.
//
// A stack reaches each function as a C-ordered, aligned float64 array (..., n, n) with n >= 1
// (the package makes it so, where it is not already), and its results leave as new arrays of the
// stack's shape. The library's stack routines
// compute them, or, where it has none, its single routine matrix by matrix, so every matrix gets
// the bits the C++ routine gives it. The GIL is released while the library computes. A long
// call is done in groups of matrices with Python's signal handlers run between them, and a long
// cofactor expansion on a thread of its own that the calling thread can stop: Ctrl-C ends
// either within a fraction of a second, with KeyboardInterrupt.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

#include "quil.h"
#include "routines/Stop.h"
#include "routines/Work.h"

namespace py = pybind11;

// The library's heap requests are calloc calls; the module is linked with --wrap=calloc so that
// it can tell a request that failed from a result that only looks like a failure (a determinant
// of DBL_MAX). The count is per thread: the library's heap requests for a call are made on the
// thread that runs it (the stack routines' own threads report theirs through the result).
namespace {
thread_local std::uint64_t failedRequests = 0;
thread_local std::uint64_t failIn = 0;  // > 0: the failIn-th request from now fails (the tests)
}  // namespace

extern "C" void* __real_calloc(std::size_t count, std::size_t size);

extern "C" void* __wrap_calloc(std::size_t count, std::size_t size) {
    void* p = nullptr;
    if (failIn == 0 || --failIn > 0) p = __real_calloc(count, size);
    if (p == nullptr) ++failedRequests;
    return p;
}

namespace {

// For the tests: the k-th heap request of the library on this thread from now on fails (0 arms
// nothing). True when a failure armed before had not happened yet. The thread's kept work
// storage (routines/Work.h) goes back first, so that the next call asks the heap for its own.
bool FailHeapRequest(std::uint64_t k) {
    const bool pending = failIn > 0;
    quil::detail::ReleaseThreadStorage();
    failIn = k;
    return pending;
}

// numpy.linalg.LinAlgError, looked up when the module is loaded (a lookup on first use could
// wait for the import lock while holding the GIL another thread needs).
py::handle linAlgError;

using Doubles = py::array_t<double>;
using Statuses = std::unique_ptr<std::uint8_t[]>;

[[noreturn]] void Raise(PyObject* type, const char* message) {
    PyErr_SetString(type, message);
    throw py::error_already_set();
}

[[noreturn]] void RaiseNoMemory() { Raise(PyExc_MemoryError, "the library ran out of memory"); }

// A stack of matrices (..., rows, cols) or of vectors (..., rows) in a C-ordered array.
struct Stack {
    const double* data;
    std::vector<py::ssize_t> lead;  // the shape of the stack
    std::uint64_t count;            // the number of matrices or vectors: the product of lead
    std::uint32_t rows, cols;       // of each; cols is 1 for vectors

    // The shape of a result of the stack's shape and, for each matrix, the shape core.
    std::vector<py::ssize_t> Shape(std::initializer_list<py::ssize_t> core) const {
        std::vector<py::ssize_t> shape = lead;
        shape.insert(shape.end(), core);
        return shape;
    }
};

// The stack in a when a is one as the package hands it over: a plain ndarray (no subclass) of
// C-ordered, aligned native float64 with core (1 or 2) dimensions of at least 1 that fit the
// library's 32-bit byte counts. Else nothing: the package then prepares a and calls again.
std::optional<Stack> Ready(const py::handle& obj, py::ssize_t core) {
    constexpr int kReadable =
        int{py::array::c_style} | int{py::detail::npy_api::NPY_ARRAY_ALIGNED_};
    if (Py_TYPE(obj.ptr()) != py::detail::npy_api::get().PyArray_Type_ ||
        !py::isinstance<Doubles>(obj))
        return std::nullopt;
    const auto a = py::reinterpret_borrow<py::array>(obj);
    const py::ssize_t dims = a.ndim();
    if (dims < core || (a.flags() & kReadable) != kReadable) return std::nullopt;
    std::uint64_t bytes = sizeof(double);
    for (py::ssize_t d = dims - core; d < dims; ++d) {
        if (a.shape(d) < 1) return std::nullopt;
        bytes *= static_cast<std::uint64_t>(std::min<py::ssize_t>(a.shape(d), UINT32_MAX));
        if (bytes > UINT32_MAX) return std::nullopt;
    }
    Stack s{static_cast<const double*>(a.data()), {a.shape(), a.shape() + dims - core}, 1,
            static_cast<std::uint32_t>(a.shape(dims - core)),
            core == 2 ? static_cast<std::uint32_t>(a.shape(dims - 1)) : 1u};
    for (const py::ssize_t d : s.lead) s.count *= static_cast<std::uint64_t>(d);
    return s;
}

// A ready stack of square matrices, or nothing.
std::optional<Stack> Square(const py::handle& a) {
    std::optional<Stack> s = Ready(a, 2);
    if (s && s->rows != s->cols) return std::nullopt;
    return s;
}

// Multiply-adds that make a group of matrices worth one release of the GIL, per thread: a group
// lasts a few milliseconds, so Ctrl-C is heard between groups within a fraction of a second.
constexpr double kGroupWork = 4.0 * 1024 * 1024;

// Runs part(begin, end) (true when done) over a stack of count matrices of perMatrix
// multiply-adds each, in groups, with the GIL released during each group and Python's signal
// handlers run between groups: an exception that a handler raises (KeyboardInterrupt at Ctrl-C)
// ends the call there. MemoryError when part fails or a heap request of the library failed.
template <class Part>
void InGroups(std::uint64_t count, double perMatrix, const Part& part) {
    const double threads = quil::NumThreads();
    const auto group = static_cast<std::uint64_t>(
        std::max(threads, kGroupWork * threads / std::max(perMatrix, 1.0)));
    for (std::uint64_t begin = 0; begin < count; begin += group) {
        const std::uint64_t end = count - begin > group ? begin + group : count;
        const std::uint64_t failedBefore = failedRequests;
        bool done = false;
        {
            const py::gil_scoped_release released;
            done = part(begin, end);
        }
        if (!done || failedRequests != failedBefore) RaiseNoMemory();
        if (end < count && PyErr_CheckSignals() != 0) throw py::error_already_set();
    }
}

// Runs work() (true when done) on a thread of its own, with the stop flag of routines/Stop.h
// set for it. Meanwhile the calling thread, holding the GIL only for that, runs Python's signal
// handlers every 20 ms; when one raises, it sets the flag, waits for work to give up and passes
// the exception on. MemoryError as for InGroups.
template <class Work>
void Stoppable(const Work& work) {
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable ended;
    bool finished = false, done = false;
    std::uint64_t failed = 0, armed = failIn;
    bool interrupted = false;
    PyThreadState* saved = PyEval_SaveThread();
    try {
        std::thread worker([&] {
            quil::detail::SetStopFlag(&stop);
            failIn = armed;  // a heap failure armed by a test goes with the work
            const bool ok = work(stop);
            const std::lock_guard<std::mutex> lock(mutex);
            done = ok;
            failed = failedRequests;
            armed = failIn;
            finished = true;
            ended.notify_one();
        });
        std::unique_lock<std::mutex> lock(mutex);
        while (!ended.wait_for(lock, std::chrono::milliseconds(20), [&] { return finished; })) {
            if (interrupted) continue;
            lock.unlock();
            PyEval_RestoreThread(saved);
            interrupted = PyErr_CheckSignals() != 0;
            saved = PyEval_SaveThread();
            if (interrupted) stop = true;
            lock.lock();
        }
        lock.unlock();
        worker.join();
    } catch (...) {  // the thread could not be started
        PyEval_RestoreThread(saved);
        throw;
    }
    PyEval_RestoreThread(saved);
    failIn = armed;
    if (interrupted) throw py::error_already_set();
    if (!done || failed != 0) RaiseNoMemory();
}

// The matrices of a stack, one at a time, in a record of their order (suffix base 0).
class Records {
public:
    explicit Records(const Stack& s) : s_(s), m_(GetMatrixNN(nullptr, s.rows, false)) {}
    Records(const Records&) = delete;
    Records& operator=(const Records&) = delete;
    ~Records() { FreeMatrixNN(m_); }
    bool Ok() const { return m_ != nullptr; }
    // The record holding matrix k.
    const MtrxNN* At(std::uint64_t k) {
        const std::size_t nn = std::size_t{s_.rows} * s_.rows;
        std::memcpy(&m_->Elem[0][0], s_.data + k * nn, nn * sizeof(double));
        return m_;
    }

private:
    const Stack& s_;
    MtrxNN* m_;
};

double Factorial(std::uint32_t n) {
    double f = 1.0;
    for (std::uint32_t i = 2; i <= n; ++i) f *= i;
    return f;
}

// routine(record) for each matrix of the stack, into out.
template <class Routine>
bool EachMatrix(const Stack& s, std::uint64_t begin, std::uint64_t end, double* out,
                Routine routine, const std::atomic<bool>* stop = nullptr) {
    Records records(s);
    if (!records.Ok()) return false;
    for (std::uint64_t k = begin; k < end; ++k) {
        if (stop != nullptr && stop->load(std::memory_order_relaxed)) return true;
        out[k] = routine(records.At(k));
    }
    return true;
}

// Beyond this many terms a cofactor expansion runs where Ctrl-C can stop it (9! is 362880).
constexpr double kStoppableTerms = 1.0e5;

}  // namespace

// The module's functions, each named for the function of quil/_linalg.py it serves.
namespace wrap {

// The determinants of a stack of matrices: "lu" through DetNN2Stack, with an exactly singular
// matrix's tiny value (its zero pivot counted as 1.0e-20) given as 0.0, and "full" and
// "cofactor" through DetNN and DetNNbyRef.
py::object Det(const py::handle& a, std::string_view method) {
    if (method != "lu" && method != "full" && method != "cofactor")
        throw py::value_error("method must be \"lu\", \"full\" or \"cofactor\"");
    const std::optional<Stack> ready = Square(a);
    if (!ready) return py::none();
    const Stack& s = *ready;
    const std::uint32_t n = s.rows;
    Doubles det(s.lead);
    double* out = det.mutable_data();
    if (method == "lu") {
        const Statuses status(new std::uint8_t[s.count]);
        std::uint8_t* st = status.get();
        InGroups(s.count, double(n) * n * n, [&](std::uint64_t begin, std::uint64_t end) {
            const std::size_t skip = begin * n * n;
            if (!DetNN2Stack(out + begin, st + begin, end - begin, n, s.data + skip)) return false;
            for (std::uint64_t k = begin; k < end; ++k)
                if (st[k] != StackDone && !std::isnan(out[k])) out[k] = 0.0;
            return true;
        });
    } else if (method == "full") {
        InGroups(s.count, double(n) * n * n, [&](std::uint64_t begin, std::uint64_t end) {
            return EachMatrix(s, begin, end, out, DetNN);
        });
    } else {
        const double terms = Factorial(n);
        if (terms * double(s.count) < kStoppableTerms) {
            InGroups(s.count, terms, [&](std::uint64_t begin, std::uint64_t end) {
                return EachMatrix(s, begin, end, out, DetNNbyRef);
            });
        } else {
            Stoppable([&](const std::atomic<bool>& stop) {
                return EachMatrix(s, 0, s.count, out, DetNNbyRef, &stop);
            });
        }
    }
    return det;
}

// (sign, log |det|) of each matrix through DetLog10Stack, the logarithm decimal or natural (the
// decimal one times ln 10); an exactly singular matrix (a row of zeros or an exactly zero pivot)
// gives (0, -inf), a matrix holding a NaN a NaN logarithm.
py::object LogDet(const py::handle& a, bool natural) {
    constexpr double kLn10 = 2.302585092994045684;
    const std::optional<Stack> ready = Square(a);
    if (!ready) return py::none();
    const Stack& s = *ready;
    const std::uint32_t n = s.rows;
    Doubles sign(s.lead), logdet(s.lead);
    double* sg = sign.mutable_data();
    double* lg = logdet.mutable_data();
    std::unique_ptr<int[]> signs(new int[s.count]);
    const Statuses status(new std::uint8_t[s.count]);
    InGroups(s.count, double(n) * n * n, [&](std::uint64_t begin, std::uint64_t end) {
        const std::size_t skip = begin * n * n;
        if (!DetLog10Stack(lg + begin, signs.get() + begin, status.get() + begin, end - begin, n,
                           s.data + skip))
            return false;
        for (std::uint64_t k = begin; k < end; ++k) {
            if (status[k] != StackDone && !std::isnan(lg[k])) {
                sg[k] = 0.0;
                lg[k] = -std::numeric_limits<double>::infinity();
            } else {
                sg[k] = signs[k];
                if (natural) lg[k] = lg[k] * kLn10;
            }
        }
        return true;
    });
    return py::make_tuple(sign, logdet);
}

// |DetNN2| < SingularTol for each matrix, as IsSingularMtrxNN decides.
py::object IsSingular(const py::handle& a) {
    const std::optional<Stack> ready = Square(a);
    if (!ready) return py::none();
    const Stack& s = *ready;
    const std::uint32_t n = s.rows;
    py::array_t<bool> singular(s.lead);
    bool* out = singular.mutable_data();
    std::unique_ptr<double[]> det(new double[s.count]);
    InGroups(s.count, double(n) * n * n, [&](std::uint64_t begin, std::uint64_t end) {
        if (!DetNN2Stack(det.get() + begin, nullptr, end - begin, n, s.data + begin * n * n))
            return false;
        for (std::uint64_t k = begin; k < end; ++k) out[k] = std::fabs(det[k]) < SingularTol;
        return true;
    });
    return singular;
}

py::object RCond(const py::handle& a) {
    const std::optional<Stack> ready = Square(a);
    if (!ready) return py::none();
    const Stack& s = *ready;
    const std::uint32_t n = s.rows;
    Doubles rcond(s.lead);
    double* out = rcond.mutable_data();
    InGroups(s.count, 2.0 * n * n * n, [&](std::uint64_t begin, std::uint64_t end) {
        return RCondMtrxNNStack(out + begin, nullptr, end - begin, n, s.data + begin * n * n);
    });
    return rcond;
}

// LinAlgError("Singular matrix") when a matrix of the stack s is exactly singular: its status
// says so and it holds no NaN (whose results are NaN, whatever the status).
void RaiseIfSingular(const Stack& s, const std::uint8_t* status) {
    const std::size_t nn = std::size_t{s.rows} * s.rows;
    const auto isNaN = [](double x) { return std::isnan(x); };
    for (std::uint64_t k = 0; k < s.count; ++k) {
        const double* m = s.data + k * nn;
        if (status[k] != StackDone && std::none_of(m, m + nn, isNaN))
            Raise(linAlgError.ptr(), "Singular matrix");
    }
}


// x with a x = b for each matrix of a stack (..., n, n) and its right-hand sides in b, one
// (..., n) or k of them (..., n, k), through SolveMtrxNNStack.
py::object Solve(const py::handle& a, const py::handle& b) {
    const std::optional<Stack> ready = Square(a);
    if (!ready) return py::none();
    const Stack& s = *ready;
    // b holds vectors (..., n) when it has one dimension fewer than a, else matrices (..., n, k).
    const bool vectors = py::isinstance<py::array>(b) &&
        py::reinterpret_borrow<py::array>(b).ndim() == py::ssize_t(s.lead.size()) + 1;
    const std::optional<Stack> rhs = Ready(b, vectors ? 1 : 2);
    if (!rhs || rhs->lead != s.lead || rhs->rows != s.rows) return py::none();
    const Stack& r = *rhs;
    const std::uint32_t n = s.rows, k = r.cols;
    Doubles x(vectors ? r.Shape({n}) : r.Shape({n, k}));
    double* out = x.mutable_data();
    const Statuses status(new std::uint8_t[s.count]);
    std::uint8_t* st = status.get();
    InGroups(s.count, double(n) * n * (double(n) + k), [&](std::uint64_t begin, std::uint64_t end) {
        const std::size_t skip = begin * n * k;
        return SolveMtrxNNStack(out + skip, st + begin, end - begin, n, k,
                                s.data + begin * n * n, r.data + skip);
    });
    RaiseIfSingular(s, st);
    return x;
}

// The inverse of each matrix through InvMtrxNNStack; LinAlgError when one is exactly singular
// (its decomposition meets a row of zeros or an exactly zero pivot). Order 1, which InvMtrxNN
// refuses, is solved for the right-hand side 1 instead: 1 / a.
py::object Inv(const py::handle& a) {
    const std::optional<Stack> ready = Square(a);
    if (!ready) return py::none();
    const Stack& s = *ready;
    const std::uint32_t n = s.rows;
    Doubles ai(s.Shape({n, n}));
    double* out = ai.mutable_data();
    const Statuses status(new std::uint8_t[s.count]);
    std::uint8_t* st = status.get();
    if (n == 1) std::fill(out, out + s.count, 1.0);
    InGroups(s.count, 2.0 * n * n * n, [&](std::uint64_t begin, std::uint64_t end) {
        const std::size_t skip = begin * n * n;
        if (n == 1)
            return SolveMtrxNNStack(out + skip, st + begin, end - begin, 1, 1, s.data + skip,
                                    out + skip);
        return InvMtrxNNStack(out + skip, st + begin, end - begin, n, s.data + skip);
    });
    RaiseIfSingular(s, st);
    return ai;
}

// The products of the matrices of two stacks of one shape, through MulMtrxNNStack.
py::object MatMul(const py::handle& a, const py::handle& b) {
    const std::optional<Stack> ready = Square(a), other = Square(b);
    if (!ready || !other || other->lead != ready->lead || other->rows != ready->rows)
        return py::none();
    const Stack &s = *ready, &t = *other;
    const std::uint32_t n = s.rows;
    Doubles c(s.Shape({n, n}));
    double* out = c.mutable_data();
    InGroups(s.count, double(n) * n * n, [&](std::uint64_t begin, std::uint64_t end) {
        const std::size_t skip = begin * n * n;
        return MulMtrxNNStack(out + skip, end - begin, n, s.data + skip, t.data + skip);
    });
    return c;
}

// m x for each matrix m of a stack (..., r, c) and one vector x of c elements, through
// MtrxbyVect.
py::object MatVec(const py::handle& a, const py::handle& x) {
    const std::optional<Stack> ready = Ready(a, 2), vector = Ready(x, 1);
    if (!ready || !vector || !vector->lead.empty() || vector->rows != ready->cols)
        return py::none();
    const Stack& s = *ready;
    const std::uint32_t rows = s.rows, cols = s.cols;
    Doubles y(s.Shape({rows}));
    double* out = y.mutable_data();
    InGroups(s.count, double(rows) * cols, [&](std::uint64_t begin, std::uint64_t end) {
        Mtrx* m = GetMatrix(nullptr, rows, cols, false);
        Vect* xv = GetVector(nullptr, cols, false);
        Vect* yv = GetVector(nullptr, rows, false);
        const bool ok = m != nullptr && xv != nullptr && yv != nullptr;
        if (ok) std::memcpy(&xv->Elem[0], vector->data, cols * sizeof(double));
        for (std::uint64_t k = begin; ok && k < end; ++k) {
            std::memcpy(&m->Elem[0][0], s.data + k * rows * cols,
                        std::size_t{rows} * cols * sizeof(double));
            (void)MtrxbyVect(yv, m, xv);  // the shapes agree
            std::memcpy(out + k * rows, &yv->Elem[0], rows * sizeof(double));
        }
        FreeMatrix(m);
        FreeVector(xv);
        FreeVector(yv);
        return ok;
    });
    return y;
}

void SetNumThreads(long long n) {
    if (n < 0) throw py::value_error("the thread count must be 0 (every core) or more");
    quil::SetNumThreads(static_cast<unsigned>(std::min<long long>(n, UINT_MAX)));  // 64 at most
}

}  // namespace wrap

PYBIND11_MODULE(_quil, m) {
    m.doc() = "The QUIL library's routines over stacks of matrices (see the package quil).";
    m.attr("__version__") = QUIL_VERSION;
    linAlgError = py::object(py::module_::import("numpy.linalg").attr("LinAlgError")).release();

    // Each function computes with arrays that are ready (Ready above) and returns None for any
    // other arguments, which the package then prepares: most calls take the first way at once.
    m.def("det", &wrap::Det, py::arg("a"), py::arg("method"));
    m.def("logdet", &wrap::LogDet, py::arg("a"), py::arg("natural"));
    m.def("is_singular", &wrap::IsSingular, py::arg("a"));
    m.def("rcond", &wrap::RCond, py::arg("a"));
    m.def("inv", &wrap::Inv, py::arg("a"));
    m.def("solve", &wrap::Solve, py::arg("a"), py::arg("b"));
    m.def("matmul", &wrap::MatMul, py::arg("a"), py::arg("b"));
    m.def("matvec", &wrap::MatVec, py::arg("a"), py::arg("x"));
    m.def("set_num_threads", &wrap::SetNumThreads, py::arg("n"));
    m.def("num_threads", &quil::NumThreads);
    m.def("_fail_heap_request", &FailHeapRequest, py::arg("k"),
          "For the tests: the k-th heap request of the library on this thread from now on fails "
          "(0 arms nothing), its kept work storage given back first. True when a failure armed "
          "before had not happened yet.");
}
