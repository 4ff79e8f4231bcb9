#include "editing/block_fit.h"

#include <algorithm>
#include <cmath>

#include "numeric/svd_solve.h"
#include "numeric/svdcmp.h"

BlockFit::BlockFit(int maxRows)
    : maxRows_(maxRows),
      aStorage_(static_cast<std::size_t>(maxRows + 1) * (kColumns + 1), 0.0),
      a_(static_cast<std::size_t>(maxRows) + 1),
      vStorage_((kColumns + 1) * (kColumns + 1), 0.0),
      v_(kColumns + 1),
      w_(kColumns + 1, 0.0),
      rhs_(static_cast<std::size_t>(maxRows) + 1, 0.0),
      coeffs_(kColumns + 1, 0.0) {
    for (std::size_t i = 0; i < a_.size(); ++i) {
        a_[i] = &aStorage_[i * (kColumns + 1)];
    }
    for (std::size_t i = 0; i < v_.size(); ++i) {
        v_[i] = &vStorage_[i * (kColumns + 1)];
    }
}

double BlockFit::fittedZ(const float* x, const float* z, int n, int middle) {
    const double fallback = z[middle];
    if (n < 1 || n > maxRows_) {
        return fallback;
    }
    double zMin = fallback;
    double zMax = fallback;
    bool finite = true;
    for (int j = 1; j <= n; ++j) {
        const double xj = x[j - 1];
        double* row = a_[static_cast<std::size_t>(j)];
        // The powers std::pow gives: x^0 is 1 and x^1 is x for any x, and the square of a float
        // is exact in double, so pow can only give that; the cube is rounded, and left to pow.
        row[1] = 1.0;
        row[2] = xj;
        row[3] = xj * xj;
        row[4] = std::pow(xj, 3);
        for (int c = 1; c <= kColumns; ++c) {
            finite = finite && std::isfinite(row[c]);
        }
        rhs_[static_cast<std::size_t>(j)] = z[j - 1];
        finite = finite && std::isfinite(rhs_[static_cast<std::size_t>(j)]);
        zMin = std::min(zMin, rhs_[static_cast<std::size_t>(j)]);
        zMax = std::max(zMax, rhs_[static_cast<std::size_t>(j)]);
    }
    // Non-finite input cannot give a usable fit, and is the one way a decomposition is sure to
    // fail; the middle sample is the honest answer then.
    if (!finite) {
        return fallback;
    }
    if (svdDecompose(a_.data(), n, kColumns, w_.data(), v_.data()) == 0) {
        return fallback;
    }
    svdSolve(a_.data(), w_.data(), v_.data(), n, kColumns, rhs_.data(), coeffs_.data());
    const double xm = x[middle];
    const double fitted = ((coeffs_[4] * xm + coeffs_[3]) * xm + coeffs_[2]) * xm + coeffs_[1];
    // Nearly equal x values (a root moving along z, or standing still) make the cubic
    // ill-conditioned, and it can put the point thousands of units off the path; such a point is
    // replaced by the middle sample, while any fit near the samples is kept as it is.
    const double range = zMax - zMin;
    const double margin = range > 0.0 ? range : 1.0;
    if (!std::isfinite(fitted) || fitted < zMin - margin || fitted > zMax + margin) {
        return fallback;
    }
    return fitted;
}
