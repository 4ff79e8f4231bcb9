#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "numeric/hypotenuse.h"
#include "numeric/nr_vector.h"
#include "numeric/numerics_error.h"
#include "numeric/svd_solve.h"
#include "numeric/svdcmp.h"

namespace {

// A 1-based rows x cols matrix of row pointers, row 0 and column 0 allocated but unused.
struct Matrix {
    Matrix(int rows, int cols)
        : rows(rows),
          cols(cols),
          storage(static_cast<std::size_t>(rows + 1) * (cols + 1), 0.0),
          pointers(static_cast<std::size_t>(rows) + 1) {
        point();
    }
    Matrix(const Matrix& other)
        : rows(other.rows), cols(other.cols), storage(other.storage), pointers(other.pointers) {
        point();
    }
    void point() {
        for (int i = 0; i <= rows; ++i) {
            pointers[static_cast<std::size_t>(i)] =
                &storage[static_cast<std::size_t>(i) * (cols + 1)];
        }
    }
    double** data() { return pointers.data(); }
    double& at(int i, int j) { return pointers[static_cast<std::size_t>(i)][j]; }
    int rows;
    int cols;
    std::vector<double> storage;
    std::vector<double*> pointers;
};

struct Decomposition {
    explicit Decomposition(const Matrix& original)
        : u(original),
          w(static_cast<std::size_t>(original.cols) + 1, -1.0),
          v(original.cols, original.cols) {
        svdcmp(u.data(), u.rows, u.cols, w.data(), v.data());
    }
    Matrix u;
    std::vector<double> w;
    Matrix v;
};

Matrix randomMatrix(int rows, int cols, std::mt19937& rng) {
    std::uniform_real_distribution<double> value(-10.0, 10.0);
    Matrix a(rows, cols);
    for (int i = 1; i <= rows; ++i) {
        for (int j = 1; j <= cols; ++j) {
            a.at(i, j) = value(rng);
        }
    }
    return a;
}

// Largest deviation of U * diag(w) * V^T from a.
double reconstructionError(Matrix& a, Decomposition& d) {
    double worst = 0.0;
    for (int i = 1; i <= a.rows; ++i) {
        for (int j = 1; j <= a.cols; ++j) {
            double sum = 0.0;
            for (int k = 1; k <= a.cols; ++k) {
                sum += d.u.at(i, k) * d.w[static_cast<std::size_t>(k)] * d.v.at(j, k);
            }
            worst = std::max(worst, std::fabs(sum - a.at(i, j)));
        }
    }
    return worst;
}

// Largest deviation of V^T V from the identity.
double orthogonalityError(Matrix& v) {
    double worst = 0.0;
    for (int i = 1; i <= v.cols; ++i) {
        for (int j = 1; j <= v.cols; ++j) {
            double dot = 0.0;
            for (int k = 1; k <= v.rows; ++k) {
                dot += v.at(k, i) * v.at(k, j);
            }
            worst = std::max(worst, std::fabs(dot - (i == j ? 1.0 : 0.0)));
        }
    }
    return worst;
}

}  // namespace

TEST(Hypotenuse, ExactCasesAndNoOverflowOrUnderflow) {
    EXPECT_EQ(hypotenuse(0.0, 0.0), 0.0);
    EXPECT_DOUBLE_EQ(hypotenuse(3.0, -4.0), 5.0);
    EXPECT_DOUBLE_EQ(hypotenuse(-4.0, 3.0), 5.0);
    EXPECT_EQ(hypotenuse(0.0, -7.0), 7.0);
    EXPECT_EQ(hypotenuse(-7.0, 0.0), 7.0);
    const double big = hypotenuse(1e200, 1e200);
    EXPECT_TRUE(std::isfinite(big));
    EXPECT_NEAR(big / 1e200, std::sqrt(2.0), 1e-15);
    EXPECT_NEAR(hypotenuse(1e-200, 1e-200) / 1e-200, std::sqrt(2.0), 1e-15);
}

