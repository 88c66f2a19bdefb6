// The C++ side of the Python module's bit tests: reads requests from standard input, one a line,
// computes each with the library's routines and writes one line of results, every double as
// the 16 hexadecimal digits of its bits.
//
//   det_lu | det_full | det_cofactor | det_log10 | is_singular | inv   THREADS N A
//   solve   THREADS N A B        matmul THREADS N A B        matvec THREADS ROWS COLS A X
//
// A and B are matrices in row order, B and X in solve and matvec vectors, all as bits. A
// routine that reports failure writes "fail"; det_log10 writes the sign first, is_singular only
// its verdict (0 or 1).
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "quil.h"
#include "routines/detail/Threads.h"

namespace {

double Read(std::istream& in) {
    std::string hex;
    in >> hex;
    const std::uint64_t bits = std::stoull(hex, nullptr, 16);
    double x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

std::string Bits(double x) {
    std::uint64_t bits;
    std::memcpy(&bits, &x, sizeof x);
    char text[24];
    std::snprintf(text, sizeof text, " %016" PRIx64, bits);
    return text;
}

MtrxNN* ReadMatrixNN(std::istream& in, std::uint32_t n) {
    MtrxNN* m = GetMatrixNN(nullptr, n, false);
    for (std::uint32_t i = 0; i < n; ++i)
        for (std::uint32_t j = 0; j < n; ++j) m->Elem[i][j] = Read(in);
    return m;
}

Vect* ReadVector(std::istream& in, std::uint32_t n) {
    Vect* v = GetVector(nullptr, n, false);
    for (std::uint32_t i = 0; i < n; ++i) v->Elem[i] = Read(in);
    return v;
}

std::string Compute(const std::string& op, std::istream& in) {
    std::uint32_t n = 0;
    in >> n;
    std::string out;
    if (op == "matvec") {
        std::uint32_t cols = 0;
        in >> cols;
        Mtrx* m = GetMatrix(nullptr, n, cols, false);
        for (std::uint32_t i = 0; i < n; ++i)
            for (std::uint32_t j = 0; j < cols; ++j) m->Elem[i][j] = Read(in);
        Vect* x = ReadVector(in, cols);
        Vect* y = GetVector(nullptr, n, false);
        MtrxbyVect(y, m, x);
        for (std::uint32_t i = 0; i < n; ++i) out += Bits(y->Elem[i]);
        FreeMatrix(m);
        FreeVector(x);
        FreeVector(y);
        return out;
    }
    MtrxNN* a = ReadMatrixNN(in, n);
    if (op == "det_lu") {
        out = Bits(DetNN2(a));
    } else if (op == "det_full") {
        out = Bits(DetNN(a));
    } else if (op == "det_cofactor") {
        out = Bits(DetNNbyRef(a));
    } else if (op == "det_log10") {
        int sign = 0;
        const double log = DetLog10(a, &sign);
        out = " " + std::to_string(sign) + Bits(log);
    } else if (op == "is_singular") {
        double det = 0.0;
        const bool singular = IsSingularMtrxNN(a, &det);
        out = singular ? " 1" : " 0";
    } else if (op == "inv") {
        MtrxNN* ai = nullptr;
        if (InvMtrxNN(&ai, a)) {
            for (std::uint32_t i = 0; i < n; ++i)
                for (std::uint32_t j = 0; j < n; ++j) out += Bits(ai->Elem[i][j]);
        } else {
            out = " fail";
        }
        FreeMatrixNN(ai);
    } else if (op == "solve") {
        Vect* b = ReadVector(in, n);
        if (SolveMtrxNN(b, a, b)) {
            for (std::uint32_t i = 0; i < n; ++i) out += Bits(b->Elem[i]);
        } else {
            out = " fail";
        }
        FreeVector(b);
    } else if (op == "matmul") {
        MtrxNN* b = ReadMatrixNN(in, n);
        MulMtrxNN(b, a, b);
        for (std::uint32_t i = 0; i < n; ++i)
            for (std::uint32_t j = 0; j < n; ++j) out += Bits(b->Elem[i][j]);
        FreeMatrixNN(b);
    } else {
        out = " unknown request " + op;
    }
    FreeMatrixNN(a);
    return out;
}

}  // namespace

int main() {
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream in(line);
        std::string op;
        unsigned threads = 0;
        in >> op >> threads;
        quil::detail::SetThreadCount(threads);
        std::cout << op << Compute(op, in) << '\n';
    }
    return std::cout.good() ? 0 : 1;
}
