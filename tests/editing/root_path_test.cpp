#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "editing/root_path.h"
#include "numeric/svd_solve.h"
#include "numeric/svdcmp.h"

namespace {

RootPath pathOf(const std::vector<float>& xs, const std::vector<float>& zs) {
    RootPath path;
    for (std::size_t i = 0; i < xs.size(); ++i) {
        path.appendSample(xs[i], 100.0f, zs[i]);
    }
    return path;
}

// Every control point is finite and within the samples' z range widened by that range (or 1).
void expectPointsNearSamples(const RootPath& path) {
    const ControlCurve* curve = path.curve();
    ASSERT_NE(curve, nullptr);
    ASSERT_GE(curve->pointCount(), 3);
    float zMin = path.sampleZ(0);
    float zMax = zMin;
    for (int i = 0; i < path.sampleCount(); ++i) {
        zMin = std::min(zMin, path.sampleZ(i));
        zMax = std::max(zMax, path.sampleZ(i));
    }
    const double margin = zMax > zMin ? zMax - zMin : 1.0;
    for (int k = 0; k < curve->pointCount(); ++k) {
        CurvePoint p;
        curve->getPoint(k, p);
        EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.z)) << k;
        EXPECT_GE(p.z, zMin - margin) << k;
        EXPECT_LE(p.z, zMax + margin) << k;
    }
}

// A cubic per block, so each block's fit is known exactly.
double blockCubic(int block, double x) {
    return 0.5 * block + 0.1 * x - 0.002 * x * x + 0.00001 * x * x * x;
}

}  // namespace

TEST(RootPath, SamplesKeepTheirValuesAsTheyGrow) {
    RootPath path;
    for (int i = 0; i < 101; ++i) {
        EXPECT_EQ(path.appendSample(i * 0.5f, 7.0f, -i * 1.0f), 1);
    }
    EXPECT_EQ(path.sampleCount(), 101);
    for (int i = 0; i < 101; ++i) {
        EXPECT_EQ(path.sampleX(i), i * 0.5f);
        EXPECT_EQ(path.sampleZ(i), -i * 1.0f);
    }
}

TEST(RootPath, FitPlacesOnePointPerBlockOnTheBlocksCubic) {
    std::vector<float> xs;
    std::vector<float> zs;
    for (int i = 0; i < 120; ++i) {
        xs.push_back(static_cast<float>(i));
        zs.push_back(static_cast<float>(blockCubic(i / 50, i)));
    }
    RootPath path = pathOf(xs, zs);
    path.setHeight(4.5f);
    path.fitCurve();
    const ControlCurve* curve = path.curve();
    ASSERT_NE(curve, nullptr);
    ASSERT_EQ(curve->pointCount(), 5);
    ASSERT_EQ(path.fittedX().size(), 5u);
    const int middles[] = {0, 24, 74, 109, 119};
    for (int k = 0; k < 5; ++k) {
        const int sample = middles[k];
        EXPECT_EQ(path.fittedX()[static_cast<std::size_t>(k)],
                  xs[static_cast<std::size_t>(sample)]);
        // The samples are floats, so the cubic is only met to float precision.
        const double expected =
            k == 0 || k == 4 ? zs[static_cast<std::size_t>(sample)] : blockCubic(k - 1, sample);
        EXPECT_NEAR(path.fittedZ()[static_cast<std::size_t>(k)], expected, 1e-5) << k;
        CurvePoint p;
        curve->getPoint(k, p);
        EXPECT_EQ(p.x, path.fittedX()[static_cast<std::size_t>(k)]);
        EXPECT_EQ(p.z, path.fittedZ()[static_cast<std::size_t>(k)]);
    }
    EXPECT_EQ(curve->height(), 4.5f);
    path.setHeight(3.0f);
    EXPECT_EQ(path.curve()->height(), 3.0f);
    // Catmull-Rom: the curve runs through the end samples.
    CurvePoint end;
    path.curve()->evaluate(1.0, end);
    EXPECT_DOUBLE_EQ(end.x, 119.0);
}

// A long track is fitted in two halves on two threads: every block still gets its own cubic,
// at its own place, the last (short) block included.
TEST(RootPath, LongTracksFitEveryBlockWhereverTheHalvesMeet) {
    const int count = 300 * 50 + 37;
    std::vector<float> xs;
    std::vector<float> zs;
    for (int i = 0; i < count; ++i) {
        const int local = i % 50;
        xs.push_back(static_cast<float>(local));
        zs.push_back(static_cast<float>(blockCubic(i / 50, local)));
    }
    RootPath path = pathOf(xs, zs);
    path.fitCurve();
    ASSERT_EQ(path.fittedZ().size(), 301u + 2u);
    for (int block = 0; block <= 300; ++block) {
        const int middle = block < 300 ? 24 : 18;
        EXPECT_NEAR(path.fittedZ()[static_cast<std::size_t>(block) + 1], blockCubic(block, middle),
                    1e-4)
            << block;
        EXPECT_EQ(path.fittedX()[static_cast<std::size_t>(block) + 1], middle) << block;
    }
}

