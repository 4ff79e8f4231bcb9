#include "editing/root_path.h"

RootPath::RootPath() = default;

RootPath::~RootPath() = default;

int RootPath::appendSample(float x, float /*y*/, float z) {
    sampleX_.push_back(x);
    sampleZ_.push_back(z);
    return 1;
}

void RootPath::setHeight(float height) {
    height_ = height;
    if (curve_) {
        curve_->setHeight(height);
    }
}

void RootPath::setBlockLength(int frames) {
    blockLength_ = frames < kShortestBlock ? kShortestBlock : frames;
}
