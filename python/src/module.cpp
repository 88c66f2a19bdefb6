// The Python module quil._quil: the library's square-matrix routines on NumPy arrays.
//
// Every function copies its arguments into the library's records (suffix base 0), calls the
// routine of the same name with the GIL released, and copies the result out, so a result has
// the bits the C++ routine gives for the same doubles, whatever the array's memory order.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>

#include "quil.h"
#include "routines/Work.h"

namespace py = pybind11;

// The library's heap requests are calloc calls; the module is linked with --wrap=calloc so that
// it can tell a request that failed from a result that only looks like a failure (a determinant
// of DBL_MAX, a false from a singular matrix). The count is per thread: each call runs the
// library on its own thread (the kernels' worker threads make no heap requests).
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
// nothing). True when a failure armed before had not happened yet.
bool FailHeapRequest(std::uint64_t k) {
    const bool pending = failIn > 0;
    failIn = k;
    return pending;
}

// numpy.asarray and numpy.linalg.LinAlgError, looked up when the module is loaded (a lookup on
// first use could wait for the import lock while holding the GIL another thread needs).
py::handle asarray;
py::handle linAlgError;

struct FreeMatrix {
    void operator()(MtrxNN* m) const { FreeMatrixNN(m); }
    void operator()(Mtrx* m) const { ::FreeMatrix(m); }
    void operator()(Vect* v) const { FreeVector(v); }
};
using MatrixNNPtr = std::unique_ptr<MtrxNN, FreeMatrix>;
using MatrixPtr = std::unique_ptr<Mtrx, FreeMatrix>;
using VectorPtr = std::unique_ptr<Vect, FreeMatrix>;

[[noreturn]] void Raise(PyObject* type, const char* message) {
    PyErr_SetString(type, message);
    throw py::error_already_set();
}

[[noreturn]] void RaiseSingular() { Raise(linAlgError.ptr(), "Singular matrix"); }

[[noreturn]] void RaiseNoMemory() { Raise(PyExc_MemoryError, "the library ran out of memory"); }

// routine() run with the GIL released, so that other Python threads go on meanwhile; its
// result, or MemoryError when one of the library's heap requests failed during the call.
template <class Routine>
auto Unlocked(const Routine& routine) {
    const std::uint64_t failedBefore = failedRequests;
    decltype(routine()) result;
    {
        const py::gil_scoped_release released;
        result = routine();
    }
    if (failedRequests != failedBefore) RaiseNoMemory();
    return result;
}

// obj as an array of doubles: taken as it is when it holds native doubles, else converted as
// numpy.asarray(obj).astype(float64) converts; complex numbers are refused (TypeError).
py::array Doubles(py::handle obj) {
    if (py::isinstance<py::array_t<double>>(obj)) return py::reinterpret_borrow<py::array>(obj);
    py::array a = asarray(obj);
    if (a.dtype().kind() == 'c') Raise(PyExc_TypeError, "complex numbers are not supported");
    if (!py::isinstance<py::array_t<double>>(a)) a = a.attr("astype")(py::dtype::of<double>());
    return a;
}

// The order of the square matrix a; ValueError unless a is 2-D, square and not empty.
std::uint32_t Order(const py::array& a) {
    if (a.ndim() != 2 || a.shape(0) != a.shape(1) || a.shape(0) == 0)
        throw py::value_error("a must be a square 2-D array with at least one row");
    // Larger orders exceed the library's 32-bit counts; it refuses them as it refuses any
    // request it cannot meet.
    if (static_cast<std::uint64_t>(a.shape(0)) > UINT32_MAX)
        Raise(PyExc_MemoryError, "the order exceeds the library's 32-bit counts");
    return static_cast<std::uint32_t>(a.shape(0));
}

