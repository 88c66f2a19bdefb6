// Vectors and general matrices of double, and the routines that combine them.
//
// Records are allocated zero-filled; an allocator releases the old record it is given and
// returns the new one or null; a release returns null for the caller to store back. The result
// comes first and the operands follow. Mismatched operands give false (0.0 for MulVect) and
// leave the result untouched.
#pragma once

#include <cstdint>

#include "routines/Arrays.h"

struct Vect {
    std::uint32_t Size;     // number of elements n
    bool Base1;             // subscripts 1..n when true, 0..n-1 otherwise
    Array1D<double> Elem;   // the elements, Elem[i] for every valid subscript i
};

struct Mtrx {
    std::uint32_t Rows;
    std::uint32_t Cols;
    bool Base1;             // suffix base of both subscripts
    Array2D<double> Elem;   // Elem[i][j]
};

Vect* GetVector(Vect* old, std::uint32_t n, bool base1);
Vect* FreeVector(Vect* v);
void SetMtrxO(Vect* v);
bool AddVect(Vect* c, const Vect* a, const Vect* b);
bool SubVect(Vect* c, const Vect* a, const Vect* b);
bool SclVect(Vect* c, double s, const Vect* a);
double MulVect(const Vect* a, const Vect* b);
bool MtrxbyVect(Vect* y, const Mtrx* m, const Vect* x);
Mtrx* GetMatrix(Mtrx* old, std::uint32_t rows, std::uint32_t cols, bool base1);
Mtrx* FreeMatrix(Mtrx* m);