TEST(Vector, OneBasedRangeIsWritableAndReleasable) {
    double* p = vector(1, 50);
    for (int i = 1; i <= 50; ++i) {
        p[i] = i;
    }
    EXPECT_EQ(p[1] + p[50], 51.0);
    releaseVector(p, 1);
    double* empty = vector(1, 0);  // no rows: still a pointer that can be released
    EXPECT_NE(empty, nullptr);
    releaseVector(empty, 1);
}

TEST(NumericsError, PrintsThreeLinesAndExitsWithOne) {
    EXPECT_EXIT(numericsError("a message"), testing::ExitedWithCode(1),
                "^Numerical Recipes run-time error\\.\\.\\.\na message\n\\.\\.\\.now exiting to "
                "system\\.\\.\\.\n$");
}

TEST(Svdcmp, NoRowsGivesZeroValuesIdentityVAndZeroSolution) {
    Matrix a(0, 4);
    Decomposition d(a);
    for (int j = 1; j <= 4; ++j) {
        EXPECT_EQ(d.w[static_cast<std::size_t>(j)], 0.0);
        for (int k = 1; k <= 4; ++k) {
            EXPECT_EQ(d.v.at(j, k), j == k ? 1.0 : 0.0);
        }
    }
    std::vector<double> b(1, 0.0);
    std::vector<double> x(5, 99.0);
    svdSolve(d.u.data(), d.w.data(), d.v.data(), 0, 4, b.data(), x.data());
    for (int j = 1; j <= 4; ++j) {
        EXPECT_EQ(x[static_cast<std::size_t>(j)], 0.0);
    }
}

TEST(Svdcmp, DiagonalWithNegativeEntryMovesTheSignIntoV) {
    Matrix a(3, 3);
    a.at(1, 1) = 3.0;
    a.at(2, 2) = -2.0;
    a.at(3, 3) = 5.0;
    Decomposition d(a);
    std::vector<double> values(d.w.begin() + 1, d.w.end());
    std::sort(values.begin(), values.end());
    EXPECT_NEAR(values[0], 2.0, 1e-14);
    EXPECT_NEAR(values[1], 3.0, 1e-14);
    EXPECT_NEAR(values[2], 5.0, 1e-14);
    for (int j = 1; j <= 3; ++j) {
        if (std::fabs(d.w[static_cast<std::size_t>(j)] - 2.0) < 1e-9) {
            // The singular value is positive, so U and V disagree in sign on that axis.
            EXPECT_NEAR(d.u.at(2, j) * d.v.at(2, j), -1.0, 1e-14);
        }
    }
    EXPECT_LT(reconstructionError(a, d), 1e-14);
}

TEST(Svdcmp, RandomMatricesOfEveryShapeTheFitUsesReconstruct) {
    std::mt19937 rng(7);
    for (int rows = 1; rows <= 50; ++rows) {
        Matrix a = randomMatrix(rows, 4, rng);
        Decomposition d(a);
        SCOPED_TRACE(rows);
        for (int j = 1; j <= 4; ++j) {
            EXPECT_GE(d.w[static_cast<std::size_t>(j)], 0.0);
        }
        EXPECT_LT(reconstructionError(a, d), 1e-12);
        EXPECT_LT(orthogonalityError(d.v), 1e-13);
        if (rows >= 4) {
            EXPECT_LT(orthogonalityError(d.u), 1e-13);
        }
    }
    for (int n : {1, 2, 6, 9}) {
        Matrix a = randomMatrix(n + 3, n, rng);
        Decomposition d(a);
        EXPECT_LT(reconstructionError(a, d), 1e-12) << n;
    }
}

TEST(Svdcmp, FewerRowsThanColumnsHaveZeroValuesAndSolveConsistentSystems) {
    std::mt19937 rng(11);
    for (int rows = 1; rows <= 3; ++rows) {
        Matrix a = randomMatrix(rows, 4, rng);
        Decomposition d(a);
        SCOPED_TRACE(rows);
        std::vector<double> values(d.w.begin() + 1, d.w.end());
        std::sort(values.begin(), values.end());
        for (int k = 0; k < 4 - rows; ++k) {
            EXPECT_LT(values[static_cast<std::size_t>(k)], 1e-12 * values.back());
        }
        EXPECT_LT(reconstructionError(a, d), 1e-12);
        std::vector<double> b(static_cast<std::size_t>(rows) + 1, 0.0);
        for (int i = 1; i <= rows; ++i) {
            b[static_cast<std::size_t>(i)] = 2.0 * i - 3.0;
        }
        std::vector<double> x(5, 0.0);
        svdSolve(d.u.data(), d.w.data(), d.v.data(), rows, 4, b.data(), x.data());
        for (int i = 1; i <= rows; ++i) {
            double ax = 0.0;
            for (int j = 1; j <= 4; ++j) {
                ax += a.at(i, j) * x[static_cast<std::size_t>(j)];
            }
            EXPECT_NEAR(ax, b[static_cast<std::size_t>(i)], 1e-9);
        }
    }
}

