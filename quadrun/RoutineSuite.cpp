// quadrun's first suite: every square-matrix routine once, on fixed data.
//
// Each test writes its header, the matrices or result lines, and one blank line. The suite
// compares nothing; what the routines compute is what the report shows.
#include <cmath>

#include "FmQuadrun.h"
#include "LineFormat.h"
#include "routines/DetNN.h"
#include "routines/MtrxNN.h"

namespace {

constexpr unsigned Order = 4;

constexpr double DataA[Order][Order] = {
    {6.0, -3.0, 4.0, 1.0}, {4.0, 2.0, 4.0, 0.0}, {4.0, -2.0, 3.0, 1.0}, {4.0, 2.0, 3.0, 1.0}};
constexpr double DataB[Order][Order] = {
    {2.0, 3.0, 1.0, -3.0}, {-1.0, 2.0, 2.0, 4.0}, {4.0, 1.0, -3.0, 5.0}, {5.0, -4.0, -4.0, 1.0}};
constexpr double DataD[Order][Order] = {
    {-1.0, 3.0, 2.0, 1.0}, {2.0, 1.0, -3.0, 2.0}, {-3.0, 4.0, 1.0, 1.0}, {3.0, 4.0, 2.0, -1.0}};

// Fills a suffix-base-0 matrix row by row.
void Fill(MtrxNN* m, const double (&data)[Order][Order]) {
    for (unsigned i = 0; i < Order; ++i)
        for (unsigned j = 0; j < Order; ++j) m->Elem[i][j] = data[i][j];
}

}  // namespace

void TFmQuadrun::MtrxNNRoutineSuite() {
    const std::string blank;
    MtrxNN* A = nullptr;
    MtrxNN* B1 = nullptr;
    MtrxNN* B = nullptr;
    MtrxNN* R = nullptr;
    MtrxNN* D = nullptr;
    MtrxNN* AI = nullptr;
    MtrxNN* P = nullptr;

    // When a matrix cannot be made (the library has already reported it), the suite says so,
    // releases what it holds and ends: nothing after that point could be computed.
    auto abandon = [&] {
        PutLine("GetMatrixNN(...) failed: the suite ends here.");
        PutLine(blank);
        P = FreeMatrixNN(P);
        AI = FreeMatrixNN(AI);
        D = FreeMatrixNN(D);
        R = FreeMatrixNN(R);
        B = FreeMatrixNN(B);
        B1 = FreeMatrixNN(B1);
        A = FreeMatrixNN(A);
    };

    // 1
    PutLine("GetMatrixNN(...) & FreeMatrixNN(...)...");
    A = GetMatrixNN(nullptr, Order, false);
    B1 = GetMatrixNN(nullptr, Order, true);
    if (A == nullptr || B1 == nullptr) return abandon();
    for (unsigned k = 0; k < Order; ++k) {
        A->Elem[k][k] = 1.0;
        B1->Elem[k + 1][k + 1] = 1.0;
    }
    PrintMtrxNN("A =", A);
    PrintMtrxNN("B =", B1);
    PutLine(blank);

    // 2
    PutLine("SetMtrxNNO(...)...");
    SetMtrxNNO(A);
    SetMtrxNNO(B1);
    PrintMtrxNN("A =", A);
    PrintMtrxNN("B =", B1);
    B1 = FreeMatrixNN(B1);
    PutLine(blank);

    // 3
    B = GetMatrixNN(nullptr, Order, false);
    R = GetMatrixNN(nullptr, Order, false);
    if (B == nullptr || R == nullptr) return abandon();
    Fill(A, DataA);
    Fill(B, DataB);
    PutLine("AddMtrxNN(...)...");
    (void)AddMtrxNN(R, A, B);
    PrintMtrxNN("    A =", A);
    PrintMtrxNN("    B =", B);
    PrintMtrxNN("A + B =", R);
    PutLine(blank);

    // 4
    PutLine("SubMtrxNN(...)...");
    (void)SubMtrxNN(R, A, B);
    PrintMtrxNN("    A =", A);
    PrintMtrxNN("    B =", B);
    PrintMtrxNN("A - B =", R);
    PutLine(blank);

    // 5
    PutLine("SclMtrxNN(...)...");
    (void)SclMtrxNN(R, 0.1, A);
    PrintMtrxNN("      A =", A);
    PrintMtrxNN("0.1 * A =", R);
    PutLine(blank);

    // 6
    PutLine("MulMtrxNN(...)...");
    (void)MulMtrxNN(R, A, B);
    PrintMtrxNN("    A =", A);
    PrintMtrxNN("    B =", B);
    PrintMtrxNN("A * B =", R);
    PutLine(blank);

    // 7
    PutLine("TrnMtrxNN(...)...");
    (void)TrnMtrxNN(R, A);
    PrintMtrxNN("  A =", A);
    PrintMtrxNN("A^T =", R);
    PutLine(blank);
    A = FreeMatrixNN(A);
    B = FreeMatrixNN(B);
    R = FreeMatrixNN(R);

    // 8 to 12 name the matrix A in their result lines, although it is D.
    D = GetMatrixNN(nullptr, Order, false);
    if (D == nullptr) return abandon();
    Fill(D, DataD);
    PutLine("DetNNbyRef(...)...");
    PutLine(FormatLine("det(A) = %lf", DetNNbyRef(D)));
    PutLine(blank);

    // 9
    PutLine("DetNN(...)...");
    PutLine(FormatLine("det(A) = %lf", DetNN(D)));
    PutLine(blank);

    // 10
    PutLine("DetNN2(...)...");
    PutLine(FormatLine("det(A) = %lf", DetNN2(D)));
    PutLine(blank);

    // 11: the logarithm with the sign, then the determinant rebuilt from them.
    PutLine("DetLog10(...)...");
    int sign = 0;
    const double g = DetLog10(D, &sign);
    PutLine(FormatLine("log10(|det(A)|) = %lf sign = %d", g, sign));
    PutLine(FormatLine("det(A) = %lf", std::pow(10.0, g) * sign));
    PutLine(blank);

    // 12: a singular matrix leaves the gap empty, giving two spaces.
    PutLine("IsSingularMtrxNN(...)...");
    double det = 0.0;
    const bool singular = IsSingularMtrxNN(D, &det);
    PutLine(FormatLine("det(A) = %lf, (this is %s singular.)", det, singular ? "" : "not"));
    PutLine(blank);

    // 13. InvMtrxNN leaves AI null when it fails (no inverse, or no memory for its work); the
    // fixed D never makes it fail, but should it, a line says so in place of the two blocks.
    PutLine("InvMtrxNN(...)...");
    if (!InvMtrxNN(&AI, D) || AI == nullptr) {
        PutLine("InvMtrxNN(...) failed: AI and A * AI are not printed.");
    } else {
        PrintMtrxNN("     AI =", AI);
        P = GetMatrixNN(nullptr, D->Size, D->Base1);
        if (P == nullptr) return abandon();
        (void)MulMtrxNN(P, D, AI);
        PrintMtrxNN("A *  AI =", P);
    }
    PutLine(blank);
    P = FreeMatrixNN(P);
    AI = FreeMatrixNN(AI);
    D = FreeMatrixNN(D);
}
