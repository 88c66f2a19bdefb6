#include "BitsCorpus.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "quil.h"

namespace bits {

namespace {

// The corpus is made with exact operations only (integers, powers of 2, correctly rounded
// divisions and products), so that every target makes the same matrices.

// splitmix64: a reproducible stream of 64-bit numbers.
class Stream {
public:
    explicit Stream(std::uint64_t seed) : s_(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (s_ += 0x9e3779b97f4a7c15u);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
        return z ^ (z >> 31);
    }
    // A double in [-1, 1) with 53 random bits.
    double Uniform() {
        const auto m = static_cast<std::int64_t>(Next() >> 11);
        return static_cast<double>(m - (std::int64_t{1} << 52)) * 0x1p-52;
    }

private:
    std::uint64_t s_;
};

using Rows = std::vector<double>;  // an n x n matrix, row by row

Rows Random(std::uint32_t n, std::uint64_t seed) {
    Stream s(seed * 1000003u + n);
    Rows m(std::size_t{n} * n);
    for (double& x : m) x = s.Uniform();
    return m;
}

// The right-hand side and second operand of order n.
Rows Vector(std::uint32_t n) {
    Rows v = Random(n, 7);
    v.resize(n);
    return v;
}

// The matrices of the corpus, by name: ordinary ones, classic ill-conditioned ones, singular
// ones, NaN and infinity, subnormal elements, rows far outside the range of 1, and the rows of a
// huge and a subnormal element that the row shifts must take as they are.
struct Kind {
    const char* name;
    std::function<Rows(std::uint32_t n)> make;
    bool elementwise = false;  // also the element-wise operations (on every sort of element)
};

const std::vector<Kind>& Kinds() {
    static const std::vector<Kind> kinds = {
        {"random", [](std::uint32_t n) { return Random(n, 1); }, true},
        {"graded",
         [](std::uint32_t n) {
             Rows m = Random(n, 2);
             for (std::uint32_t i = 0; i < n; ++i)
                 for (std::uint32_t j = 0; j < n; ++j)
                     m[i * n + j] = std::ldexp(m[i * n + j],
                                               static_cast<int>(3 * i) - static_cast<int>(2 * j));
             return m;
         }},
        {"hilbert",
         [](std::uint32_t n) {
             Rows m(std::size_t{n} * n);
             for (std::uint32_t i = 0; i < n; ++i)
                 for (std::uint32_t j = 0; j < n; ++j) m[i * n + j] = 1.0 / (i + j + 1);
             return m;
         }},
        {"pascal",
         [](std::uint32_t n) {
             Rows m(std::size_t{n} * n);
             for (std::uint32_t i = 0; i < n; ++i)
                 for (std::uint32_t j = 0; j < n; ++j)
                     m[i * n + j] = i == 0 || j == 0 ? 1.0 : m[(i - 1) * n + j] + m[i * n + j - 1];
             return m;
         }},
        {"vandermonde",
         [](std::uint32_t n) {
             Rows m(std::size_t{n} * n);
             for (std::uint32_t i = 0; i < n; ++i) {
                 const double x = (2.0 * i - (n - 1.0)) / n;
                 double p = 1.0;
                 for (std::uint32_t j = 0; j < n; ++j, p = p * x) m[i * n + j] = p;
             }
             return m;
         }},
        {"duplicate",  // the last row a copy of the first
         [](std::uint32_t n) {
             Rows m = Random(n, 3);
             for (std::uint32_t j = 0; j < n; ++j) m[(n - 1) * n + j] = m[j];
             return m;
         }},
        {"zero-row",
         [](std::uint32_t n) {
             Rows m = Random(n, 4);
             for (std::uint32_t j = 0; j < n; ++j) m[n / 2 * n + j] = 0.0;
             return m;
         }},
        {"nan",
         [](std::uint32_t n) {
             Rows m = Random(n, 5);
             m[n / 2 * n + (n - 1) / 3] = std::numeric_limits<double>::quiet_NaN();
             return m;
         }},
        {"infinity",
         [](std::uint32_t n) {
             Rows m = Random(n, 6);
             m[(n - 1) / 3 * n + n / 2] = -std::numeric_limits<double>::infinity();
             return m;
         }},
        {"subnormal",
         [](std::uint32_t n) {
             Rows m = Random(n, 8);
             for (double& x : m) x = x * 0x1p-1060;
             return m;
         }},
        {"range-edge",  // rows near the ends of the range, a subnormal beside the largest
         [](std::uint32_t n) {
             static const int exponents[] = {900, -900, 300, -1000, 0, 1020, -700};
             Rows m = Random(n, 9);
             for (std::uint32_t i = 0; i < n; ++i)
                 for (std::uint32_t j = 0; j < n; ++j)
                     m[i * n + j] = std::ldexp(m[i * n + j], exponents[i % 7]);
             if (n > 1) m[n - 1] = 3 * 0x1p-1074;
             return m;
         },
         true},
        {"shift-300",  // ((2^300, 3 2^-1074) / (2^1000, 2^-1074)) beside the identity
         [](std::uint32_t n) {
             Rows m(std::size_t{n} * n, 0.0);
             for (std::uint32_t i = 0; i < n; ++i) m[i * n + i] = 1.0;
             m[0] = 0x1p300;
             if (n > 1) {
                 m[1] = 3 * 0x1p-1074;
                 m[n] = 0x1p1000;
                 m[n + 1] = 0x1p-1074;
             }
             return m;
         }},
        {"shift-257",
         [](std::uint32_t n) {
             Rows m(std::size_t{n} * n, 0.0);
             for (std::uint32_t i = 0; i < n; ++i) m[i * n + i] = 1.0;
             m[0] = 0x1p257;
             if (n > 1) {
                 m[1] = 3 * 0x1p-1074;
                 m[n] = 0x1p1000;
                 m[n + 1] = 0x1p-1074;
             }
             return m;
         }},
    };
    return kinds;
}

// The orders of the corpus: 1 to 64 for every kind, and larger ones, in the kernels' blocked
// ranges, for the first two.
std::vector<std::uint32_t> Orders(std::size_t kind) {
    std::vector<std::uint32_t> orders;
    for (std::uint32_t n = 1; n <= 64; ++n) orders.push_back(n);
    if (kind < 2) orders.insert(orders.end(), {100u, 130u});
    return orders;
}

std::uint32_t Lo(bool base1) { return base1 ? 1u : 0u; }

// Records filled from rows, released at the end of the scope.
struct NN {
    MtrxNN* m;
    NN(const Rows& rows, std::uint32_t n, bool base1) : m(GetMatrixNN(nullptr, n, base1)) {
        for (std::uint32_t i = 0; i < n; ++i)
            for (std::uint32_t j = 0; j < n; ++j)
                m->Elem[Lo(base1) + i][Lo(base1) + j] = rows[i * n + j];
    }
    NN(std::uint32_t n, bool base1) : m(GetMatrixNN(nullptr, n, base1)) {}
    ~NN() { FreeMatrixNN(m); }
    NN(const NN&) = delete;
    NN& operator=(const NN&) = delete;
    Rows Values() const {
        Rows out;
        for (std::uint32_t i = 0; i < m->Size; ++i)
            for (std::uint32_t j = 0; j < m->Size; ++j)
                out.push_back(m->Elem[Lo(m->Base1) + i][Lo(m->Base1) + j]);
        return out;
    }
};
struct V {
    Vect* v;
    V(const Rows& values, bool base1)
        : v(GetVector(nullptr, static_cast<std::uint32_t>(values.size()), base1)) {
        for (std::uint32_t i = 0; i < v->Size; ++i) v->Elem[Lo(base1) + i] = values[i];
    }
    ~V() { FreeVector(v); }
    V(const V&) = delete;
    V& operator=(const V&) = delete;
    Rows Values() const {
        Rows out;
        for (std::uint32_t i = 0; i < v->Size; ++i) out.push_back(v->Elem[Lo(v->Base1) + i]);
        return out;
    }
};

Rows Elements(const SMtrx& m) {
    Rows out;
    const unsigned b = m.GetBase1() ? 1u : 0u;
    for (unsigned i = b; i - b < m.GetRows(); ++i)
        for (unsigned j = b; j - b < m.GetCols(); ++j) out.push_back(m.GetValue(i, j));
    return out;
}
Rows Elements(const SVect& v) {
    Rows out;
    const unsigned b = v.GetBase1() ? 1u : 0u;
    for (unsigned i = b; i - b < v.GetSize(); ++i) out.push_back(v.GetValue(i));
    return out;
}

// Results of more elements than this are written as digests (8 hex digits): a vector's one per
// element, a matrix's one per row and one per column, so that a changed element shows where it
// lies.
constexpr std::uint32_t kFull = 16;

// The results of one matrix of one kind and order in one suffix base.
class Recorder {
public:
    Recorder(std::vector<Result>* out, std::string matrix, std::uint32_t n, std::string base)
        : out_(out), matrix_(std::move(matrix)), n_(n), base_(std::move(base)) {}