TEST(SvdSolve, FullRankSystemsReturnTheExactSolution) {
    std::mt19937 rng(3);
    for (int rows : {4, 5, 50}) {
        Matrix a = randomMatrix(rows, 4, rng);
        const double expected[5] = {0.0, 1.5, -2.0, 0.25, 4.0};
        std::vector<double> b(static_cast<std::size_t>(rows) + 1, 0.0);
        for (int i = 1; i <= rows; ++i) {
            for (int j = 1; j <= 4; ++j) {
                b[static_cast<std::size_t>(i)] += a.at(i, j) * expected[j];
            }
        }
        Decomposition d(a);
        std::vector<double> x(5, 0.0);
        svdSolve(d.u.data(), d.w.data(), d.v.data(), rows, 4, b.data(), x.data());
        for (int j = 1; j <= 4; ++j) {
            EXPECT_NEAR(x[static_cast<std::size_t>(j)], expected[j], 1e-12) << rows;
        }
    }
}

TEST(SvdSolve, RankDeficientSystemGivesTheMinimumNormSolution) {
    // Two identical columns: x1 + x2 = 2 has the minimum-norm solution (1, 1).
    Matrix a(3, 2);
    for (int i = 1; i <= 3; ++i) {
        a.at(i, 1) = 1.0;
        a.at(i, 2) = 1.0;
    }
    Decomposition d(a);
    std::vector<double> b = {0.0, 2.0, 2.0, 2.0};
    std::vector<double> x(3, 0.0);
    // Zeroing the tiny value as a careful caller would; the routine itself only skips exact 0.
    for (double& value : d.w) {
        if (std::fabs(value) < 1e-12) {
            value = 0.0;
        }
    }
    svdSolve(d.u.data(), d.w.data(), d.v.data(), 3, 2, b.data(), x.data());
    EXPECT_NEAR(x[1], 1.0, 1e-12);
    EXPECT_NEAR(x[2], 1.0, 1e-12);

    // Only an exact 0 is skipped: a tiny singular value is divided by, however large the result.
    Matrix identity(2, 2);
    identity.at(1, 1) = 1.0;
    identity.at(2, 2) = 1.0;
    std::vector<double> tiny = {0.0, 1.0, 1e-30};
    std::vector<double> ones = {0.0, 1.0, 1.0};
    svdSolve(identity.data(), tiny.data(), identity.data(), 2, 2, ones.data(), x.data());
    EXPECT_EQ(x[1], 1.0);
    EXPECT_DOUBLE_EQ(x[2], 1e30);
    tiny[2] = 0.0;
    svdSolve(identity.data(), tiny.data(), identity.data(), 2, 2, ones.data(), x.data());
    EXPECT_EQ(x[2], 0.0);
}

TEST(Svdcmp, NonFiniteInputFailsWithoutEndingTheProcessUnlessAskedTo) {
    Matrix a(5, 4);
    for (int i = 1; i <= 5; ++i) {
        for (int j = 1; j <= 4; ++j) {
            a.at(i, j) = i + j;
        }
    }
    a.at(3, 2) = std::numeric_limits<double>::quiet_NaN();
    Matrix copy = a;
    Matrix v(4, 4);
    std::vector<double> w(5, 0.0);
    EXPECT_EQ(svdDecompose(copy.data(), 5, 4, w.data(), v.data()), 0);
    EXPECT_EXIT({ Decomposition d(a); }, testing::ExitedWithCode(1),
                "no convergence in 50 svdcmp iterations");
}
