#include "motion/motion.h"

#include <cfloat>

Bounds resetBounds() {
    return {-FLT_MAX, FLT_MAX, -FLT_MAX, FLT_MAX, -FLT_MAX, FLT_MAX};
}

Motion::Motion() : motionBounds(resetBounds()), poseBounds(resetBounds()) {}

Motion::~Motion() = default;

int Motion::frameCount() const {
    return frames ? frames->frameCount() : 0;
}

float Motion::frameTime() const {
    return frames ? frames->frameTime() : 0.0f;
}

float Motion::bound(int i) const {
    if (i < 0 || i > 5) {
        return 0.0f;
    }
    return motionBounds[static_cast<std::size_t>(i)];
}

void Motion::setSkeleton(std::unique_ptr<Joint> newRoot, std::unique_ptr<FrameTable> newFrames) {
    root = std::move(newRoot);
    frames = std::move(newFrames);
    joints_.clear();
    parentIndex_.clear();
    firstColumn_.clear();
    channelSteps_.clear();
    stepStart_.clear();
    poseTransforms.clear();
    rootRelativeXZ.clear();
    channelTotal_ = 0;
    // What was derived from the previous skeleton describes it, not the new one.
    pathOffsetX.clear();
    pathOffsetZ.clear();
    pathTangentX.clear();
    pathTangentZ.clear();
    rootPath.reset();
    motionBounds = resetBounds();
    poseBounds = resetBounds();
    height = width = depth = 0.0f;
    markerRadius = 1.0f;
    markerSized = false;
    currentFrame = 0;
    // Walked with an explicit ancestor stack: a hostile file can nest thousands deep and hang
    // hundreds of thousands of joints side by side.
    std::vector<int> ancestors;
    Joint* node = root.get();
    while (node != nullptr) {
        const int index = static_cast<int>(joints_.size());
        joints_.push_back(node);
        parentIndex_.push_back(ancestors.empty() ? -1 : ancestors.back());
        firstColumn_.push_back(channelTotal_);
        channelTotal_ += node->channelCount();
        if (node->firstChild() != nullptr) {
            ancestors.push_back(index);
            node = node->firstChild();
            continue;
        }
        for (;;) {
            if (node->nextSibling() != nullptr) {
                node = node->nextSibling();
                break;
            }
            if (ancestors.empty()) {
                node = nullptr;
                break;
            }
            node = joints_[static_cast<std::size_t>(ancestors.back())];
            ancestors.pop_back();
        }
    }
    poseTransforms.resize(joints_.size());
    for (std::size_t j = 0; j < joints_.size(); ++j) {
        stepStart_.push_back(static_cast<int>(channelSteps_.size()));
        const Joint& joint = *joints_[j];
        for (int pass = 0; pass < 2; ++pass) {
            for (int i = 0; i < joint.channelCount(); ++i) {
                const ChannelType type = joint.channel(i);
                if ((type >= Xrotation) == (pass == 1)) {
                    channelSteps_.push_back({firstColumn_[j] + i, type});
                }
            }
        }
    }
    stepStart_.push_back(static_cast<int>(channelSteps_.size()));
}

bool Motion::poseable() const {
    return root != nullptr && frames != nullptr && frames->frameCount() > 0 &&
           frames->channelCount() == channelTotal_ &&
           frames->values().size() == static_cast<std::size_t>(frames->frameCount()) *
                                          static_cast<std::size_t>(channelTotal_) &&
           !joints_.empty() && joints_.front() == root.get();
}

bool Motion::hasBaseline() const {
    const std::size_t n = static_cast<std::size_t>(frameCount());
    return rootPath != nullptr && rootPath->curve() != nullptr && pathOffsetX.size() == n &&
           pathOffsetZ.size() == n && pathTangentX.size() == n && pathTangentZ.size() == n;
}
