#pragma once

#include <vector>

// Least-squares cubic z(x) of one block of root samples, evaluated at the block's middle sample.
// Holds its matrices between blocks so that fitting a long motion allocates them once.
class BlockFit {
  public:
    explicit BlockFit(int maxRows);

    // Fitted z at x[middle] for the n samples x[0..n-1], z[0..n-1] (1 <= n <= maxRows). Falls
    // back to z[middle] when the fit is unusable: a non-finite sample or power, a decomposition
    // that does not converge, or a result that is non-finite or lies outside the block's z range
    // widened by that range on each side (by 1 when the range is 0).
    double fittedZ(const float* x, const float* z, int n, int middle);

  private:
    static constexpr int kColumns = 4;
    int maxRows_;
    std::vector<double> aStorage_;  // (maxRows + 1) x (kColumns + 1), row 0 and column 0 unused
    std::vector<double*> a_;        // row pointers into aStorage_
    std::vector<double> vStorage_;  // (kColumns + 1) x (kColumns + 1)
    std::vector<double*> v_;
    std::vector<double> w_;       // 1-based singular values
    std::vector<double> rhs_;     // 1-based sample z
    std::vector<double> coeffs_;  // 1-based polynomial coefficients, constant first
};
