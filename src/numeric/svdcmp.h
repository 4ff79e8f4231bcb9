#pragma once

// Singular value decomposition a = U * diag(w) * V^T of an m x n matrix (Golub-Reinsch:
// Householder bidiagonalisation, then implicitly shifted QR). Matrices are arrays of row pointers
// indexed from 1; vectors are indexed from 1. On return a holds U (m x n), w[1..n] the singular
// values (all >= 0, unordered) and v the n x n matrix V itself. Works for any m >= 0, n >= 1.

// Ends the process through numericsError when a singular value does not converge within 50
// iterations.
void svdcmp(double** a, int m, int n, double* w, double** v);

// The same decomposition, but a singular value that does not converge within 50 iterations makes
// it return 0 (a, w and v then hold unusable values) instead of ending the process; 1 on success.
// Callers that must survive any input data (the path fit) use this form.
int svdDecompose(double** a, int m, int n, double* w, double** v);