    void Words(const std::string& routine, const std::string& words, const std::string& via = {}) {
        Add(routine, "= " + words, {}, 0, via);
    }
    void Scalar(const std::string& routine, double x, const std::string& via = {}) {
        Add(routine, "= " + Hex(x), {x}, 0, via);
    }
    void Vector(const std::string& routine, const Rows& v, const std::string& via = {}) {
        std::string payload = v.size() <= kFull ? "=" : "digests";
        for (const double& x : v) payload += " " + (v.size() <= kFull ? Hex(x) : Digest(&x, 1, 1));
        Add(routine, payload, v, 0, via);
    }
    void Matrix(const std::string& routine, const Rows& m, const std::string& via = {}) {
        std::string payload = m.size() <= kFull ? "=" : "rows";
        if (m.size() <= kFull) {
            for (double x : m) payload += " " + Hex(x);
            return Add(routine, payload, m, n_, via);
        }
        for (std::uint32_t i = 0; i < n_; ++i) payload += " " + Digest(&m[i * n_], n_, 1);
        payload += " cols";
        for (std::uint32_t j = 0; j < n_; ++j) payload += " " + Digest(&m[j], n_, n_);
        Add(routine, payload, m, n_, via);
    }

private:
    void Add(const std::string& routine, std::string payload, Rows values, std::uint32_t order,
             const std::string& via) {
        out_->push_back({routine + " " + matrix_ + " " + std::to_string(n_),
                         base_ + (via.empty() ? "" : ", " + via), std::move(payload),
                         std::move(values), order});
    }
    std::vector<Result>* out_;
    std::string matrix_;
    std::uint32_t n_;
    std::string base_;
};

std::string Bool(bool b) { return b ? "true" : "false"; }
std::string Sign(int s) { return s > 0 ? "+1" : s < 0 ? "-1" : "0"; }

// One matrix of the corpus in one suffix base, with the second operands of the products and
// the element-wise operations.
struct Operands {
    const Rows& rows;   // the matrix, row by row
    const Rows& other;  // the second matrix of the products and sums
    const Rows& b;      // the right-hand side, and the second vector
    std::uint32_t n;
    bool base1;
    bool elementwise;   // also the operations of one step per element
};

// The routine layer; true when the matrix has an inverse.
bool Routines(Recorder& r, const Operands& o) {
    const std::uint32_t n = o.n;
    const NN a(o.rows, n, o.base1), a2(o.other, n, o.base1);
    const V vb(o.b, o.base1);
    if (n <= 7) r.Scalar("DetNNbyRef", DetNNbyRef(a.m));
    r.Scalar("DetNN", DetNN(a.m));
    r.Scalar("DetNN2", DetNN2(a.m));
    int sign = 0;
    const double log10 = DetLog10(a.m, &sign);
    r.Words("DetLog10", Sign(sign) + " " + Hex(log10));
    double det = 0.0;
    const bool singular = IsSingularMtrxNN(a.m, &det);
    r.Words("IsSingularMtrxNN", Bool(singular) + " " + Hex(det));
    r.Scalar("RCondMtrxNN", RCondMtrxNN(a.m));

    NN inverse(n, o.base1);
    const bool inverted = InvMtrxNN(&inverse.m, a.m);
    if (inverted)
        r.Matrix("InvMtrxNN", inverse.Values());
    else
        r.Words("InvMtrxNN", "false");
    V x(Rows(n, 0.0), o.base1);
    if (SolveMtrxNN(x.v, a.m, vb.v))
        r.Vector("SolveMtrxNN", x.Values());
    else
        r.Words("SolveMtrxNN", "false");

    NN c(n, o.base1);
    if (MulMtrxNN(c.m, a.m, a2.m)) r.Matrix("MulMtrxNN", c.Values());
    Mtrx* m = GetMatrix(nullptr, n, n, o.base1);
    for (std::uint32_t i = 0; i < n; ++i)
        for (std::uint32_t j = 0; j < n; ++j)
            m->Elem[Lo(o.base1) + i][Lo(o.base1) + j] = o.rows[i * n + j];
    if (MtrxbyVect(x.v, m, vb.v)) r.Vector("MtrxbyVect", x.Values());
    FreeMatrix(m);
    const V first(Rows(o.rows.begin(), o.rows.begin() + n), o.base1);
    r.Scalar("MulVect", MulVect(first.v, vb.v));
    if (!o.elementwise) return inverted;

    if (AddMtrxNN(c.m, a.m, a2.m)) r.Matrix("AddMtrxNN", c.Values());
    if (SubMtrxNN(c.m, a.m, a2.m)) r.Matrix("SubMtrxNN", c.Values());
    if (SclMtrxNN(c.m, -0.75, a.m)) r.Matrix("SclMtrxNN", c.Values());
    if (TrnMtrxNN(c.m, a.m)) r.Matrix("TrnMtrxNN", c.Values());
    if (AddVect(x.v, first.v, vb.v)) r.Vector("AddVect", x.Values());
    if (SubVect(x.v, first.v, vb.v)) r.Vector("SubVect", x.Values());
    if (SclVect(x.v, -0.75, first.v)) r.Vector("SclVect", x.Values());
    return inverted;
}

// The object layer's members whose bits are a routine's, on the same operands.
void Objects(Recorder& r, const Operands& o, bool inverted) {
    const std::uint32_t n = o.n, lo = Lo(o.base1);
    SMtrxNN a(n, o.base1), a2(n, o.base1);
    for (std::uint32_t i = 0; i < n; ++i)
        for (std::uint32_t j = 0; j < n; ++j) {
            a[lo + i][lo + j] = o.rows[i * n + j];
            a2[lo + i][lo + j] = o.other[i * n + j];
        }
    r.Scalar("DetNN2", a.Det(), "SMtrxNN::Det");
    r.Scalar("RCondMtrxNN", a.RCond(), "SMtrxNN::RCond");
    const SMtrxNN::LogDet log = a.DetLog10();
    r.Words("DetLog10", Sign(log.Sign) + " " + Hex(log.Log10), "SMtrxNN::DetLog10");
    const SLUDcmp lu(a);
    r.Scalar("DetNN2", lu.Det(), "SLUDcmp::Det");
    r.Scalar("RCondMtrxNN", lu.RCond(), "SLUDcmp::RCond");
    const SMtrxNN::LogDet kept = lu.DetLog10();
    r.Words("DetLog10", Sign(kept.Sign) + " " + Hex(kept.Log10), "SLUDcmp::DetLog10");
    r.Matrix("MulMtrxNN", Elements(a * a2), "SMtrxNN a * b");
    if (inverted) r.Matrix("InvMtrxNN", Elements(a.Inv()), "SMtrxNN::Inv");
    if (o.elementwise) {
        r.Matrix("AddMtrxNN", Elements(a + a2), "SMtrxNN a + b");
        r.Matrix("SubMtrxNN", Elements(a - a2), "SMtrxNN a - b");
        r.Matrix("SclMtrxNN", Elements(-0.75 * a), "SMtrxNN s * a");
        r.Matrix("TrnMtrxNN", Elements(a.Tran()), "SMtrxNN::Tran");
    }
    if (n < 2) return;  // an SVect has two elements at least
    SVect vb(n, o.base1), first(n, o.base1);
    for (std::uint32_t i = 0; i < n; ++i) {
        vb[lo + i] = o.b[i];
        first[lo + i] = o.rows[i];
    }
    try {
        r.Vector("SolveMtrxNN", Elements(a.Solve(vb)), "SMtrxNN::Solve");
    } catch (const SMtrx::OpeErr&) {
        r.Words("SolveMtrxNN", "false", "SMtrxNN::Solve");  // an exactly singular matrix
    }
    try {
        (void)lu.Solve(first);  // another right-hand side first: nothing of it may stay
        r.Vector("SolveMtrxNN", Elements(lu.Solve(vb)), "SLUDcmp::Solve");
    } catch (const SMtrx::OpeErr&) {
        r.Words("SolveMtrxNN", "false", "SLUDcmp::Solve");
    }
    r.Vector("MtrxbyVect", Elements(a * vb), "SMtrxNN * SVect");
    r.Vector("MtrxbyVect", Elements(static_cast<const SMtrx&>(a) * vb), "SMtrx * SVect");
    r.Scalar("MulVect", first | vb, "SVect a | b");
    if (o.elementwise) {
        r.Vector("AddVect", Elements(first + vb), "SVect a + b");
        r.Vector("SubVect", Elements(first - vb), "SVect a - b");
        r.Vector("SclVect", Elements(-0.75 * first), "SVect s * a");
    }
}

}  // namespace

std::string Hex(double x) {
    if (std::isnan(x)) return "nan";
    std::uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    std::string out(16, '0');
    for (int k = 15; k >= 0; --k, bits >>= 4) out[k] = "0123456789abcdef"[bits & 15u];
    return out;
}

// Each value's bits (every NaN as one) mixed into the digest in turn, then folded to 32 bits.
std::string Digest(const double* values, std::uint32_t count, std::uint32_t stride) {
    std::uint64_t h = 0xcbf29ce484222325u;
    for (std::uint32_t k = 0; k < count; ++k) {
        const double x = values[std::size_t{k} * stride];
        std::uint64_t bits = 0x7ff8000000000000u;
        if (x == x) std::memcpy(&bits, &x, sizeof bits);
        h = (h ^ bits) * 0xbf58476d1ce4e5b9u;
        h = h ^ (h >> 31);
    }
    std::uint64_t folded = (h ^ (h >> 32)) & 0xffffffffu;
    std::string out(8, '0');
    for (int k = 7; k >= 0; --k, folded >>= 4) out[k] = "0123456789abcdef"[folded & 15u];
    return out;
}

std::vector<Result> Compute() {
    std::vector<Result> results;
    const std::vector<Kind>& kinds = Kinds();
    for (std::size_t k = 0; k < kinds.size(); ++k) {
        for (std::uint32_t n : Orders(k)) {
            const Rows rows = kinds[k].make(n), other = Random(n, 10), b = Vector(n);
            for (bool base1 : {false, true}) {
                Recorder r(&results, kinds[k].name, n, base1 ? "suffix base 1" : "suffix base 0");
                const Operands o{rows, other, b, n, base1, kinds[k].elementwise};
                const bool inverted = Routines(r, o);
                // The members in one base for each order, each base every other order.
                if (base1 == (n % 2 == 0)) Objects(r, o, inverted);
            }
        }
    }
    return results;
}

std::string ArchiveText(const std::vector<Result>& results) {
    std::string text =
        "# The bits archive of QUIL: what each public routine gives on a fixed corpus of matrices,\n"
        "# one line per routine, matrix and order, as the hex of each double's bits (nan for any\n"
        "# NaN); a result of more than 16 elements as digests: a vector's of each element, a\n"
        "# matrix's of each row and of each column. Every build compares its results with these\n"
        "# (tests/bits/test_bits.cpp), in both suffix bases, and the object layer's members with\n"
        "# their routines' lines. A change of bits fails that test until this file is written\n"
        "# anew, in the same commit, with `make bits-archive`; the commit message must say why the\n"
        "# bits changed.\n";
    std::set<std::string> written;
    for (const Result& r : results)
        if (written.insert(r.key).second) text += r.key + " " + r.payload + "\n";
    return text;
}

}  // namespace bits
