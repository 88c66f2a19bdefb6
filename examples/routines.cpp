// The routine layer: records with subscripts from 1 and from 0, a determinant, an inverse, a
// solve, and an allocation that fails. Nothing here throws: failures come back as null or false.
#include <quil.h>

#include <cstdint>
#include <cstdio>

// Prints m with its own subscripts, whichever its suffix base.
void Print(const char* name, const MtrxNN* m) {
    const std::uint32_t lo = m->Base1 ? 1 : 0;
    std::printf("%s =\n", name);
    for (std::uint32_t i = lo; i < lo + m->Size; ++i) {
        for (std::uint32_t j = lo; j < lo + m->Size; ++j) std::printf(" %10.6f", m->Elem[i][j]);
        std::printf("\n");
    }
}

int main() {
    // Subscripts from 1: a->Elem[1][1] .. a->Elem[3][3]. An allocator takes the old pointer
    // (released first) and returns the new one, or null after the library's report.
    MtrxNN* a = GetMatrixNN(nullptr, 3, true);
    if (a == nullptr) return 1;
    const double values[3][3] = {{2, -1, 0}, {-1, 2, -1}, {0, -1, 2}};
    for (std::uint32_t i = 1; i <= 3; ++i)
        for (std::uint32_t j = 1; j <= 3; ++j) a->Elem[i][j] = values[i - 1][j - 1];
    Print("a", a);
    std::printf("det(a) = %f\n", DetNN2(a));

    MtrxNN* ai = nullptr;
    if (!InvMtrxNN(&ai, a)) return 1;  // a row of zeros, order 1, or no memory
    Print("inverse of a", ai);

    // a x = b with vectors of the same suffix base; x may be b itself.
    Vect* x = GetVector(nullptr, 3, true);
    if (x == nullptr) return 1;
    x->Elem[1] = 1.0;
    x->Elem[2] = 0.0;
    x->Elem[3] = 1.0;
    if (!SolveMtrxNN(x, a, x)) return 1;
    std::printf("x = %f %f %f\n", x->Elem[1], x->Elem[2], x->Elem[3]);

    // Subscripts from 0: y->Elem[0] .. y->Elem[2]. Operands of another suffix base are refused,
    // not converted.
    Vect* y = GetVector(nullptr, 3, false);
    if (y == nullptr) return 1;
    for (std::uint32_t i = 0; i < 3; ++i) y->Elem[i] = i + 1.0;
    std::printf("y . y = %f\n", MulVect(y, y));
    std::printf("x + y %s\n", AddVect(y, x, y) ? "added" : "refused: the suffix bases differ");

    // 70000 x 70000 doubles do not fit in 32-bit counts: the library writes its report to
    // standard error and returns null; the program goes on.
    std::fflush(stdout);  // what came before stays before the report
    MtrxNN* big = GetMatrixNN(nullptr, 70000, false);
    std::printf("a 70000 x 70000 matrix: %s\n", big == nullptr ? "not allocated" : "allocated");

    // Release routines return null, for the caller to store back.
    big = FreeMatrixNN(big);
    y = FreeVector(y);
    x = FreeVector(x);
    ai = FreeMatrixNN(ai);
    a = FreeMatrixNN(a);
    return 0;
}
