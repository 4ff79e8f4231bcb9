#pragma once

// Least-squares back-substitution x = V * diag(1/w) * U^T * b for a decomposition from svdcmp
// (u m x n, w 1..n, v n x n, b 1..m, x 1..n). Singular values that are exactly 0 are skipped,
// which gives the minimum-norm solution; tiny non-zero ones are divided by unchanged.
void svdSolve(double** u, const double* w, double** v, int m, int n, const double* b, double* x);
