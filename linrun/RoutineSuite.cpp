// linrun's first suite: the vector routines once each, on fixed data.
//
// Each section writes its header, the vectors involved and one blank line. The suite compares
// nothing; what the routines compute is what the report shows.
#include "FmLinrun.h"
#include "LineFormat.h"
#include "routines/Vect.h"

namespace {

void Set4(Vect* v, double e0, double e1, double e2, double e3) {
    v->Elem[0] = e0;
    v->Elem[1] = e1;
    v->Elem[2] = e2;
    v->Elem[3] = e3;
}

}  // namespace

void TFmLinrun::VectRoutineSuite() {
    const std::string blank;
    Vect* A = nullptr;
    Vect* B = nullptr;
    Vect* C = nullptr;
    Mtrx* M = nullptr;

    // When GetVector or GetMatrix yields null (the library has already reported it), the
    // suite says so, releases what it holds and ends, touching no null record. The class
    // suite still follows.
    auto abandon = [&](const char* what) {
        PutLine(FormatLine("%s failed: the suite ends here.", what));
        PutLine(blank);
        M = FreeMatrix(M);
        C = FreeVector(C);
        B = FreeVector(B);
        A = FreeVector(A);
    };

    // 1: A and B print alike although A runs over 0..3 and B over 1..4.
    PutLine("GetVector(...) & FreeVector(...)...");
    A = GetVector(A, 4, false);
    B = GetVector(B, 4, true);
    if (A == nullptr || B == nullptr) return abandon("GetVector(...)");
    for (unsigned i = 4; i-- > 0;) A->Elem[i] = 1.0;
    for (unsigned i = 4; i >= 1; --i) B->Elem[i] = 1.0;
    PrintVector("A =", A);
    PrintVector("B =", B);
    PutLine(blank);

    // 2
    PutLine("SetMtrxO(...)...");
    SetMtrxO(A);
    SetMtrxO(B);
    PrintVector("A =", A);
    PrintVector("B =", B);
    B = FreeVector(B);
    PutLine(blank);

    // 3: B comes back with suffix base 0.
    B = GetVector(B, 4, false);
    C = GetVector(C, 4, false);
    if (B == nullptr || C == nullptr) return abandon("GetVector(...)");
    Set4(A, 6.0, -3.0, 4.0, 1.0);
    Set4(B, 2.0, 3.0, 1.0, -3.0);
    PutLine("AddVect(...)...");
    (void)AddVect(C, A, B);
    PrintVectOp(A, "+", B, C);
    PutLine(blank);

    // 4
    PutLine("SubVect(...)...");
    (void)SubVect(C, A, B);
    PrintVectOp(A, "-", B, C);
    PutLine(blank);

    // 5
    PutLine("SclVect(...)...");
    (void)SclVect(C, 0.1, A);
    PrintVector("A =", A);
    PrintVector("0.1 * A =", C);
    PutLine(blank);

    // 6
    PutLine("MulVect(...)...");
    const double r = MulVect(A, B);
    PrintVector("A =", A);
    PrintVector("B =", B);
    PutLine(FormatLine("A * B = %lf", r));
    PutLine(blank);

    // 7: M is half the identity; its other elements are the 0.0 of allocation.
    PutLine("MtrxbyVect(...)...");
    M = GetMatrix(M, 4, 4, false);
    if (M == nullptr) return abandon("GetMatrix(...)");
    for (unsigned i = 4; i-- > 0;) M->Elem[i][i] = 0.5;
    (void)MtrxbyVect(C, M, A);
    PrintVector("A =", A);
    PrintVector("C = 0.5I * A =", C);
    PutLine(blank);

    M = FreeMatrix(M);
    A = FreeVector(A);
    B = FreeVector(B);
    C = FreeVector(C);
}
