// Internal to the library: the decimal logarithm that DetLog10 sums.
//
// The C libraries' log10 differ in the last bit between systems, so the library has its own,
// made only of IEEE double additions, subtractions, multiplications and divisions and the exact
// frexp: its bits are the same on every processor, compiler and C library.
#pragma once

namespace quil::detail {

// log10 x, within 0.53 ulp of the exact value over the whole range of double, subnormal
// numbers included (0.527 at worst among the tens of millions of values measured); exact at
// the powers of ten 1, 10, ..., 1e22. As std::log10 at the ends: -inf for 0.0 and -0.0, +inf
// for +inf, NaN for a NaN or a negative number.
double Log10(double x);

}  // namespace quil::detail
