// libFuzzer target: a square matrix of order 1 to 8 with either suffix base, and a vector of the
// same size, built from the input bytes, put through both layers and the printers.
//
// Properties that must hold for every input:
// - no routine changes its input;
// - DetLog10's sign and magnitude agree with DetNN2, IsSingularMtrxNN with its own determinant;
// - a NaN in the matrix comes out of every determinant;
// - InvMtrxNN succeeds exactly with a matrix, fails exactly with a null slot;
// - the object layer gives the same bits as the routine layer for the same operation;
// - the printers write every field whole, whatever the value (DBL_MAX, NaN, infinities), and
//   never write outside their storage (AddressSanitizer watches);
// and for matrices that are well-conditioned (measured in long double):
// - the four determinants agree with the reference within a tolerance scaled by the matrix;
// - A times InvMtrxNN(A) is the identity within a tolerance scaled by the condition number.
//
// A violation prints what failed and aborts, which libFuzzer reports with the input.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "FmLinrun.h"
#include "FmQuadrun.h"
#include "objects/SMtrx.h"
#include "objects/SMtrxNN.h"
#include "objects/SVect.h"
#include "routines/DetNN.h"
#include "routines/MtrxNN.h"
#include "routines/Vect.h"


namespace {

[[noreturn]] void Fail(const char* what, const std::string& detail = "") {
    std::fprintf(stderr, "property violated: %s %s\n", what, detail.c_str());
    std::abort();
}

void Check(bool ok, const char* what, const std::string& detail = "") {
    if (!ok) Fail(what, detail);
}

std::string Show(double x) {
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", x);
    return text;
}

// Equal bits, or both NaN (NaN payloads may depend on the operand order).
bool Same(double a, double b) {
    if (std::isnan(a) && std::isnan(b)) return true;
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The input, consumed a byte at a time; zeros once it runs out.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : p_(data), n_(size) {}
    std::uint8_t Byte() {
        if (n_ == 0) return 0;
        --n_;
        return *p_++;
    }
    // Mostly small integers and short fractions (so that many matrices are regular and
    // well-conditioned), sometimes powers of two far apart, sometimes any double at all.
    double Value() {
        const std::uint8_t k = Byte();
        if (k < 160) return static_cast<double>(k % 19) - 9.0;
        if (k < 224) {
            const unsigned low = Byte();
            const unsigned high = Byte();
            return static_cast<std::int16_t>(low | high << 8) / 64.0;
        }
        if (k < 240) {
            const int mantissa = Byte() - 128;
            const int exponent = static_cast<std::int8_t>(Byte());
            return std::ldexp(static_cast<double>(mantissa), exponent);
        }
        std::uint64_t bits = 0;
        for (int b = 0; b < 8; ++b) bits |= std::uint64_t{Byte()} << (8 * b);
        double x;
        std::memcpy(&x, &bits, sizeof x);
        return x;
    }

private:
    const std::uint8_t* p_;
    std::size_t n_;
};

struct NNDeleter {
    void operator()(MtrxNN* m) const { FreeMatrixNN(m); }
};
struct VDeleter {
    void operator()(Vect* v) const { FreeVector(v); }
};
using NN = std::unique_ptr<MtrxNN, NNDeleter>;
using VP = std::unique_ptr<Vect, VDeleter>;

// The test data in row order, and the records and objects that hold it.
struct Case {
    unsigned n;
    bool base1;
    unsigned lo;
    std::vector<double> a;  // n * n, row by row
    std::vector<double> x;  // n
};

NN MakeNN(const Case& c) {
    NN m(GetMatrixNN(nullptr, c.n, c.base1));
    if (!m) Fail("GetMatrixNN");
    for (unsigned k = 0; k < c.n * c.n; ++k) m->Elem[c.lo + k / c.n][c.lo + k % c.n] = c.a[k];
    return m;
}

std::vector<double> Elems(const MtrxNN* m) {
    std::vector<double> out;
    const unsigned lo = m->Base1 ? 1u : 0u;
    for (unsigned i = lo; i < lo + m->Size; ++i)
        for (unsigned j = lo; j < lo + m->Size; ++j) out.push_back(m->Elem[i][j]);
    return out;
}

std::vector<double> Elems(const SMtrx& m) {
    std::vector<double> out;
    const unsigned lo = m.GetBase1() ? 1u : 0u;
    for (unsigned i = lo; i < lo + m.GetRows(); ++i)
        for (unsigned j = lo; j < lo + m.GetCols(); ++j) out.push_back(m.GetValue(i, j));
    return out;
}

std::vector<double> Elems(const Vect* v) {
    std::vector<double> out;
    const unsigned lo = v->Base1 ? 1u : 0u;
    for (unsigned i = lo; i < lo + v->Size; ++i) out.push_back(v->Elem[i]);
    return out;
}

std::vector<double> Elems(const SVect& v) {
    std::vector<double> out;
    const unsigned lo = v.GetBase1() ? 1u : 0u;
    for (unsigned i = lo; i < lo + v.GetSize(); ++i) out.push_back(v.GetValue(i));
    return out;
}

bool SameAll(const std::vector<double>& a, const std::vector<double>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t k = 0; k < a.size(); ++k)
        if (!Same(a[k], b[k])) return false;
    return true;
}

