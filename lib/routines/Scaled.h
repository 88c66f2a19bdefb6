// Internal to the library: numbers carried as a mantissa and a power of 2, for the running
// products, sums and substitutions that must not leave the range of double on the way.
#pragma once

#include <cmath>
#include <cstdint>

namespace quil::detail {

// A value carried as Mant x 2^Exp, so that a running product, sum or substitution never
// overflows or underflows on the way. Mant is kept well inside the normal range ([2^-968,
// 2^968]), or is 0.0, infinite or NaN. A product, quotient or sum of mantissas that lands in that
// range rounds as the plain operation on the values does wherever that stays in the normal range,
// since powers of 2 change no significant bit there; only one that leaves it is brought back,
// through frexp, to a mantissa in [0.5, 1) and its power of 2. Each routine multiplies, divides
// and adds in the order of its plain loops, and keeps their bits wherever they never leave the
// normal range.
struct Scaled {
    double Mant;
    std::int64_t Exp;
};

constexpr double kSafeLow = 0x1p-968;
constexpr double kSafeHigh = 0x1p+968;

// False for 0.0, infinities and NaN too.
inline bool Safe(double m) {
    const double a = std::fabs(m);
    return a >= kSafeLow && a <= kSafeHigh;
}

// The same value with its mantissa in [0.5, 1); 0.0, infinities and NaN as they are.
Scaled Normalized(Scaled a);

inline Scaled ToScaled(double x) { return Safe(x) ? Scaled{x, 0} : Normalized({x, 0}); }

// m 2^e for the exponents of a Scaled, which may lie far outside an int: ldexp only needs to
// know that they give 0.0 or infinity there.
double Ldexp(double m, std::int64_t e);

// The value, rounded once more only when it lies below the normal range.
inline double Value(Scaled a) { return a.Exp == 0 ? a.Mant : Ldexp(a.Mant, a.Exp); }

// The common cases are an operation and a test, made in place; the rest is out of line, so that
// small orders cost what their plain loops do. An exact 0.0 (a factor or dividend of 0.0, or an
// exact cancellation) is a common case too.
[[gnu::noinline]] Scaled TimesRescaled(Scaled a, double x);
[[gnu::noinline]] Scaled QuotientRescaled(Scaled a, double x);
[[gnu::noinline]] Scaled PlusRescaled(Scaled a, Scaled b);

// a x.
inline Scaled Times(Scaled a, double x) {
    const double p = a.Mant * x;
    if (Safe(p)) return {p, a.Exp};
    if (p == 0.0 && (a.Mant == 0.0 || x == 0.0)) return {p, 0};
    return TimesRescaled(a, x);
}

// a / x.
inline Scaled Quotient(Scaled a, double x) {
    const double q = a.Mant / x;
    if (Safe(q)) return {q, a.Exp};
    if (q == 0.0 && a.Mant == 0.0 && x != 0.0) return {q, 0};
    return QuotientRescaled(a, x);
}

// a + b. Off the common case (equal exponents, a sum in range) both are brought to the larger
// exponent first, with mantissas in [0.5, 1): an addend that falls below the normal range there
// is smaller than half an ulp of the other, so the sum rounds as the plain one does.
inline Scaled Plus(Scaled a, Scaled b) {
    if (a.Exp == b.Exp) {
        const double s = a.Mant + b.Mant;
        if (Safe(s)) return {s, a.Exp};
        if (s == 0.0) return {s, 0};  // two finite values that cancel exactly
    }
    return PlusRescaled(a, b);
}

inline Scaled Negated(Scaled a) { return {-a.Mant, a.Exp}; }

}  // namespace quil::detail
