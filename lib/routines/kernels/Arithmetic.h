// Internal to the library, included by every source that computes with double.
//
// Every result is defined by rounding each operation to double. Where the compiler evaluates
// double expressions in a wider format (FLT_EVAL_METHOD other than 0, as 32-bit x86 does in
// the x87 unit's 80-bit registers) the results would carry other digits, so the library does
// not compile there: on 32-bit x86, build with -msse2 -mfpmath=sse.
#pragma once

#include <cfloat>
#include <cmath>

#if !defined(FLT_EVAL_METHOD) || FLT_EVAL_METHOD != 0
#error "double arithmetic is evaluated in a wider format here (FLT_EVAL_METHOD != 0); on 32-bit x86 build with -msse2 -mfpmath=sse"
#endif

namespace quil::detail {

// x / pivot as the eliminations form a multiplier: x times the pivot's reciprocal r, or, where r
// overflows (a pivot below 2^-1024), the quotient itself, which is finite where x r would be
// infinite or, for an x of 0.0, NaN.
inline double Multiplier(double x, double r, double pivot) { return std::isinf(r) ? x / pivot : x * r; }

}  // namespace quil::detail
