#include "document/time_warp.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

std::vector<double> localStretch(const std::vector<double>& captured,
                                 const std::vector<double>& edited, int window, double still) {
    const std::size_t n = std::min(captured.size(), edited.size());
    // Running sums, so that every window costs two subtractions.
    std::vector<double> sumCaptured(n + 1, 0.0);
    std::vector<double> sumEdited(n + 1, 0.0);
    for (std::size_t i = 0; i < n; ++i) {
        sumCaptured[i + 1] = sumCaptured[i] + captured[i];
        sumEdited[i + 1] = sumEdited[i] + edited[i];
    }
    const double frames = std::max(window, 1);
    // The stretch over `span` captured steps centred on step i, with the standing travel taken
    // over as many.
    const auto over = [&](std::size_t i, double span) {
        const std::size_t half = static_cast<std::size_t>(std::max(span, 1.0) / 2.0);
        const std::size_t first = i >= half ? i - half : 0;
        const std::size_t last = std::min(n, i + half + 1);
        const double c = sumCaptured[last] - sumCaptured[first];
        const double e = sumEdited[last] - sumEdited[first];
        const double standing = still * static_cast<double>(last - first) / frames;
        if (!(c > 0.0) || !std::isfinite(e)) {
            return 1.0;
        }
        // The weight of the pace: 1 while walking, falling smoothly to 0 as the travel goes
        // below the standing travel, so a pause's start and end change the pace gradually.
        const double weight = c * c / (c * c + standing * standing);
        return 1.0 + weight * (e / c - 1.0);
    };
    std::vector<double> stretch(n, 1.0);
    for (std::size_t i = 0; i < n; ++i) {
        // The window is the retimed motion's: a step stretched threefold takes a third as many
        // captured steps, so that a short, sharp bend is not spread over its surroundings.
        const double first = std::clamp(over(i, frames), kShortestStep, kLongestStep);
        const double s = over(i, frames / first);
        stretch[i] = std::fabs(s - 1.0) < 1e-4 ? 1.0 : s;
    }
    return stretch;
}

std::vector<double> boundedStretch(const std::vector<double>& stretch) {
    std::vector<double> bounded(stretch.size());
    for (std::size_t i = 0; i < stretch.size(); ++i) {
        bounded[i] = std::clamp(stretch[i], kShortestStep, kLongestStep);
    }
    return bounded;
}

std::vector<double> warpedTimes(const std::vector<double>& stretch) {
    const std::size_t steps = stretch.size();
    // When each step starts in the retimed motion.
    std::vector<double> start(steps + 1, 0.0);
    for (std::size_t i = 0; i < steps; ++i) {
        start[i + 1] = start[i] + stretch[i];
    }
    const double duration = start[steps];
    const std::size_t frames =
        steps == 0 ? 1 : std::max<std::size_t>(2, std::llround(duration) + 1);
    std::vector<double> times(frames, 0.0);
    std::size_t i = 0;
    for (std::size_t k = 1; k < frames; ++k) {
        const double at = static_cast<double>(k) * duration / static_cast<double>(frames - 1);
        while (i + 1 < steps && start[i + 1] <= at) {
            ++i;
        }
        const double into = (at - start[i]) / stretch[i];
        times[k] = std::min(static_cast<double>(i) + std::clamp(into, 0.0, 1.0),
                            static_cast<double>(steps));
    }
    times.back() = static_cast<double>(steps);
    return times;
}

std::vector<float> speedRatios(const std::vector<double>& stretch,
                               const std::vector<double>* timed) {
    std::vector<float> ratios(stretch.size() + 1, 1.0f);
    for (std::size_t f = 0; f < ratios.size() && !stretch.empty(); ++f) {
        const std::size_t i = std::min(f, stretch.size() - 1);
        const double lasts = timed != nullptr && i < timed->size() ? (*timed)[i] : 1.0;
        ratios[f] = static_cast<float>(stretch[i] / lasts);
    }
    return ratios;
}

double capturedTimeAt(const std::vector<double>* times, int frame) {
    if (times == nullptr || times->empty()) {
        return frame;
    }
    const int last = static_cast<int>(times->size()) - 1;
    return (*times)[static_cast<std::size_t>(std::clamp(frame, 0, last))];
}

int frameNearest(const std::vector<double>* times, int capturedCount, double captured) {
    if (times == nullptr || times->empty()) {
        return static_cast<int>(std::clamp(std::lround(captured), 0L,
                                           static_cast<long>(std::max(capturedCount - 1, 0))));
    }
    const auto after = std::lower_bound(times->begin(), times->end(), captured);
    if (after == times->begin()) {
        return 0;
    }
    if (after == times->end()) {
        return static_cast<int>(times->size()) - 1;
    }
    const auto before = after - 1;
    return static_cast<int>((captured - *before <= *after - captured ? before : after) -
                            times->begin());
}
