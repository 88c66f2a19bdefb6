// A determinant beyond the range of double, taken as a logarithm with DetLog10.
#include <quil.h>

#include <cmath>
#include <cstdint>
#include <cstdio>

// The order-n matrix with s on the diagonal and -s/2 beside it: its determinant is
// (n + 1) (s/2)^n, far beyond double's range for n = 50 and s = 2e8 or 2e-8.
MtrxNN* Tridiagonal(std::uint32_t n, double s) {
    MtrxNN* m = GetMatrixNN(nullptr, n, true);
    if (m == nullptr) return nullptr;
    for (std::uint32_t i = 1; i <= n; ++i) {
        m->Elem[i][i] = s;
        if (i > 1) m->Elem[i][i - 1] = -s / 2;
        if (i < n) m->Elem[i][i + 1] = -s / 2;
    }
    return m;
}

void Show(const char* name, const MtrxNN* m) {
    int sign = 0;
    const double log10Det = DetLog10(m, &sign);
    std::printf("%s: DetNN2 gives %g; DetLog10 gives %f with sign %+d", name, DetNN2(m), log10Det,
                sign);
    if (sign != 0) {  // 0: a row of zeros, or no memory
        const double power = std::floor(log10Det);
        std::printf(", so det = %+.6f x 10^%.0f", sign * std::pow(10.0, log10Det - power), power);
    }
    std::printf("\n");
}

int main() {
    MtrxNN* large = Tridiagonal(50, 2e8);
    MtrxNN* small = Tridiagonal(50, 2e-8);
    if (large == nullptr || small == nullptr) return 1;
    // Exchanging two rows negates the determinant.
    for (std::uint32_t j = 1; j <= 50; ++j) {
        const double t = small->Elem[1][j];
        small->Elem[1][j] = small->Elem[2][j];
        small->Elem[2][j] = t;
    }
    Show("51e400", large);
    Show("-51e-400", small);
    small = FreeMatrixNN(small);
    large = FreeMatrixNN(large);
    return 0;
}
