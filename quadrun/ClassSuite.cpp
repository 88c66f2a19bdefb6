// quadrun's second suite: the SMtrxNN class on fixed data.
//
// The seven matrices are locals that live to the end of the suite and are destroyed in
// reverse order; operator results are temporaries consumed by one assignment each. Nothing is
// caught: an exception of the object layer ends the Run where it is raised.
#include "FmQuadrun.h"
#include "LineFormat.h"
#include "objects/SMtrxNN.h"

void TFmQuadrun::SMtrxNNClassSuite() {
    const std::string blank;

    // 1
    PutLine("SMtrxNN(...), Val[i][j] and operator[]...");
    SMtrxNN A(4);
    A[0][0] = 6.0; A[0][1] = -3.0; A[0][2] = 4.0; A[0][3] = 1.0;
    A[1][0] = 4.0; A[1][1] = 2.0;  A[1][2] = 4.0; A[1][3] = 0.0;
    A[2][0] = 4.0; A[2][1] = -2.0; A[2][2] = 3.0; A[2][3] = 1.0;
    A[3][0] = 4.0; A[3][1] = 2.0;  A[3][2] = 3.0; A.Val[3][3] = 1.0;
    PrintSMtrxNN("A =", A);
    PutLine(blank);

    // 2: A's values except the last, at subscripts 1 to 4.
    PutLine("SMtrxNN(..., bool ), Val[i][j] and operator[]...");
    SMtrxNN B(4, true);
    B[1][1] = 6.0; B[1][2] = -3.0; B[1][3] = 4.0; B[1][4] = 1.0;
    B[2][1] = 4.0; B[2][2] = 2.0;  B[2][3] = 4.0; B[2][4] = 0.0;
    B[3][1] = 4.0; B[3][2] = -2.0; B[3][3] = 3.0; B[3][4] = 1.0;
    B[4][1] = 4.0; B[4][2] = 2.0;  B[4][3] = 3.0; B.Val[4][4] = 9.0;
    PrintSMtrxNN("B =", B);
    PutLine(blank);

    // 3
    PutLine("SMtrxNN Copy constructor...");
    SMtrxNN C(B);
    PrintSMtrxNN("C (= B) =", C);
    PutLine(blank);

    // 4: C takes suffix base 0 from here on.
    PutLine("Operator +A & -A...");
    C = +A;
    PrintSMtrxNN("C (= +A) =", C);
    PutLine(blank);
    C = -A;
    PrintSMtrxNN("C (= -A) =", C);
    PutLine(blank);

    // 5
    PutLine("Operator = & *= double...");
    C = A;
    C *= 2.0;
    PrintSMtrxNN("C (= 2A) =", C);
    PutLine(blank);

    // 6
    PutLine("Operator += & -= ...");
    C = A;
    C *= 0.0;
    C += A;
    PrintSMtrxNN("C (= A) =", C);
    C -= A;
    PrintSMtrxNN("C (= A - A) =", C);
    PutLine(blank);

    // 7: D bridges the two suffix bases by hand.
    PutLine("Operator +, -, * double & double *...");
    SMtrxNN D(B.GetRows(), false);
    for (unsigned i = 0; i < D.GetRows(); ++i)
        for (unsigned j = 0; j < D.GetCols(); ++j) D[i][j] = B[i + 1][j + 1] * 2.0;
    PrintSMtrxNN("D =", D);
    C = A;
    {
        // 2.0 * A - D * 0.5 + D, each partial result made in this order.
        const SMtrxNN t1 = D * 0.5;
        const SMtrxNN t2 = 2.0 * A;
        const SMtrxNN t3 = t2 - t1;
        const SMtrxNN t4 = t3 + D;
        C = t4;
    }
    PrintSMtrxNN("C (= 2A - 0.5D + D = 2A + B) =", C);
    PutLine(blank);

    // 8
    PutLine("Operator *...");
    SMtrxNN L(2);
    SMtrxNN M(2);
    SMtrxNN N(2);
    M[0][0] = 1.0;  M[0][1] = 2.0;
    M[1][0] = -1.0; M[1][1] = -2.0;
    N[0][0] = 1.0;  N[0][1] = 1.0;
    N[1][0] = 1.0;  N[1][1] = 1.0;
    L = M * N;
    PrintSMtrxNN("        M =", M);
    PrintSMtrxNN("        N =", N);
    PrintSMtrxNN("L = M * N =", L);
    PutLine(blank);

    // 9
    PutLine("Member SetValues(...)...");
    C.SetValues(0.5);
    PrintSMtrxNN("C(0.5) =", C);
    PutLine(blank);

    // 10
    PutLine("Member SetValue(...)...");
    C.SetValue(1, 1, 1.0);
    PrintSMtrxNN("C(1, 1, 1.0) =", C);
    PutLine(blank);

    // 11: the loops start at 0, C's suffix base since test 4.
    PutLine("Member SetValue(...)...");
    double v = 0.0;
    for (unsigned i = 0; i < C.GetRows(); ++i) {
        for (unsigned j = 0; j < C.GetCols(); ++j) {
            v = v + 0.1;
            C.SetValue(i, j, v);
        }
    }
    PrintSMtrxNN("C =", C);
    PutLine(blank);

    // 12
    PutLine("Member Tran(...)...");
    C = C.Tran();
    PrintSMtrxNN("C =", C);
    PutLine(blank);

    // 13
    PutLine("Member Det(...)...");
    PutLine(FormatLine("Det(A) = %lf", A.Det()));
    PutLine(blank);

    // 14: D keeps order 4 and suffix base 0.
    PutLine("Member Inv(...)...");
    D = A.Inv();
    PrintSMtrxNN("A^-1 =", D);
    C = A * D;
    PrintSMtrxNN("A * A^-1 =", C);
    PutLine(blank);

    // 15: a singular A would leave the gap empty, giving two spaces.
    PutLine("IsSingular()...");
    PutLine(FormatLine("A is %s singular.", A.IsSingular() ? "" : "not"));
    PutLine(blank);
}
