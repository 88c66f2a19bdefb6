// Helpers of the object tests: what an exception carried, and elements as lists.
#pragma once

#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "objects/SVect.h"

using V = std::vector<double>;

// The field of the E that f throws, or -1 when f throws nothing:
// Thrown(&SMtrx::RangeErr::Index, [&] { m[5]; }).
template <class E, class F>
long long Thrown(unsigned E::*field, F f) {
    try {
        f();
    } catch (const E& e) {
        return e.*field;
    }
    return -1;
}

// The what() of the exception that f throws, or "nothing thrown".
template <class F>
std::string What(F f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "nothing thrown";
}

// True when the two lists hold the same bits (so -0.0 differs from 0.0).
inline bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

// The elements in ascending subscripts (a matrix row by row), read through GetValue.
inline V Elems(const SMtrx& m) {
    V out;
    const unsigned b = m.GetBase1();
    for (unsigned i = b; i < b + m.GetRows(); ++i)
        for (unsigned j = b; j < b + m.GetCols(); ++j) out.push_back(m.GetValue(i, j));
    return out;
}

inline V Elems(const SVect& v) {
    V out;
    for (unsigned i = v.GetBase1(); i < v.GetBase1() + v.GetSize(); ++i) out.push_back(v[i]);
    return out;
}

// Writes the elements in the same order through Val.
template <class M>
M Set(M m, const V& values) {
    const unsigned b = m.GetBase1(), cols = m.GetCols();
    for (unsigned k = 0; k < values.size(); ++k) m.Val[b + k / cols][b + k % cols] = values[k];
    return m;
}

inline SVect Set(SVect v, const V& values) {
    for (unsigned k = 0; k < values.size(); ++k) v.Val[v.GetBase1() + k] = values[k];
    return v;
}
