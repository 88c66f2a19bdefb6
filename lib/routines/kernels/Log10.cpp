// The library's own decimal logarithm.
//
// x = m 2^e with m near 1; log10 x = e log10(2) + ln(m) / ln(10), where ln m = 2 atanh s with
// s = (m - 1) / (m + 1) is summed as its odd series. The leading parts are carried as pairs of
// doubles (an unevaluated sum hi + lo) so that the one rounding that matters is the last.
#include "routines/kernels/Log10.h"

#include <cmath>
#include <limits>

#include "routines/kernels/Arithmetic.h"

namespace {

// The unevaluated sum Hi + Lo.
struct Pair {
    double Hi;
    double Lo;
};

// a + b exactly, for a zero or an a whose exponent is at least b's (Dekker).
Pair FastTwoSum(double a, double b) {
    const double s = a + b;
    return {s, b - (s - a)};
}

// a in two halves of 26 bits or fewer, whose products with other halves are exact (Veltkamp).
Pair Split(double a) {
    const double c = 134217729.0 * a;  // 2^27 + 1
    const double hi = c - (c - a);
    return {hi, a - hi};
}

// a b exactly, without a fused multiply-add (Dekker); no product here comes near underflow.
Pair TwoProduct(double a, double b) {
    const double p = a * b;
    const Pair x = Split(a);
    const Pair y = Split(b);
    return {p, ((x.Hi * y.Hi - p) + x.Hi * y.Lo + x.Lo * y.Hi) + x.Lo * y.Lo};
}

constexpr double kSqrtHalf = 0x1.6a09e667f3bcdp-1;
// 1 / ln(10) as a pair.
constexpr double kInvLn10Hi = 0x1.bcb7b1526e50ep-2;
constexpr double kInvLn10Lo = 0x1.95355baaafad3p-57;
// log10(2) as a pair whose high part has 39 significant bits, so that e times it is exact for
// every exponent of a double (|e| <= 1074, 11 bits).
constexpr double kLog10TwoHi = 0x1.34413509f8p-2;
constexpr double kLog10TwoLo = -0x1.80433b83b532ap-44;

// 1/3, 1/5, ..., 1/23: atanh(s) = s + s^3/3 + s^5/5 + ...
constexpr int kTerms = 11;
constexpr double kOddReciprocal[kTerms] = {1.0 / 3,  1.0 / 5,  1.0 / 7,  1.0 / 9,
                                           1.0 / 11, 1.0 / 13, 1.0 / 15, 1.0 / 17,
                                           1.0 / 19, 1.0 / 21, 1.0 / 23};

}  // namespace

double quil::detail::Log10(double x) {
    if (std::isnan(x)) return x;
    if (x < 0.0) return std::numeric_limits<double>::quiet_NaN();
    if (x == 0.0) return -std::numeric_limits<double>::infinity();
    if (std::isinf(x)) return x;

    // 1. x = m 2^e with m in [sqrt(1/2), sqrt(2)), so that |s| <= 0.1716 below.
    int e = 0;
    double m = std::frexp(x, &e);
    if (m < kSqrtHalf) {
        m = 2.0 * m;
        e = e - 1;
    }

    // 2. s = (m - 1) / (m + 1) as a pair: m - 1 is exact, m + 1 is a pair, and the remainder of
    // the division, (m - 1) - sHi (m + 1), is formed exactly and divided once more.
    const double f = m - 1.0;
    const Pair d = FastTwoSum(1.0, m);
    const double sHi = f / d.Hi;
    const Pair q = TwoProduct(sHi, d.Hi);
    const double sLo = (((f - q.Hi) - q.Lo) - sHi * d.Lo) / d.Hi;

    // 3. ln m = 2s + 2s^3 (1/3 + s^2/5 + s^4/7 + ... + s^20/23). With s^2 <= 0.0295 the terms
    // left out are below 2^-66 of ln m. The tail after 2s is below 1% of ln m, so it is summed
    // from sHi alone; sLo enters with its first-order share of 2s + 2s^3/3, 2 sLo (1 + s^2).
    // What the tail's roundings leave moves the result by 0.03 ulp at most.
    const double z = sHi * sHi;
    double series = kOddReciprocal[kTerms - 1];
    for (int k = kTerms - 2; k >= 0; --k) series = kOddReciprocal[k] + z * series;
    const Pair ln = {2.0 * sHi, 2.0 * (sLo + z * sLo) + 2.0 * (sHi * z) * series};

    // 4. log10 m = ln m / ln(10), the product of the two pairs less their low parts' product.
    const Pair p = TwoProduct(ln.Hi, kInvLn10Hi);
    const double pLo = p.Lo + (ln.Hi * kInvLn10Lo + ln.Lo * kInvLn10Hi);

    // 5. log10 x = e log10(2) + log10 m. e kLog10TwoHi is exact and, unless e is 0, at least
    // twice |log10 m| (<= log10(2) / 2), so the two add exactly as a pair.
    const double ed = e;
    const Pair sum = FastTwoSum(ed * kLog10TwoHi, p.Hi);
    return sum.Hi + (sum.Lo + (pLo + ed * kLog10TwoLo));
}
