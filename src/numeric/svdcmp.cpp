#include "numeric/svdcmp.h"

#include <algorithm>
#include <cmath>

#include "numeric/hypotenuse.h"
#include "numeric/nr_vector.h"
#include "numeric/numerics_error.h"

namespace {

constexpr int kMaxIterations = 50;

// |magnitude| carrying the sign of reference (a zero reference counts as positive).
double withSignOf(double magnitude, double reference) {
    return reference >= 0.0 ? std::fabs(magnitude) : -std::fabs(magnitude);
}

// Whether x vanishes next to the matrix norm in double precision.
bool negligible(double x, double anorm) {
    return std::fabs(x) + anorm == anorm;
}

// Householder reflection of column i, rows i..m, that zeroes the entries below the diagonal and
// is applied to columns i+1..n. Returns the new diagonal entry.
double reflectColumn(double** a, int m, int n, int i) {
    double scale = 0.0;
    for (int k = i; k <= m; ++k) {
        scale += std::fabs(a[k][i]);
    }
    if (scale == 0.0) {
        return 0.0;
    }
    double s = 0.0;
    for (int k = i; k <= m; ++k) {
        a[k][i] /= scale;
        s += a[k][i] * a[k][i];
    }
    const double f = a[i][i];
    const double g = -withSignOf(std::sqrt(s), f);
    const double h = f * g - s;
    a[i][i] = f - g;
    for (int j = i + 1; j <= n; ++j) {
        double dot = 0.0;
        for (int k = i; k <= m; ++k) {
            dot += a[k][i] * a[k][j];
        }
        const double factor = dot / h;
        for (int k = i; k <= m; ++k) {
            a[k][j] += factor * a[k][i];
        }
    }
    for (int k = i; k <= m; ++k) {
        a[k][i] *= scale;
    }
    return scale * g;
}

// Householder reflection of row i, columns i+1..n, that zeroes the entries right of the
// superdiagonal and is applied to rows i+1..m. rv1[i+1..n] serves as scratch; returns the new
// superdiagonal entry.
double reflectRow(double** a, int m, int n, int i, double* rv1) {
    const int l = i + 1;
    double scale = 0.0;
    for (int k = l; k <= n; ++k) {
        scale += std::fabs(a[i][k]);
    }
    if (scale == 0.0) {
        return 0.0;
    }
    double s = 0.0;
    for (int k = l; k <= n; ++k) {
        a[i][k] /= scale;
        s += a[i][k] * a[i][k];
    }
    const double f = a[i][l];
    const double g = -withSignOf(std::sqrt(s), f);
    const double h = f * g - s;
    a[i][l] = f - g;
    for (int k = l; k <= n; ++k) {
        rv1[k] = a[i][k] / h;
    }
    for (int j = l; j <= m; ++j) {
        double dot = 0.0;
        for (int k = l; k <= n; ++k) {
            dot += a[j][k] * a[i][k];
        }
        for (int k = l; k <= n; ++k) {
            a[j][k] += dot * rv1[k];
        }
    }
    for (int k = l; k <= n; ++k) {
        a[i][k] *= scale;
    }
    return scale * g;
}

// Reduces a to upper bidiagonal form: diagonal in w, superdiagonal in rv1 (rv1[1] = 0). Returns
// the norm estimate used by the convergence tests.
double bidiagonalize(double** a, int m, int n, double* w, double* rv1) {
    double anorm = 0.0;
    rv1[1] = 0.0;
    for (int i = 1; i <= n; ++i) {
        w[i] = i <= m ? reflectColumn(a, m, n, i) : 0.0;
        if (i < n) {
            // reflectRow uses rv1[i+1..n] as scratch before its result lands in rv1[i+1].
            rv1[i + 1] = i <= m ? reflectRow(a, m, n, i, rv1) : 0.0;
        }
        anorm = std::max(anorm, std::fabs(w[i]) + std::fabs(rv1[i]));
    }
    return anorm;
}

// Builds V from the row reflections stored in a (right of the superdiagonal).
void accumulateRight(double** a, int n, const double* rv1, double** v) {
    for (int i = n; i >= 1; --i) {
        const int l = i + 1;
        if (i < n) {
            const double g = rv1[l];
            if (g != 0.0) {
                // Two divisions rather than one product, so a tiny a[i][l] * g cannot underflow.
                for (int j = l; j <= n; ++j) {
                    v[j][i] = (a[i][j] / a[i][l]) / g;
                }
                for (int j = l; j <= n; ++j) {
                    double s = 0.0;
                    for (int k = l; k <= n; ++k) {
                        s += a[i][k] * v[k][j];
                    }
                    for (int k = l; k <= n; ++k) {
                        v[k][j] += s * v[k][i];
                    }
                }
            }
            for (int j = l; j <= n; ++j) {
                v[i][j] = 0.0;
                v[j][i] = 0.0;
            }
        }
        v[i][i] = 1.0;
    }
}

// Overwrites a with U from the column reflections stored in it.
void accumulateLeft(double** a, int m, int n, const double* w) {
    for (int i = std::min(m, n); i >= 1; --i) {
        const int l = i + 1;
        for (int j = l; j <= n; ++j) {
            a[i][j] = 0.0;
        }
        if (w[i] != 0.0) {
            const double g = 1.0 / w[i];
            for (int j = l; j <= n; ++j) {
                double s = 0.0;
                for (int k = l; k <= m; ++k) {
                    s += a[k][i] * a[k][j];
                }
                const double f = (s / a[i][i]) * g;
                for (int k = i; k <= m; ++k) {
                    a[k][j] += f * a[k][i];
                }
            }
            for (int j = i; j <= m; ++j) {
                a[j][i] *= g;
            }
        } else {
            for (int j = i; j <= m; ++j) {
                a[j][i] = 0.0;
            }
        }
        a[i][i] += 1.0;
    }
}

// Applies the plane rotation (c, s) to columns p and q of rows 1..rows of mat.
void rotateColumns(double** mat, int rows, int p, int q, double c, double s) {
    for (int j = 1; j <= rows; ++j) {
        const double y = mat[j][p];
        const double z = mat[j][q];
        mat[j][p] = y * c + z * s;
        mat[j][q] = z * c - y * s;
    }
}

// Index l of the first row of the unreduced block ending at k. Sets cancel when w[l-1] vanished
// and rv1[l] must still be chased out. rv1[1] is zero by construction, so l = 1 always splits;
// the loop never reads w[0], even when a non-finite norm makes every test fail.
int findSplit(const double* w, const double* rv1, int k, double anorm, bool& cancel) {
    for (int l = k; l >= 2; --l) {
        if (negligible(rv1[l], anorm)) {
            cancel = false;
            return l;
        }
        if (negligible(w[l - 1], anorm)) {
            cancel = true;
            return l;
        }
    }
    cancel = false;
    return 1;
}

// Removes rv1[l] (with w[l-1] zero) by rotations from the left, updating U.
void cancelSuperdiagonal(double** a, int m, double* w, double* rv1, int l, int k, double anorm) {
    const int nm = l - 1;
    double c = 0.0;
    double s = 1.0;
    for (int i = l; i <= k; ++i) {
        const double f = s * rv1[i];
        rv1[i] = c * rv1[i];
        if (negligible(f, anorm)) {
            break;
        }
        const double g = w[i];
        double h = hypotenuse(f, g);
        w[i] = h;
        h = 1.0 / h;
        c = g * h;
        s = -f * h;
        rotateColumns(a, m, nm, i, c, s);
    }
}

// One implicitly shifted QR sweep over rows l..k, the shift taken from the bottom 2x2 minor.
void qrSweep(double** a, int m, int n, double* w, double* rv1, double** v, int l, int k) {
    double x = w[l];
    const int nm = k - 1;
    double y = w[nm];
    double g = rv1[nm];
    double h = rv1[k];
    double z = w[k];
    double f = ((y - z) * (y + z) + (g - h) * (g + h)) / (2.0 * h * y);
    g = hypotenuse(f, 1.0);
    f = ((x - z) * (x + z) + h * ((y / (f + withSignOf(g, f))) - h)) / x;
    double c = 1.0;
    double s = 1.0;
    for (int j = l; j <= nm; ++j) {
        const int i = j + 1;
        g = rv1[i];
        y = w[i];
        h = s * g;
        g = c * g;
        z = hypotenuse(f, h);
        rv1[j] = z;
        c = f / z;
        s = h / z;
        f = x * c + g * s;
        g = g * c - x * s;
        h = y * s;
        y *= c;
        rotateColumns(v, n, j, i, c, s);
        z = hypotenuse(f, h);
        w[j] = z;
        // A zero z leaves the rotation of the previous step in place, which is arbitrary but safe.
        if (z != 0.0) {
            z = 1.0 / z;
            c = f * z;
            s = h * z;
        }
        f = c * g + s * y;
        x = c * y - s * g;
        rotateColumns(a, m, j, i, c, s);
    }
    rv1[l] = 0.0;
    rv1[k] = f;
    w[k] = x;
}

// Diagonalises the bidiagonal form, last singular value first; 0 when one does not converge.
int diagonalize(double** a, int m, int n, double* w, double* rv1, double** v, double anorm) {
    for (int k = n; k >= 1; --k) {
        for (int iteration = 1;; ++iteration) {
            bool cancel = false;
            const int l = findSplit(w, rv1, k, anorm, cancel);
            if (cancel) {
                cancelSuperdiagonal(a, m, w, rv1, l, k, anorm);
            }
            if (l == k) {
                if (w[k] < 0.0) {
                    w[k] = -w[k];
                    for (int j = 1; j <= n; ++j) {
                        v[j][k] = -v[j][k];
                    }
                }
                break;
            }
            if (iteration == kMaxIterations) {
                return 0;
            }
            qrSweep(a, m, n, w, rv1, v, l, k);
        }
    }
    return 1;
}

}  // namespace

int svdDecompose(double** a, int m, int n, double* w, double** v) {
    double* rv1 = vector(1, n);
    const double anorm = bidiagonalize(a, m, n, w, rv1);
    accumulateRight(a, n, rv1, v);
    accumulateLeft(a, m, n, w);
    const int converged = diagonalize(a, m, n, w, rv1, v, anorm);
    releaseVector(rv1, 1);
    return converged;
}

void svdcmp(double** a, int m, int n, double* w, double** v) {
    if (svdDecompose(a, m, n, w, v) == 0) {
        numericsError("no convergence in 50 svdcmp iterations");
    }
}
