// The accuracy notes: RCondMtrxNN beside LAPACK's dgecon on classic ill-conditioned matrices,
// and both beside the true reciprocal condition of the matrix as stored (rational arithmetic).
#include <lapacke.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "Report.h"
#include "routines/DetNN.h"

namespace bench {
namespace {

struct Classic {
    const char* name;
    unsigned n;
    std::function<double(unsigned, unsigned)> element;
    double truth;  // 1 / (|A|_1 |A^-1|_1) of the doubles as stored, exact to the digits shown
};

double Dgecon(unsigned n, const MtrxNN* a) {
    std::vector<double> w(std::size_t{n} * n);
    for (unsigned i = 0; i < n; ++i)
        for (unsigned j = 0; j < n; ++j) w[std::size_t{i} * n + j] = a->Elem[i][j];
    const double norm = LAPACKE_dlange(LAPACK_ROW_MAJOR, '1', n, n, w.data(), n);
    std::vector<lapack_int> piv(n);
    if (LAPACKE_dgetrf(LAPACK_ROW_MAJOR, n, n, w.data(), n, piv.data()) != 0) return 0.0;
    double rcond = 0.0;
    LAPACKE_dgecon(LAPACK_ROW_MAJOR, '1', n, w.data(), n, norm, &rcond);
    return rcond;
}

std::string Sci(double x) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6e", x);
    return text;
}

}  // namespace

std::string AccuracyNotes() {
    const Classic classics[] = {
        {"Hilbert 8", 8, [](unsigned i, unsigned j) { return 1.0 / (i + j + 1); },
         2.9522220355739169e-11},
        {"Pascal 12", 12,
         [](unsigned i, unsigned j) {
             double c = 1.0;  // (i + j) choose i, exact
             for (unsigned k = 1; k <= i; ++k) c = c * (j + k) / k;
             return c;
         },
         5.7503973099379796e-13},
        {"Vandermonde 8 (nodes 1..8)", 8,
         [](unsigned i, unsigned j) { return std::pow(1.0 + i, static_cast<double>(j)); },
         6.0171446840442572e-10},
    };
    std::ostringstream out;
    out << "\n## Accuracy: the reciprocal condition estimate\n\n"
        << "`RCondMtrxNN` beside LAPACK's dgecon (after dgetrf, through LAPACKE), and the true "
           "reciprocal condition 1 / (‖A‖₁ ‖A⁻¹‖₁) of the matrix as stored, from rational "
           "arithmetic. Both estimate ‖A⁻¹‖₁ by Hager and Higham's method; QUIL's from the balanced "
           "decomposition that `SolveMtrxNN` uses.\n\n"
        << "| Matrix | True | QUIL `RCondMtrxNN` | ÷ true | dgecon | ÷ true |\n"
        << "|---|---|---|---|---|---|\n";
    for (const Classic& c : classics) {
        MtrxNN* a = GetMatrixNN(nullptr, c.n, false);
        if (a == nullptr) continue;
        for (unsigned i = 0; i < c.n; ++i)
            for (unsigned j = 0; j < c.n; ++j) a->Elem[i][j] = c.element(i, j);
        const double quil = RCondMtrxNN(a);
        const double lapack = Dgecon(c.n, a);
        a = FreeMatrixNN(a);
        char ratios[2][32];
        std::snprintf(ratios[0], sizeof ratios[0], "%.9f", quil / c.truth);
        std::snprintf(ratios[1], sizeof ratios[1], "%.9f", lapack / c.truth);
        out << "| " << c.name << " | " << Sci(c.truth) << " | " << Sci(quil) << " | " << ratios[0]
            << " | " << Sci(lapack) << " | " << ratios[1] << " |\n";
    }
    return out.str();
}

}  // namespace bench
