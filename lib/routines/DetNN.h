// Determinants, singularity test and inverse of square matrices.
#pragma once

#include "routines/MtrxNN.h"
#include "routines/Vect.h"

// |det| below this counts as singular for IsSingularMtrxNN.
constexpr double SingularTol = 1.0e-6;

double DetNNbyRef(const MtrxNN* a);
double DetNN(const MtrxNN* a);
double DetNN2(const MtrxNN* a);
double DetLog10(const MtrxNN* a, int* sign);
bool IsSingularMtrxNN(const MtrxNN* a, double* det);
bool InvMtrxNN(MtrxNN** ai, const MtrxNN* a);

// Kernels. A slot is the caller's pointer passed by address: a kernel that fills it releases
// what it held first; one that releases it on failure leaves it null.
bool LUDcmpMtrxNN(MtrxNN* f, Array1D<std::int32_t> p, int* parity);
bool LUBksbMtrxNN(const MtrxNN* f, Vect* x, Array1D<std::int32_t> p);
bool LUSolveMtrxNN(const MtrxNN* a, const Vect* b, Vect** x, MtrxNN** f,
                   Array1D<std::int32_t>* p);
bool LUReSolveMtrxNN(const MtrxNN* f, const Vect* b, Array1D<std::int32_t> p, Vect** x);
void BalanceMtrxNN(MtrxNN** dr, MtrxNN** dc, MtrxNN* s);
bool BalSolveMtrxNN(const MtrxNN* a, const Vect* b, Vect** x, MtrxNN** f,
                    Array1D<std::int32_t>* p, MtrxNN** dr, MtrxNN** dc);
