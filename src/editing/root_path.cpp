#include "editing/root_path.h"

namespace {
constexpr std::size_t kInitialSampleCapacity = 100;
}

RootPath::RootPath() {
    sampleX_.reserve(kInitialSampleCapacity);
    sampleZ_.reserve(kInitialSampleCapacity);
}

RootPath::~RootPath() = default;

int RootPath::appendSample(float x, float /*y*/, float z) {
    if (sampleX_.size() == sampleX_.capacity()) {
        sampleX_.reserve(sampleX_.capacity() * 2);
        sampleZ_.reserve(sampleX_.capacity());
    }
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