// Copies the rows x cols elements of a (any strides, any alignment) into out, in row order.
void CopyIn(double* out, const py::array& a, std::size_t rows, std::size_t cols) {
    const char* base = static_cast<const char*>(a.data());
    const py::ssize_t rowStride = a.ndim() == 2 ? a.strides(0) : 0;
    const py::ssize_t colStride = a.strides(a.ndim() - 1);
    const auto width = static_cast<py::ssize_t>(sizeof(double));
    if (colStride == width && (rows == 1 || rowStride == py::ssize_t(cols) * width)) {
        std::memcpy(out, base, rows * cols * sizeof(double));
        return;
    }
    for (std::size_t i = 0; i < rows; ++i)
        for (std::size_t j = 0; j < cols; ++j)
            std::memcpy(out + i * cols + j,
                        base + py::ssize_t(i) * rowStride + py::ssize_t(j) * colStride,
                        sizeof(double));
}

// A record of order n holding a's elements; MemoryError when it cannot be had. A large one lies
// in the library's work storage, which the next call finds again, so that calls made again do
// not fault in fresh pages for it whatever the heap did meanwhile; a small one is a record of
// its own (GetMatrixNN).
class MatrixNN {
public:
    MatrixNN(const py::array& a, std::uint32_t n) {
        const std::uint64_t bytes = quil::detail::MatrixBytes(n);
        if (bytes >= kLarge) {
            work_.emplace(bytes);
            if (!*work_) RaiseNoMemory();
            carved_ = quil::detail::WorkCarver(*work_).Matrix(n, false, false);
            m_ = &carved_;
        } else {
            own_.reset(GetMatrixNN(nullptr, n, false));
            if (own_ == nullptr) RaiseNoMemory();
            m_ = own_.get();
        }
        // The rows lie one after another: a[0][0] starts one run of n * n elements.
        CopyIn(&m_->Elem[0][0], a, n, n);
    }
    MatrixNN(const MatrixNN&) = delete;
    MatrixNN& operator=(const MatrixNN&) = delete;

    MtrxNN* get() const { return m_; }
    MtrxNN* operator->() const { return m_; }

private:
    static constexpr std::uint64_t kLarge = std::uint64_t{64} << 10;
    std::optional<quil::detail::WorkBlock> work_;
    MtrxNN carved_{};
    MatrixNNPtr own_;
    MtrxNN* m_ = nullptr;
};

// The square matrix obj as a record; ValueError unless it is one.
MatrixNN Square(const py::object& obj) {
    const py::array a = Doubles(obj);
    return MatrixNN(a, Order(a));
}

// A vector record of n elements, holding b's when b is given; MemoryError when it cannot be had.
VectorPtr Vector(std::uint32_t n, const py::array* b = nullptr) {
    VectorPtr v(GetVector(nullptr, n, false));
    if (v == nullptr) RaiseNoMemory();
    if (b != nullptr) CopyIn(&v->Elem[0], *b, 1, n);
    return v;
}

py::array_t<double> MatrixOut(const MtrxNN* m) {
    const py::ssize_t n = m->Size;
    py::array_t<double> out({n, n});
    std::memcpy(out.mutable_data(), &m->Elem[0][0], std::size_t(n * n) * sizeof(double));
    return out;
}

py::array_t<double> VectorOut(const Vect* v) {
    py::array_t<double> out(py::ssize_t{v->Size});
    std::memcpy(out.mutable_data(), &v->Elem[0], v->Size * sizeof(double));
    return out;
}

}  // namespace