TEST(RootPath, FitJustOutsideTheSampleRangeIsKept) {
    // Samples on a cubic give their own middle z back, so only data off every cubic tell a fit
    // from a copy of the middle sample. The residual of z = (0, 0, 0, 0, 1) at x = 0 ... 4 is
    // the degree-4 difference pattern (1, -4, 6, -4, 1) / 70, so the fit at x = 2 is -6/70:
    // below every sample, yet well inside the widened range, and kept.
    RootPath path = pathOf({0.0f, 1.0f, 2.0f, 3.0f, 4.0f}, {0.0f, 0.0f, 0.0f, 0.0f, 1.0f});
    path.fitCurve();
    ASSERT_EQ(path.fittedZ().size(), 3u);
    EXPECT_EQ(path.fittedX()[1], 2.0);
    EXPECT_NEAR(path.fittedZ()[1], -6.0 / 70.0, 1e-12);
}

TEST(RootPath, FrameParameterMatchesTheWorkedMappings) {
    RootPath path;
    EXPECT_EQ(path.blockLength(), 50);
    EXPECT_EQ(path.frameParameter(0, 120), 0.0);
    EXPECT_DOUBLE_EQ(path.frameParameter(25, 120), 0.25);
    EXPECT_DOUBLE_EQ(path.frameParameter(75, 120), 0.5);
    EXPECT_DOUBLE_EQ(path.frameParameter(110, 120), 0.75);
    EXPECT_DOUBLE_EQ(path.frameParameter(119, 120), 0.975);
    EXPECT_DOUBLE_EQ(path.frameParameter(125, 150), 0.75);
    EXPECT_GT(path.frameParameter(149, 150), path.frameParameter(140, 150));
    EXPECT_LT(path.frameParameter(149, 150), 1.0);
    EXPECT_DOUBLE_EQ(path.frameParameter(120, 140), 0.75);
    EXPECT_DOUBLE_EQ(path.frameParameter(139, 140), 0.9875);
    for (int a = 76; a < 140; ++a) {
        EXPECT_GT(path.frameParameter(a, 140), path.frameParameter(a - 1, 140)) << a;
    }
    // Out-of-range frames are held at the ends rather than mapped past them.
    EXPECT_EQ(path.frameParameter(-5, 120), 0.0);
    EXPECT_EQ(path.frameParameter(500, 120), path.frameParameter(119, 120));
    EXPECT_EQ(path.frameParameter(0, 0), 0.0);
}

TEST(RootPath, ShortMotionsMapThroughTheirMiddleSample) {
    RootPath path;
    EXPECT_EQ(path.frameParameter(0, 1), 0.0);
    EXPECT_EQ(path.frameParameter(0, 2), 0.0);
    EXPECT_GT(path.frameParameter(1, 2), 0.0);
    EXPECT_LT(path.frameParameter(1, 2), 1.0);
    for (int frames = 3; frames <= 50; ++frames) {
        SCOPED_TRACE(frames);
        EXPECT_EQ(path.frameParameter(0, frames), 0.0);
        EXPECT_EQ(path.frameParameter((frames - 1) / 2, frames), 0.5);
        EXPECT_LT(path.frameParameter(frames - 1, frames), 1.0);
    }
}

TEST(RootPath, FrameParameterIsMonotoneAndBelowOneForEveryLength) {
    RootPath path;
    for (int frames = 1; frames <= 420; ++frames) {
        double previous = -1.0;
        int bad = 0;
        for (int a = 0; a < frames; ++a) {
            const double t = path.frameParameter(a, frames);
            // Each frame also stays within one piece of its neighbour: no jump of a whole piece
            // (two frames have only two points to spread over three control points).
            const int blocks = (frames + 49) / 50;
            if (t < previous || t < 0.0 || t >= 1.0 ||
                (frames > 2 && previous >= 0.0 && t - previous > 1.0 / (blocks + 1))) {
                ++bad;
            }
            previous = t;
        }
        EXPECT_EQ(bad, 0) << frames << " frames";
    }
}

TEST(RootPath, DegenerateTracksFitWithoutEndingTheProcess) {
    // No samples: an empty curve, so callers that expect a curve find one with no points.
    RootPath empty;
    empty.fitCurve();
    ASSERT_NE(empty.curve(), nullptr);
    EXPECT_EQ(empty.curve()->pointCount(), 0);
    EXPECT_TRUE(empty.fittedX().empty());

    // One to three samples, and last blocks of one to three samples.
    for (int frames : {1, 2, 3, 4, 51, 52, 53, 101, 103}) {
        std::vector<float> xs;
        std::vector<float> zs;
        for (int i = 0; i < frames; ++i) {
            xs.push_back(3.0f + 0.7f * i);
            zs.push_back(-2.0f + 0.3f * i * i / 10.0f);
        }
        RootPath path = pathOf(xs, zs);
        path.fitCurve();
        SCOPED_TRACE(frames);
        expectPointsNearSamples(path);
    }
    // Identical samples, and a root walking straight along z (x never changes).
    for (int frames : {1, 7, 50, 200}) {
        RootPath still =
            pathOf(std::vector<float>(frames, 12.5f), std::vector<float>(frames, -4.0f));
        still.fitCurve();
        expectPointsNearSamples(still);
        std::vector<float> zs;
        for (int i = 0; i < frames; ++i) {
            zs.push_back(i * 1.5f);
        }
        RootPath alongZ = pathOf(std::vector<float>(frames, 1000.0f), zs);
        alongZ.fitCurve();
        expectPointsNearSamples(alongZ);
    }
}

