#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>

#include "editing/control_curve.h"
#include "editing/root_path.h"

namespace {

constexpr int kHourAt120Fps = 432000;

// A deterministic wandering ground track: a walk with slowly turning heading and some sway.
std::unique_ptr<RootPath> hourLongTrack() {
    auto path = std::make_unique<RootPath>();
    double x = 0.0;
    double z = 0.0;
    for (int i = 0; i < kHourAt120Fps; ++i) {
        const double heading = 0.3 * std::sin(i * 0.0007) + 0.1 * std::sin(i * 0.00013);
        x += 0.12 * std::cos(heading);
        z += 0.12 * std::sin(heading);
        const double sway = 0.02 * std::sin(i * 0.11);
        path->appendSample(static_cast<float>(x + sway), 90.0f, static_cast<float>(z - sway));
    }
    return path;
}

std::unique_ptr<ControlCurve> curveOf(int points) {
    auto curve = std::make_unique<ControlCurve>();
    for (int i = 0; i < points; ++i) {
        curve->setPoint({i * 1.5, 3.0 * std::sin(i * 0.4)}, i);
    }
    curve->useCatmullRom();
    return curve;
}

// One evaluate and one forwardVector at t, then t moves on as the curve's drawing sweeps it.
void evaluateStep(const ControlCurve& curve, double& t) {
    CurvePoint p;
    CurvePoint v;
    curve.evaluate(t, p);
    curve.forwardVector(t, v);
    benchmark::DoNotOptimize(p);
    benchmark::DoNotOptimize(v);
    t += 0.0005;
    if (t >= 1.0) {
        t = 0.0;
    }
}

void BM_FitHour(benchmark::State& state) {
    const std::unique_ptr<RootPath> track = hourLongTrack();
    for (auto _ : state) {
        track->fitCurve();
        benchmark::DoNotOptimize(track->curve());
    }
}
BENCHMARK(BM_FitHour)->Unit(benchmark::kMillisecond)->Iterations(5);

// One evaluate and one forwardVector per call, sweeping t the way the curve is drawn.
void BM_EvaluateForward(benchmark::State& state) {
    const std::unique_ptr<ControlCurve> curve = curveOf(static_cast<int>(state.range(0)));
    double t = 0.0;
    for (auto _ : state) {
        evaluateStep(*curve, t);
    }
}
BENCHMARK(BM_EvaluateForward)->Arg(10)->Arg(10000);

// The summary figures, measured directly so they do not depend on the reporter's format: the
// best of a few runs, as the machine is shared.
double fitMilliseconds() {
    const std::unique_ptr<RootPath> track = hourLongTrack();
    double best = 1e30;
    for (int run = 0; run < 5; ++run) {
        const auto start = std::chrono::steady_clock::now();
        track->fitCurve();
        const auto end = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(track->curve());
        best = std::min(best, std::chrono::duration<double, std::milli>(end - start).count());
    }
    return best;
}

double evaluateNanoseconds(int points) {
    const std::unique_ptr<ControlCurve> curve = curveOf(points);
    constexpr int kCalls = 2000000;
    double best = 1e30;
    for (int run = 0; run < 5; ++run) {
        double t = 0.0;
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kCalls; ++i) {
            evaluateStep(*curve, t);
        }
        const auto end = std::chrono::steady_clock::now();
        best =
            std::min(best, std::chrono::duration<double, std::nano>(end - start).count() / kCalls);
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("summary fit_432k_ms: %.1f\n", fitMilliseconds());
    const double small = evaluateNanoseconds(10);
    const double large = evaluateNanoseconds(10000);
    std::printf("summary evaluate_ns_10pts: %.1f\n", small);
    std::printf("summary evaluate_ns_10000pts: %.1f\n", large);
    return 0;
}
