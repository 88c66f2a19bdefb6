// The object layer: value classes with operators, and the exceptions they throw on misuse.
#include <quil.h>

#include <cstdio>
#include <exception>

int main() {
    // An order-3 matrix with subscripts from 1. Val[i][j] checks both subscripts.
    SMtrxNN a(3, true);
    const double values[3][3] = {{2, -1, 0}, {-1, 2, -1}, {0, -1, 2}};
    for (unsigned i = 1; i <= 3; ++i)
        for (unsigned j = 1; j <= 3; ++j) a.Val[i][j] = values[i - 1][j - 1];

    std::printf("det(a) = %f\n", a.Det());
    const SMtrxNN product = a * a.Inv();
    std::printf("(a a^-1)[2][2] = %f\n", product.GetValue(2, 2));

    SVect b(3, true);
    b[1] = 1.0;
    b[3] = 1.0;
    const SVect x = a.Solve(b);
    std::printf("x = %f %f %f, x . b = %f\n", x[1], x[2], x[3], x | b);

    // Every exception derives from SError, a std::exception; what() says what went wrong.
    try {
        a.Val[4][1] = 1.0;  // row 4 of 1..3
    } catch (const SMtrx::RangeErr& e) {
        std::printf("caught %s\n", e.what());
    }
    try {
        const SVect sum = x + SVect(3, false);  // another suffix base
    } catch (const SVect::OpeErr& e) {
        std::printf("caught %s (Kind %u)\n", e.what(), e.Kind);
    }
    try {
        const SVect tooShort(1);  // a vector has 2 elements at least
    } catch (const std::exception& e) {
        std::printf("caught %s\n", e.what());
    }
    // a[i][j] is a row pointer then a plain subscript: the row is checked, the column is not.
    // Use a.Val[i][j], GetValue or SetValue where the column needs checking too.
    try {
        a[0][1] = 1.0;  // row 0 of 1..3
    } catch (const SError& e) {
        std::printf("caught %s\n", e.what());
    }
    return 0;
}