// Exactly the same bits (so -0.0 differs from 0.0), for the check that input is untouched.
bool Identical(const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

// The determinant and the infinity-norm condition number, by Gauss-Jordan elimination with
// partial pivoting in long double. regular is false for a matrix that is singular to that
// precision.
struct Reference {
    bool regular = false;
    long double det = 0;
    long double kappa = 0;
    std::vector<long double> inverse;
};

Reference Analyse(const Case& c) {
    const unsigned n = c.n;
    std::vector<long double> m(c.a.begin(), c.a.end());
    std::vector<long double> inv(n * n, 0.0L);
    for (unsigned i = 0; i < n; ++i) inv[i * n + i] = 1.0L;
    Reference r;
    long double det = 1.0L;
    for (unsigned k = 0; k < n; ++k) {
        unsigned p = k;
        for (unsigned i = k + 1; i < n; ++i)
            if (std::fabs(m[i * n + k]) > std::fabs(m[p * n + k])) p = i;
        if (m[p * n + k] == 0.0L) return r;
        if (p != k) {
            for (unsigned j = 0; j < n; ++j) {
                std::swap(m[p * n + j], m[k * n + j]);
                std::swap(inv[p * n + j], inv[k * n + j]);
            }
            det = -det;
        }
        const long double pivot = m[k * n + k];
        det *= pivot;
        for (unsigned j = 0; j < n; ++j) {
            m[k * n + j] /= pivot;
            inv[k * n + j] /= pivot;
        }
        for (unsigned i = 0; i < n; ++i) {
            if (i == k) continue;
            const long double f = m[i * n + k];
            if (f == 0.0L) continue;
            for (unsigned j = 0; j < n; ++j) {
                m[i * n + j] -= f * m[k * n + j];
                inv[i * n + j] -= f * inv[k * n + j];
            }
        }
    }
    const auto normInf = [n](const auto& x) {
        long double worst = 0;
        for (unsigned i = 0; i < n; ++i) {
            long double row = 0;
            for (unsigned j = 0; j < n; ++j) row += std::fabs(static_cast<long double>(x[i * n + j]));
            worst = std::fmax(worst, row);
        }
        return worst;
    };
    r.regular = true;
    r.det = det;
    r.kappa = normInf(c.a) * normInf(inv);
    r.inverse = std::move(inv);
    return r;
}

// Elements small enough and large enough that no product of up to eight of them, nor any
// intermediate of the eliminations, leaves the normal range of double.
bool Tame(const std::vector<double>& a) {
    for (double v : a) {
        if (!std::isfinite(v)) return false;
        const double m = std::fabs(v);
        if (m != 0.0 && (m > 1e30 || m < 1e-30)) return false;
    }
    return true;
}

void CheckDeterminants(const Case& c, const MtrxNN* a, const std::vector<double>& before) {
    const unsigned n = c.n;
    const auto untouched = [&](const char* routine) {
        Check(Identical(Elems(a), before), "input changed by", routine);
    };
    const double byRef = n <= 6 ? DetNNbyRef(a) : 0.0;
    untouched("DetNNbyRef");
    const double full = DetNN(a);
    untouched("DetNN");
    const double lu = DetNN2(a);
    untouched("DetNN2");
    int sign = 7;
    const double g = DetLog10(a, &sign);
    untouched("DetLog10");
    double det = 0.0;
    const bool singular = IsSingularMtrxNN(a, &det);
    untouched("IsSingularMtrxNN");

    // IsSingularMtrxNN against its own determinant, which is DetNN2's.
    Check(Same(det, lu), "IsSingularMtrxNN's det differs from DetNN2", Show(det) + " " + Show(lu));
    Check(singular == (std::fabs(det) < SingularTol), "IsSingularMtrxNN's verdict", Show(det));

    // DetLog10 against DetNN2: the same decomposition, summed as logarithms.
    Check(sign == -1 || sign == 0 || sign == 1, "DetLog10 sign", std::to_string(sign));
    if (std::any_of(before.begin(), before.end(), [](double v) { return std::isnan(v); })) {
        Check(std::isnan(full) && std::isnan(lu) && std::isnan(g) && (n > 6 || std::isnan(byRef)),
              "a NaN in the input comes out of every determinant",
              Show(byRef) + " " + Show(full) + " " + Show(lu) + " " + Show(g));
    } else if (sign == 0) {
        Check(g == -DBL_MAX && lu == 0.0, "DetLog10 fails only for a row of zeros",
              Show(g) + " " + Show(lu));
    } else if (std::isfinite(lu) && lu != 0.0) {
        Check(sign == (lu > 0.0 ? 1 : -1), "DetLog10 sign against DetNN2",
              std::to_string(sign) + " " + Show(lu));
        if (Tame(c.a) && std::fabs(lu) >= DBL_MIN) {
            const double tol = 64.0 * n * DBL_EPSILON * (1.0 + std::fabs(g));
            Check(std::fabs(g - std::log10(std::fabs(lu))) <= tol, "DetLog10 magnitude",
                  Show(g) + " " + Show(lu));
        }
    }

    // The four determinants against the reference, for a well-conditioned matrix.
    if (!Tame(c.a)) return;
    const Reference ref = Analyse(c);
    if (!ref.regular || ref.kappa > 1e6L) return;
    const long double eps = DBL_EPSILON;
    const long double grow = std::ldexp(1.0L, static_cast<int>(n));
    const long double luTol = 16.0L * n * n * grow * eps * ref.kappa * std::fabs(ref.det);
    const auto near = [&](double d, long double tol, const char* routine) {
        Check(std::fabs(d - ref.det) <= tol, routine,
              Show(d) + " against " + Show(static_cast<double>(ref.det)) + " kappa " +
                  Show(static_cast<double>(ref.kappa)));
    };
    near(full, luTol, "DetNN disagrees");
    near(lu, luTol, "DetNN2 disagrees");
    // 10^g magnifies the rounding of the sum of logarithms by |g|.
    near(static_cast<double>(sign) * std::pow(10.0, g),
         luTol + 64.0L * n * eps * (1.0L + std::fabs(g)) * std::fabs(ref.det), "DetLog10 disagrees");
    if (n <= 6) {
        // Cofactor expansion: rounding errors of the order of the products it adds up.
        long double products = 1.0L;
        for (unsigned i = 0; i < n; ++i) {
            long double row = 0;
            for (unsigned j = 0; j < n; ++j) row += std::fabs(static_cast<long double>(c.a[i * n + j]));
            products *= row;
        }
        near(byRef, 16.0L * n * n * eps * products, "DetNNbyRef disagrees");
    }
}

// Runs InvMtrxNN; returns the inverse or null.
NN CheckInverse(const Case& c, const MtrxNN* a, const std::vector<double>& before) {
    MtrxNN* ai = GetMatrixNN(nullptr, 2, !c.base1);  // released by the routine
    const bool ok = InvMtrxNN(&ai, a);
    NN inv(ai);
    Check(Identical(Elems(a), before), "input changed by", "InvMtrxNN");
    Check(ok == (ai != nullptr), "InvMtrxNN's result and its slot disagree");
    if (c.n == 1) Check(!ok, "InvMtrxNN refuses order 1");
    if (!ok) return inv;
    Check(ai->Size == c.n && ai->Base1 == c.base1, "InvMtrxNN's shape");
    if (!Tame(c.a)) return inv;
    const Reference ref = Analyse(c);
    if (!ref.regular || ref.kappa > 1e6L) return inv;
    // The inverse times A and A times the inverse, in long double from the doubles.
    const unsigned n = c.n;
    const auto x = [&](unsigned i, unsigned j) -> long double { return ai->Elem[c.lo + i][c.lo + j]; };
    const auto m = [&](unsigned i, unsigned j) -> long double { return c.a[i * n + j]; };
    long double worst = 0;
    for (unsigned i = 0; i < n; ++i) {
        for (unsigned j = 0; j < n; ++j) {
            long double left = 0, right = 0;
            for (unsigned k = 0; k < n; ++k) {
                left += x(i, k) * m(k, j);
                right += m(i, k) * x(k, j);
            }
            const long double unit = i == j ? 1.0L : 0.0L;
            worst = std::fmax(worst, std::fmax(std::fabs(left - unit), std::fabs(right - unit)));
        }
    }
    const long double tol = 16.0L * n * n * std::ldexp(1.0L, static_cast<int>(n)) * DBL_EPSILON * ref.kappa;
    Check(worst <= tol, "InvMtrxNN(A) * A is not the identity",
          Show(static_cast<double>(worst)) + " kappa " + Show(static_cast<double>(ref.kappa)));
    return inv;
}

// A regular well-conditioned matrix of order 2 or more must have an inverse.
void CheckInverseExists(const Case& c, const MtrxNN* inv) {
    if (c.n < 2 || !Tame(c.a)) return;
    const Reference ref = Analyse(c);
    if (ref.regular && ref.kappa <= 1e6L) Check(inv != nullptr, "InvMtrxNN failed on a regular matrix");
}

// The object layer against the routine layer, operation by operation.
void CheckObjects(const Case& c, const MtrxNN* a, const MtrxNN* inv) {
    if (c.n == 1 && c.base1) {
        bool refused = false;
        try {
            SMtrxNN one(1, true);
        } catch (const SMtrx::AllocErr& e) {
            refused = e.Count == 1;
        }
        Check(refused, "SMtrxNN(1, true) throws AllocErr with Count 1");
        return;
    }
    const unsigned n = c.n, lo = c.lo;
    SMtrxNN m(n, c.base1);
    for (unsigned k = 0; k < n * n; ++k) m.Val[lo + k / n][lo + k % n] = c.a[k];
    const std::vector<double> before = Elems(m);

    const double det = m.Det();
    Check(Same(det, DetNN2(a)), "SMtrxNN::Det against DetNN2", Show(det));
    Check(m.IsSingular() == (det == 0.0 || det == DBL_MAX), "SMtrxNN::IsSingular");
    const SMtrxNN mi = m.Inv();
    if (inv != nullptr)
        Check(SameAll(Elems(mi), Elems(inv)), "SMtrxNN::Inv against InvMtrxNN");
    else
        Check(Identical(Elems(mi), std::vector<double>(n * n, 0.0)), "SMtrxNN::Inv without inverse");

    NN r(GetMatrixNN(nullptr, n, c.base1));
    // The product, whatever kernel computes it, has the bits of the plain triple loop that sums
    // each element over ascending k.
    Check(MulMtrxNN(r.get(), a, a), "MulMtrxNN refused its operands");
    std::vector<double> square(n * n);
    for (unsigned i = 0; i < n; ++i)
        for (unsigned j = 0; j < n; ++j) {
            double sum = 0.0;
            for (unsigned k = 0; k < n; ++k) sum = sum + c.a[i * n + k] * c.a[k * n + j];
            square[i * n + j] = sum;
        }
    Check(SameAll(Elems(r.get()), square), "MulMtrxNN against the plain triple loop");
    Check(TrnMtrxNN(r.get(), a), "TrnMtrxNN refused its operands");
    Check(SameAll(Elems(m.Tran()), Elems(r.get())), "SMtrxNN::Tran against TrnMtrxNN");
    Check(MulMtrxNN(r.get(), a, a), "MulMtrxNN refused its operands");
    Check(SameAll(Elems(m * m), Elems(r.get())), "SMtrxNN product against MulMtrxNN");
    Check(AddMtrxNN(r.get(), a, a), "AddMtrxNN refused its operands");
    Check(SameAll(Elems(m + m), Elems(r.get())), "SMtrxNN + against AddMtrxNN");
    Check(SubMtrxNN(r.get(), a, a), "SubMtrxNN refused its operands");
    Check(SameAll(Elems(m - m), Elems(r.get())), "SMtrxNN - against SubMtrxNN");
    Check(SclMtrxNN(r.get(), 2.5, a), "SclMtrxNN refused its operands");
    Check(SameAll(Elems(2.5 * m), Elems(r.get())), "double * SMtrxNN against SclMtrxNN");
    Check(SameAll(Elems(m * 2.5), Elems(r.get())), "SMtrxNN * double against SclMtrxNN");
    std::vector<double> negated = before;
    for (double& v : negated) v = -v;
    Check(Identical(Elems(-m), negated), "unary - negates every element");
    Check(Identical(Elems(m), before), "an SMtrxNN operand changed");

    if (n < 2) return;
    // Vectors: the same data through both layers.
    VP xv(GetVector(nullptr, n, c.base1)), yv(GetVector(nullptr, n, c.base1));
    SVect x(n, c.base1);
    for (unsigned k = 0; k < n; ++k) {
        xv->Elem[lo + k] = c.x[k];
        x.Val[lo + k] = c.x[k];
    }
    Mtrx* mm = GetMatrix(nullptr, n, n, c.base1);
    for (unsigned k = 0; k < n * n; ++k) mm->Elem[lo + k / n][lo + k % n] = c.a[k];
    Check(MtrxbyVect(yv.get(), mm, xv.get()), "MtrxbyVect refused its operands");
    FreeMatrix(mm);
    Check(SameAll(Elems(m * x), Elems(yv.get())), "SMtrxNN * SVect against MtrxbyVect");
    const SMtrx& general = m;
    Check(SameAll(Elems(general * x), Elems(yv.get())), "SMtrx * SVect against MtrxbyVect");
    Check(Same(x | x, MulVect(xv.get(), xv.get())), "SVect | against MulVect");
    Check(AddVect(yv.get(), xv.get(), xv.get()), "AddVect refused its operands");
    Check(SameAll(Elems(x + x), Elems(yv.get())), "SVect + against AddVect");
    Check(SubVect(yv.get(), xv.get(), xv.get()), "SubVect refused its operands");
    Check(SameAll(Elems(x - x), Elems(yv.get())), "SVect - against SubVect");
    Check(SclVect(yv.get(), -0.75, xv.get()), "SclVect refused its operands");
    Check(SameAll(Elems(-0.75 * x), Elems(yv.get())), "double * SVect against SclVect");
}

// The printers: each field whole, every line as the layout says, one line per row.
std::string Field(const char* format, double v) {
    char text[400];  // "%10lf" of DBL_MAX takes 317 characters
    const int length = std::snprintf(text, sizeof text, format, v);
    if (length < 0 || length >= static_cast<int>(sizeof text)) Fail("reference field too long");
    return text;
}

std::vector<std::string> Lines(const TFmMain& fm) {
    std::vector<std::string> out;
    for (int i = 0; i < fm.Memo->Lines->Count(); ++i) out.push_back((*fm.Memo->Lines)[i]);
    return out;
}

void CheckPrinters(const Case& c, const MtrxNN* a, const char* label) {
    const unsigned n = c.n, lo = c.lo;
    const std::string indent = std::string(std::strlen(label) == 0 ? 1 : std::strlen(label), ' ');
    std::vector<std::string> block, column, op, matrixBlock;
    for (unsigned i = 0; i < n; ++i) {
        std::string line = i == 0 ? std::string(label) + " |" : indent + " |";
        std::string plain = i == 0 ? "M = |" : "    |";
        for (unsigned j = 0; j < n; ++j) {
            line += Field("%10lf", c.a[i * n + j]) + (j + 1 == n ? "|" : " ");
            plain += Field("%10lf", c.a[i * n + j]) + (j + 1 == n ? "|" : " ");
        }
        block.push_back(line);
        matrixBlock.push_back(plain);
        column.push_back((i == 0 ? std::string(label) + " |" : indent + " |") +
                         Field("%10lf", c.x[i]) + "|");
        const double b = c.a[i * n], r = c.a[i * n + n - 1];
        op.push_back("|" + Field("%10lf", c.x[i]) + (i == 0 ? "| + |" : "|   |") +
                     Field("%10lf", b) + (i == 0 ? "| = |" : "|   |") + Field("%10lf", r) + "|");
    }

    TFmQuadrun fm;
    fm.PrintMtrxNN(label, a);
    Check(Lines(fm) == block, "PrintMtrxNN lines");

    VP xv(GetVector(nullptr, n, c.base1)), bv(GetVector(nullptr, n, c.base1)),
        rv(GetVector(nullptr, n, c.base1));
    for (unsigned k = 0; k < n; ++k) {
        xv->Elem[lo + k] = c.x[k];
        bv->Elem[lo + k] = c.a[k * n];
        rv->Elem[lo + k] = c.a[k * n + n - 1];
    }
    TFmLinrun fv;
    fv.PrintVector(label, xv.get());
    Check(Lines(fv) == column, "PrintVector lines");
    TFmLinrun fo;
    fo.PrintVectOp(xv.get(), "+", bv.get(), rv.get());
    Check(Lines(fo) == op, "PrintVectOp lines");

    if (n == 1 && c.base1) return;
    SMtrxNN m(n, c.base1);
    for (unsigned k = 0; k < n * n; ++k) m.Val[lo + k / n][lo + k % n] = c.a[k];
    TFmQuadrun fs;
    fs.PrintSMtrxNN(label, m);
    Check(Lines(fs) == block, "PrintSMtrxNN lines");
    if (!c.base1) {
        TFmLinrun fb;
        fb.PrintSMtrx("M = |", m);
        Check(Lines(fb) == matrixBlock, "the matrix block's lines");
    }
    if (n < 2) return;
    SVect x(n, c.base1);
    for (unsigned k = 0; k < n; ++k) x[lo + k] = c.x[k];
    TFmLinrun fx;
    fx.PrintSVect(label, x);
    Check(Lines(fx) == column, "PrintSVect lines");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    const std::uint8_t head = in.Byte();
    Case c;
    c.n = 1u + head % 8u;
    c.base1 = (head & 8u) != 0;
    c.lo = c.base1 ? 1u : 0u;
    static const char* const labels[] = {"A =", "", "0.1 * A =", "C (= 2A - 0.5D + D = 2A + B) ="};
    const char* label = labels[(head >> 4) % 4];
    for (unsigned k = 0; k < c.n * c.n; ++k) c.a.push_back(in.Value());
    for (unsigned k = 0; k < c.n; ++k) c.x.push_back(in.Value());

    NN a = MakeNN(c);
    const std::vector<double> before = Elems(a.get());
    CheckDeterminants(c, a.get(), before);
    NN inv = CheckInverse(c, a.get(), before);
    CheckInverseExists(c, inv.get());
    CheckObjects(c, a.get(), inv.get());
    CheckPrinters(c, a.get(), label);
    return 0;
}