TEST(RootPath, UnusableFitsFallBackToTheMiddleSample) {
    // A root inching along x at a large coordinate: the cubic's columns are nearly dependent.
    std::vector<float> xs;
    std::vector<float> zs;
    for (int i = 0; i < 50; ++i) {
        xs.push_back(20000.0f + 0.002f * static_cast<float>(i % 7));
        zs.push_back(std::sin(i * 0.9f) * 3.0f);
    }
    // The plain least-squares fit, as the decomposition gives it, lands far off the samples.
    std::vector<double> storage(51 * 5, 0.0);
    std::vector<double*> a(51);
    for (int i = 0; i <= 50; ++i) {
        a[static_cast<std::size_t>(i)] = &storage[static_cast<std::size_t>(i) * 5];
    }
    std::vector<double> b(51, 0.0);
    for (int j = 1; j <= 50; ++j) {
        for (int c = 0; c < 4; ++c) {
            a[static_cast<std::size_t>(j)][c + 1] = std::pow(static_cast<double>(xs[j - 1]), c);
        }
        b[static_cast<std::size_t>(j)] = zs[static_cast<std::size_t>(j - 1)];
    }
    std::vector<double> w(5, 0.0);
    std::vector<double> vStorage(25, 0.0);
    std::vector<double*> v(5);
    for (int i = 0; i < 5; ++i) {
        v[static_cast<std::size_t>(i)] = &vStorage[static_cast<std::size_t>(i) * 5];
    }
    svdcmp(a.data(), 50, 4, w.data(), v.data());
    std::vector<double> c(5, 0.0);
    svdSolve(a.data(), w.data(), v.data(), 50, 4, b.data(), c.data());
    const double xm = xs[24];
    const double raw = ((c[4] * xm + c[3]) * xm + c[2]) * xm + c[1];
    ASSERT_GT(std::fabs(raw), 9.0) << "the raw fit must be far off for this test to mean anything";

    RootPath path = pathOf(xs, zs);
    path.fitCurve();
    EXPECT_EQ(path.fittedZ()[1], static_cast<double>(zs[24]));

    // Non-finite samples cannot be fitted either; the fit still ends normally.
    xs[10] = std::numeric_limits<float>::infinity();
    zs[30] = std::numeric_limits<float>::quiet_NaN();
    RootPath broken = pathOf(xs, zs);
    broken.fitCurve();
    EXPECT_EQ(broken.fittedZ()[1], static_cast<double>(zs[24]));
}

TEST(RootPath, CurveOnASmoothTrackPassesItsPointsAndFollowsTheTrack) {
    std::mt19937 rng(2024);
    std::uniform_real_distribution<double> coefficient(-1.0, 1.0);
    for (int trial = 0; trial < 5; ++trial) {
        // A wandering ground track built from a few low-frequency sines, one sample per frame.
        const int frames = 300 + trial * 137;
        double ax[3];
        double az[3];
        for (int k = 0; k < 3; ++k) {
            ax[k] = coefficient(rng);
            az[k] = coefficient(rng);
        }
        RootPath path;
        for (int i = 0; i < frames; ++i) {
            const double s = i / 120.0;
            double x = 40.0 * s;
            double z = 0.0;
            for (int k = 0; k < 3; ++k) {
                x += 5.0 * ax[k] * std::sin((k + 1) * s);
                z += 20.0 * az[k] * std::cos((k + 1) * 0.7 * s);
            }
            path.appendSample(static_cast<float>(x), 0.0f, static_cast<float>(z));
        }
        path.fitCurve();
        const ControlCurve& curve = *path.curve();
        const int segments = curve.pointCount() - 1;
        SCOPED_TRACE(frames);
        for (int k = 0; k <= segments; ++k) {
            CurvePoint expected;
            curve.getPoint(k, expected);
            CurvePoint at;
            curve.evaluate(static_cast<double>(k) / segments, at);
            EXPECT_NEAR(at.x, expected.x, 1e-9);
            EXPECT_NEAR(at.z, expected.z, 1e-9);
        }
        double previous = 0.0;
        double worst = 0.0;
        for (int a = 0; a < frames; ++a) {
            const double t = path.frameParameter(a, frames);
            EXPECT_GE(t, previous);
            EXPECT_LT(t, 1.0);
            previous = t;
            CurvePoint at;
            curve.evaluate(t, at);
            worst = std::max(worst, std::hypot(at.x - path.sampleX(a), at.z - path.sampleZ(a)));
        }
        // The mapping puts each frame near its own sample on the curve (the track moves about
        // a third of a unit per frame, so being a few frames off shows as several units).
        EXPECT_LT(worst, 2.0);
    }
}
