// The C++ side of the Python module's bit tests. Each line of standard input is a request,
//   OP THREADS ROWS COLS A [B]
// with A a ROWS x COLS matrix and B a square matrix (matmul), a vector of COLS (solve, matvec)
// or nothing, every double as the 16 hexadecimal digits of its bits, in row order. Each is
// computed with the library's routines and answered with one line: OP and the result's bits
// (det_log10's sign first), or "fail" where the routine returns false.
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>

#include "quil.h"

namespace {

// Reads count doubles into the run of elements at out (a record's elements from [0][0]).
void Read(std::istream& in, double* out, std::size_t count) {
    for (std::size_t k = 0; k < count; ++k) {
        std::string hex;
        in >> hex;
        const std::uint64_t bits = std::stoull(hex, nullptr, 16);
        std::memcpy(out + k, &bits, sizeof bits);
    }
}

void Write(const double* x, std::size_t count) {
    for (std::size_t k = 0; k < count; ++k) {
        std::uint64_t bits;
        std::memcpy(&bits, x + k, sizeof bits);
        std::printf(" %016" PRIx64, bits);
    }
}

void Compute(const std::string& op, std::uint32_t rows, std::uint32_t cols, std::istream& in) {
    const std::uint32_t n = rows;
    Mtrx* g = GetMatrix(nullptr, rows, cols, false);
    MtrxNN* a = GetMatrixNN(nullptr, n, false);
    MtrxNN* b = GetMatrixNN(nullptr, n, false);
    Vect* x = GetVector(nullptr, cols, false);
    Vect* y = GetVector(nullptr, rows, false);
    Read(in, op == "matvec" ? &g->Elem[0][0] : &a->Elem[0][0], std::size_t{rows} * cols);
    double det = 0.0;
    int sign = 0;
    if (op == "matvec") {
        Read(in, &x->Elem[0], cols);
        MtrxbyVect(y, g, x) ? Write(&y->Elem[0], rows) : void(std::printf(" fail"));
    } else if (op == "solve") {
        Read(in, &x->Elem[0], n);
        SolveMtrxNN(x, a, x) ? Write(&x->Elem[0], n) : void(std::printf(" fail"));
    } else if (op == "matmul") {
        Read(in, &b->Elem[0][0], std::size_t{n} * n);
        MulMtrxNN(b, a, b) ? Write(&b->Elem[0][0], std::size_t{n} * n) : void(std::printf(" fail"));
    } else if (op == "inv") {
        InvMtrxNN(&b, a) ? Write(&b->Elem[0][0], std::size_t{n} * n) : void(std::printf(" fail"));
    } else if (op == "det_log10") {
        det = DetLog10(a, &sign);
        std::printf(" %d", sign);
        Write(&det, 1);
    } else {
        det = op == "det_full"       ? DetNN(a)
              : op == "det_cofactor" ? DetNNbyRef(a)
              : op == "rcond"        ? RCondMtrxNN(a)
                                     : DetNN2(a);
        Write(&det, 1);
    }
    FreeMatrix(g);
    FreeMatrixNN(a);
    FreeMatrixNN(b);
    FreeVector(x);
    FreeVector(y);
}

}  // namespace

int main() {
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream in(line);
        std::string op;
        unsigned threads = 0;
        std::uint32_t rows = 0, cols = 0;
        in >> op >> threads >> rows >> cols;
        quil::SetNumThreads(threads);
        std::printf("%s", op.c_str());
        Compute(op, rows, cols, in);
        std::printf("\n");
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