// The module's functions, each named for the Python function it serves.
namespace wrap {

double Det(const py::object& obj, std::string_view method) {
    double (*routine)(const MtrxNN*) = nullptr;
    if (method == "lu")
        routine = DetNN2;
    else if (method == "full")
        routine = DetNN;
    else if (method == "cofactor")
        routine = DetNNbyRef;
    else
        throw py::value_error("method must be \"lu\", \"full\" or \"cofactor\"");
    const MatrixNN m = Square(obj);
    return Unlocked([&] { return routine(m.get()); });
}

py::tuple DetLog10(const py::object& obj) {
    const MatrixNN m = Square(obj);
    int sign = 0;
    const double log = Unlocked([&] { return ::DetLog10(m.get(), &sign); });
    return py::make_tuple(sign, log);
}

bool IsSingular(const py::object& obj) {
    const MatrixNN m = Square(obj);
    double det;
    return Unlocked([&] { return IsSingularMtrxNN(m.get(), &det); });
}

double RCond(const py::object& obj) {
    const MatrixNN m = Square(obj);
    return Unlocked([&] { return RCondMtrxNN(m.get()); });
}

py::array_t<double> Solve(const py::object& aObj, const py::object& bObj) {
    const py::array a = Doubles(aObj);
    const py::array b = Doubles(bObj);
    const std::uint32_t n = Order(a);
    if (b.ndim() != 1 || b.shape(0) != a.shape(0))
        throw py::value_error("b must be a 1-D array of as many elements as a has rows");
    const MatrixNN m(a, n);
    VectorPtr x = Vector(n, &b);
    if (!Unlocked([&] { return SolveMtrxNN(x.get(), m.get(), x.get()); })) RaiseSingular();
    return VectorOut(x.get());
}

py::array_t<double> Inv(const py::object& obj) {
    const py::array a = Doubles(obj);
    const std::uint32_t n = Order(a);
    const MatrixNN m(a, n);
    // The inverse's first column solved alone decomposes the same balanced matrix with the same
    // operations: SolveMtrxNN refuses an exactly zero pivot there, which InvMtrxNN passes over
    // with 1.0e-20. Order 1, which InvMtrxNN refuses, is that solve: 1 / a.
    VectorPtr e = Vector(n);
    e->Elem[0] = 1.0;
    if (!Unlocked([&] { return SolveMtrxNN(e.get(), m.get(), e.get()); })) RaiseSingular();
    if (n == 1) {
        m->Elem[0][0] = e->Elem[0];
        return MatrixOut(m.get());
    }
    // In place: the record receives its inverse.
    const bool inverted = Unlocked([&] {
        MtrxNN* ai = m.get();
        return InvMtrxNN(&ai, m.get());
    });
    if (!inverted) RaiseSingular();
    return MatrixOut(m.get());
}

py::array_t<double> MatMul(const py::object& aObj, const py::object& bObj) {
    const py::array a = Doubles(aObj);
    const py::array b = Doubles(bObj);
    if (a.ndim() == 2 && b.ndim() == 1) {
        // A general matrix times a vector: MtrxbyVect.
        const py::ssize_t rows = a.shape(0), cols = a.shape(1);
        if (rows == 0 || cols == 0 || b.shape(0) != cols)
            throw py::value_error("b must have as many elements as a has columns, at least one");
        if (std::uint64_t(rows) > UINT32_MAX || std::uint64_t(cols) > UINT32_MAX)
            Raise(PyExc_MemoryError, "the shape exceeds the library's 32-bit counts");
        const MatrixPtr m(GetMatrix(nullptr, std::uint32_t(rows), std::uint32_t(cols), false));
        if (m == nullptr) RaiseNoMemory();
        CopyIn(&m->Elem[0][0], a, std::size_t(rows), std::size_t(cols));
        const VectorPtr x = Vector(std::uint32_t(cols), &b);
        const VectorPtr y = Vector(std::uint32_t(rows));
        Unlocked([&] { return MtrxbyVect(y.get(), m.get(), x.get()); });
        return VectorOut(y.get());
    }
    const std::uint32_t n = Order(a);
    if (b.ndim() != 2 || b.shape(0) != a.shape(0) || b.shape(1) != a.shape(1))
        throw py::value_error("b must be a square 2-D array of a's order, or a 1-D array");
    const MatrixNN c(a, n);
    const MatrixNN bm(b, n);
    // Formed in a work record, so the result may take a's place.
    Unlocked([&] { return MulMtrxNN(c.get(), c.get(), bm.get()); });
    return MatrixOut(c.get());
}

void SetNumThreads(long long n) {
    if (n < 0) throw py::value_error("the thread count must be 0 (every core) or more");
    quil::SetNumThreads(static_cast<unsigned>(std::min<long long>(n, UINT_MAX)));  // 64 at most
}

}  // namespace wrap

