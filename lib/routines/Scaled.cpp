// The out-of-line cases of routines/Scaled.h.
#include "routines/Scaled.h"

namespace quil::detail {

Scaled Normalized(Scaled a) {
    if (a.Mant == 0.0 || !std::isfinite(a.Mant)) return {a.Mant, 0};
    int e = 0;
    const double m = std::frexp(a.Mant, &e);
    return {m, a.Exp + e};
}

double Ldexp(double m, std::int64_t e) {
    constexpr std::int64_t beyond = 4096;
    return std::ldexp(m, static_cast<int>(e < -beyond ? -beyond : e > beyond ? beyond : e));
}

Scaled TimesRescaled(Scaled a, double x) {
    // Both factors in [0.5, 1): their product lies in [0.25, 1), a normal number.
    const Scaled na = Normalized(a);
    const Scaled nb = Normalized({x, 0});
    return Normalized({na.Mant * nb.Mant, na.Exp + nb.Exp});
}

Scaled QuotientRescaled(Scaled a, double x) {
    // Both in [0.5, 1): the quotient lies in (0.5, 2), a normal number. A divisor of 0.0 or
    // infinity gives what the plain quotient gives.
    const Scaled na = Normalized(a);
    const Scaled nb = Normalized({x, 0});
    if (nb.Mant == 0.0 || !std::isfinite(nb.Mant)) return {na.Mant / nb.Mant, 0};
    return Normalized({na.Mant / nb.Mant, na.Exp - nb.Exp});
}

Scaled PlusRescaled(Scaled a, Scaled b) {
    a = Normalized(a);
    b = Normalized(b);
    if (!std::isfinite(a.Mant) || !std::isfinite(b.Mant)) return {a.Mant + b.Mant, 0};
    if (a.Mant == 0.0) return {a.Mant + b.Mant, b.Exp};
    if (b.Mant == 0.0) return {a.Mant + b.Mant, a.Exp};
    const std::int64_t e = a.Exp > b.Exp ? a.Exp : b.Exp;
    return Normalized({Ldexp(a.Mant, a.Exp - e) + Ldexp(b.Mant, b.Exp - e), e});
}

}  // namespace quil::detail
