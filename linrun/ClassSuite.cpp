// linrun's second suite: the SVect class, and the products of SMtrx and SMtrxNN with SVect,
// on fixed data.
//
// The objects are locals that live to the end of the suite and are destroyed in reverse
// order; operator results are temporaries consumed by one assignment each. Nothing is caught:
// an exception of the object layer ends the Run where it is raised.
#include "FmLinrun.h"
#include "LineFormat.h"
#include "objects/SMtrx.h"
#include "objects/SMtrxNN.h"
#include "objects/SVect.h"

void TFmLinrun::SVectClassSuite() {
    const std::string blank;

    // 1
    PutLine("SVect(...), Val[i][j] and operator[]...");
    SVect A(4);
    A[0] = 6.0;
    A[1] = -3.0;
    A[2] = 4.0;
    A[3] = 1.0;
    PrintSVect("A =", A);
    PutLine(blank);

    // 2: the same column as A, from subscripts 1 to 4.
    PutLine("SVect(..., bool ), Val[i][j] and operator[]...");
    SVect B(4, true);
    B[1] = 6.0;
    B[2] = -3.0;
    B[3] = 4.0;
    B[4] = 1.0;
    PrintSVect("B =", B);
    PutLine(blank);

    // 3
    PutLine("SVect Copy constructor...");
    SVect C(B);
    PrintSVect("C (= B) =", C);
    PutLine(blank);

    // 4: C takes suffix base 0 from +A on.
    PutLine("Operator +A & -A...");
    C = +A;
    PrintSVect("C (= +A) =", C);
    PutLine(blank);
    C = -A;
    PrintSVect("C (= -A) =", C);
    PutLine(blank);

    // 5
    PutLine("Operator = & *= double...");
    C = A;
    C *= 2.0;
    PrintSVect("C (= 2A) =", C);
    PutLine(blank);

    // 6: D holds twice B's elements, shifted from 1..4 to 0..3.
    PutLine("Operator +, -, * double & double *...");
    SVect D(B.GetSize());
    for (unsigned i = 0; i < D.GetSize(); ++i) D[i] = B[i + 1] * 2.0;
    PrintSVect("D =", D);
    C = 2.0 * A - D * 0.5 + D;
    PrintSVect("C (= 2A - 0.5D + D = 2A + B = 3A) =", C);
    PutLine(blank);

    // 7: M * N has as many elements as M has rows.
    PutLine("Operator *...");
    SVect L(2);
    SVect N(4);
    SMtrx M(2, 4, false);
    M[0][0] = 1.0;  M[0][1] = 2.0;  M[0][2] = -2.0; M[0][3] = 1.0;
    M[1][0] = -1.0; M[1][1] = -2.0; M[1][2] = 2.0;  M[1][3] = 1.0;
    N[0] = 1.0;
    N[1] = 1.0;
    N[2] = 1.0;
    N[3] = 0.0;
    L = M * N;
    PrintSMtrx("M = |", M);
    PrintSVect("N =", N);
    PrintSVect("L = M * N =", L);
    PutLine(blank);

    SVect Y(4);
    SVect X(4);
    SMtrxNN P(4);
    P[0][0] = 1.0;  P[0][1] = 2.0;  P[0][2] = -2.0; P[0][3] = 1.0;
    P[1][0] = -1.0; P[1][1] = -2.0; P[1][2] = 2.0;  P[1][3] = 1.0;
    P[2][0] = 1.0;  P[2][1] = -2.0; P[2][2] = 2.0;  P[2][3] = 1.0;
    P[3][0] = -1.0; P[3][1] = 2.0;  P[3][2] = -2.0; P[3][3] = 1.0;
    X[0] = 1.0;
    X[1] = 0.5;
    X[2] = 1.0;
    X[3] = -0.2;
    Y = P * X;
    PrintSMtrx("P = |", P);
    PrintSVect("X =", X);
    PrintSVect("Y = P * X =", Y);
    PutLine(blank);

    // 8
    PutLine("Operator |...");
    const double r = N | N;
    PrintSVect("N =", N);
    PutLine(FormatLine("N | N = %lf", r));
    PutLine(blank);
}