PYBIND11_MODULE(_quil, m) {
    m.doc() = "The QUIL library's square-matrix routines on NumPy arrays (see the package quil).";
    m.attr("__version__") = QUIL_VERSION;
    asarray = py::object(py::module_::import("numpy").attr("asarray")).release();
    linAlgError = py::object(py::module_::import("numpy.linalg").attr("LinAlgError")).release();

    m.def("det", &wrap::Det, py::arg("a"), py::arg("method") = "lu",
          R"(The determinant of the square matrix a.

method chooses the library's algorithm:
  "lu"        LU decomposition with implicit partial pivoting (DetNN2), n^3;
  "full"      column scaling and elimination with full pivoting (DetNN), n^3;
  "cofactor"  cofactor expansion along the first column (DetNNbyRef); its cost grows like n!,
              so it is for small orders only.
A matrix with a row of zeros gives 0.0; with "lu", any other singular matrix may give a tiny
value instead, since an exactly zero pivot counts as 1.0e-20. A NaN in a gives NaN.
Raises ValueError unless a is a non-empty square 2-D array, MemoryError when memory runs out.)");

    m.def("det_log10", &wrap::DetLog10, py::arg("a"),
          R"(log10 of |det(a)| and the determinant's sign.

Returns (sign, log) with det = sign * 10**log, from the LU decomposition (DetLog10): never
overflows or underflows, however large or small the determinant. A matrix with a row of zeros
gives (0, -1.7976931348623157e+308), which stands for log10(0). A NaN in a gives a NaN log.)");

    m.def("inv", &wrap::Inv, py::arg("a"),
          R"(The inverse of the square matrix a.

Computed by balancing and one LU decomposition (InvMtrxNN): a new C-ordered float64 array.
A matrix of order 1 gives [[1 / a]]. Raises numpy.linalg.LinAlgError when a is exactly
singular: its decomposition meets a row of zeros or an exactly zero pivot (where InvMtrxNN
itself would go on with 1.0e-20). A matrix singular only within rounding gives very large
elements: rcond(a) tells how far to trust them. A NaN in a gives NaNs.)");

    m.def("solve", &wrap::Solve, py::arg("a"), py::arg("b"),
          R"(x with a x = b, for a square matrix a and a 1-D array b.

Solved through the balanced matrix and its LU decomposition as inv solves its first column
(SolveMtrxNN). Raises numpy.linalg.LinAlgError when a is exactly singular (a row of zeros or
an exactly zero pivot), ValueError when the shapes do not fit.)");

    m.def("rcond", &wrap::RCond, py::arg("a"),
          R"(The reciprocal condition number of a in the 1-norm, estimated (RCondMtrxNN).

1 / (|a|_1 |a^-1|_1) with |a^-1|_1 estimated as LAPACK's dgecon does, from the decomposition
that solve uses: 0.0 for an exactly singular matrix, 1.0 for the identity. A solution loses
about -log10(rcond(a)) decimal digits. A NaN in a gives NaN.)");

    m.def("matmul", &wrap::MatMul, py::arg("a"), py::arg("b"),
          R"(The product a b.

Both square of the same order: the matrix product (MulMtrxNN), each element summed over
ascending k. a of any shape r x c and b 1-D of c elements: the matrix-vector product
(MtrxbyVect). Raises ValueError for any other shapes.)");

    m.def("is_singular", &wrap::IsSingular, py::arg("a"),
          R"(True when |det(a, "lu")| is below 1.0e-6 (IsSingularMtrxNN).

The tolerance is absolute: a well-conditioned matrix of small elements counts as singular.)");

    m.def("set_num_threads", &wrap::SetNumThreads, py::arg("n"),
          R"(From now on the library divides large calls over n threads, the caller's included.

1 keeps all work on the calling thread, 0 means every core the process may run on, more than
64 means 64 (quil::SetNumThreads). Results have the same bits on any number of threads.)");

    m.def("num_threads", &quil::NumThreads,
          "The number of threads the library's next large call may use, the caller's included.");

    m.def("_fail_heap_request", &FailHeapRequest, py::arg("k"),
          "For the tests: the k-th heap request of the library on this thread from now on fails "
          "(0 arms nothing). True when a failure armed before had not happened yet.");
}
