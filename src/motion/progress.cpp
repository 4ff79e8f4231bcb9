#include "motion/progress.h"

#include <algorithm>

void Progress::report(double fraction) {
    fraction = std::clamp(fraction, 0.0, 1.0);
    if (fraction > fraction_.load(std::memory_order_relaxed))
        fraction_.store(fraction, std::memory_order_relaxed);
    if (listener_)
        listener_(this->fraction());
}

bool reportStage(Progress* progress, double from, double to, double done, double total) {
    if (progress == nullptr)
        return true;
    progress->report(from + (to - from) * (total > 0.0 ? done / total : 1.0));
    return !progress->cancelled();
}
