#include "numeric/svd_solve.h"

#include "numeric/nr_vector.h"

void svdSolve(double** u, const double* w, double** v, int m, int n, const double* b, double* x) {
    double* tmp = vector(1, n);
    for (int j = 1; j <= n; ++j) {
        double s = 0.0;
        if (w[j] != 0.0) {
            for (int i = 1; i <= m; ++i) {
                s += u[i][j] * b[i];
            }
            s /= w[j];
        }
        tmp[j] = s;
    }
    for (int j = 1; j <= n; ++j) {
        double s = 0.0;
        for (int jj = 1; jj <= n; ++jj) {
            s += v[j][jj] * tmp[jj];
        }
        x[j] = s;
    }
    releaseVector(tmp, 1);
}
