// An inverse and a matrix product computed independently of the library, step for step in the
// library's order of floating-point operations: balancing by powers of 2, Crout's LU
// decomposition with implicit partial pivoting, forward and back substitution, one column of
// the inverse at a time, and products summed over ascending k.
//
// The report tests use it only where a printed digit depends on rounding: an entry whose
// exact value is 0 prints as 0.000000 or -0.000000 after the sign of its rounding error (or
// of an exact signed zero), which the exact values alone cannot settle.
#pragma once

#include <cmath>
#include <cstddef>
#include <utility>
#include <vector>

namespace reference {

using Matrix = std::vector<std::vector<double>>;

inline Matrix Identity(std::size_t n) {
    Matrix m(n, std::vector<double>(n, 0.0));
    for (std::size_t i = 0; i < n; ++i) m[i][i] = 1.0;
    return m;
}

// c[i][j] = sum over ascending k of a[i][k] * b[k][j], the sum starting at 0.0.
inline Matrix Product(const Matrix& a, const Matrix& b) {
    const std::size_t n = a.size();
    Matrix c(n, std::vector<double>(n, 0.0));
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < n; ++j) {
            double sum = 0.0;
            for (std::size_t k = 0; k < n; ++k) sum = sum + a[i][k] * b[k][j];
            c[i][j] = sum;
        }
    }
    return c;
}

// Scales the rows and columns of s by powers of 2 until no pass changes it; returns the row
// and column scalings (diagonal matrices) through dr and dc.
inline void Balance(Matrix& s, Matrix& dr, Matrix& dc) {
    const std::size_t n = s.size();
    dr = Identity(n);
    dc = Identity(n);
    for (bool changed = true; changed;) {
        changed = false;
        Matrix t1 = Identity(n);
        Matrix t2 = Identity(n);
        for (std::size_t i = 0; i < n; ++i) {
            double c = 0.0;
            double r = 0.0;
            for (std::size_t j = 0; j < n; ++j) {
                if (j == i) continue;
                c = c + std::fabs(s[j][i]);
                r = r + std::fabs(s[i][j]);
            }
            if (c == 0.0 || r == 0.0) continue;
            double g = r * 0.5;
            double f = 1.0;
            const double total = c + r;
            while (c < g) {
                f = f * 2.0;
                c = c * 4.0;
            }
            g = r * 2.0;
            while (c > g) {
                f = f * 0.5;
                c = c / 4.0;
            }
            if ((c + r) / f < 0.95 * total) {
                changed = true;
                g = 1.0 / f;
                for (std::size_t j = 0; j < n; ++j) s[i][j] = s[i][j] * g;
                for (std::size_t j = 0; j < n; ++j) s[j][i] = s[j][i] * f;
                t1[i][i] = g;
                t2[i][i] = f;
            }
        }
        dr = Product(t1, dr);
        dc = Product(t2, dc);
    }
}

// Crout's method in place; p receives the pivot row of every column.
inline void Decompose(Matrix& f, std::vector<std::size_t>& p) {
    const std::size_t n = f.size();
    std::vector<double> vv(n);
    p.assign(n, 0);
    for (std::size_t i = 0; i < n; ++i) {
        double big = 0.0;
        for (std::size_t j = 0; j < n; ++j)
            if (std::fabs(f[i][j]) > big) big = std::fabs(f[i][j]);
        vv[i] = 1.0 / big;
    }
    for (std::size_t j = 0; j < n; ++j) {
        for (std::size_t i = 0; i < j; ++i) {
            double sum = f[i][j];
            for (std::size_t k = 0; k < i; ++k) sum = sum - f[i][k] * f[k][j];
            f[i][j] = sum;
        }
        double big = 0.0;
        std::size_t imax = j;
        for (std::size_t i = j; i < n; ++i) {
            double sum = f[i][j];
            for (std::size_t k = 0; k < j; ++k) sum = sum - f[i][k] * f[k][j];
            f[i][j] = sum;
            if (vv[i] * std::fabs(sum) >= big) {
                big = vv[i] * std::fabs(sum);
                imax = i;
            }
        }
        if (imax != j) {
            std::swap(f[imax], f[j]);
            vv[imax] = vv[j];
        }
        p[j] = imax;
        if (f[j][j] == 0.0) f[j][j] = 1.0e-20;
        if (j + 1 != n) {
            const double d = 1.0 / f[j][j];
            for (std::size_t i = j + 1; i < n; ++i) f[i][j] = f[i][j] * d;
        }
    }
}

// Solves f x = b in place, x holding b on entry; leading zeros of b are skipped.
inline void Substitute(const Matrix& f, std::vector<double>& x, const std::vector<std::size_t>& p) {
    const std::size_t n = f.size();
    bool started = false;
    std::size_t ii = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t ip = p[i];
        double sum = x[ip];
        x[ip] = x[i];
        if (started) {
            for (std::size_t j = ii; j < i; ++j) sum = sum - f[i][j] * x[j];
        } else if (sum != 0.0) {
            started = true;
            ii = i;
        }
        x[i] = sum;
    }
    for (std::size_t i = n; i-- > 0;) {
        double sum = x[i];
        for (std::size_t j = i + 1; j < n; ++j) sum = sum - f[i][j] * x[j];
        x[i] = sum / f[i][i];
    }
}

// The inverse of a regular matrix, column by column: the balanced matrix is decomposed once,
// for the first column, and its factors serve every further column.
inline Matrix Inverse(const Matrix& a) {
    const std::size_t n = a.size();
    Matrix inverse(n, std::vector<double>(n, 0.0));
    Matrix f = a;
    Matrix dr;
    Matrix dc;
    std::vector<std::size_t> p;
    for (std::size_t j = 0; j < n; ++j) {
        std::vector<double> x(n, 0.0);
        x[j] = 1.0;
        if (j == 0) {
            Balance(f, dr, dc);
            for (std::size_t i = 0; i < n; ++i) x[i] = dr[i][i] * x[i];
            Decompose(f, p);
            Substitute(f, x, p);
            for (std::size_t i = 0; i < n; ++i) x[i] = dc[i][i] * x[i];
        } else {
            x[j] = x[j] * dr[j][j];
            Substitute(f, x, p);
            for (std::size_t i = 0; i < n; ++i) x[i] = x[i] * dc[i][i];
        }
        for (std::size_t i = 0; i < n; ++i) inverse[i][j] = x[i];
    }
    return inverse;
}

}  // namespace reference
