#include "motion/frame_table.h"

#include <utility>

void FrameTable::set(int frameCount, float frameTime, std::vector<float> values) {
    frameCount_ = frameCount;
    frameTime_ = frameTime;
    values_ = std::move(values);
}
