#include "motion/motion.h"

#include <cfloat>

Bounds resetBounds() {
    return {-FLT_MAX, FLT_MAX, -FLT_MAX, FLT_MAX, -FLT_MAX, FLT_MAX};
}

Motion::Motion() : motionBounds_(resetBounds()) {}

Motion::~Motion() = default;
Motion::Motion(Motion&&) noexcept = default;
Motion& Motion::operator=(Motion&&) noexcept = default;

int Motion::frameCount() const {
    return frames_ ? frames_->frameCount() : 0;
}

float Motion::frameTime() const {
    return frames_ ? frames_->frameTime() : 0.0f;
}

float Motion::bound(int i) const {
    if (i < 0 || i > 5) {
        return 0.0f;
    }
    return motionBounds_[static_cast<std::size_t>(i)];
}

void Motion::setSkeleton(std::unique_ptr<Joint> newRoot, std::unique_ptr<FrameTable> newFrames) {
    root_ = std::move(newRoot);
    frames_ = std::move(newFrames);
    joints_.clear();
    parentIndex_.clear();
    firstColumn_.clear();
    channelSteps_.clear();
    stepStart_.clear();
    rootRelativeXZ_.clear();
    channelTotal_ = 0;
    // What was derived from the previous skeleton describes it, not the new one.
    motionBounds_ = resetBounds();
    height_ = width_ = depth_ = 0.0f;
    markerRadius_ = 1.0f;
    rootTrackX_.clear();
    rootTrackZ_.clear();
    groundBlocks_.clear();
    // Walked with an explicit ancestor stack: a hostile file can nest thousands deep and hang
    // hundreds of thousands of joints side by side.
    std::vector<int> ancestors;
    Joint* node = root_.get();
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
    splitRigidClouds(joints_, parentIndex_, rigidClouds_, posedJoints_);
    setReading(UpAxis::Y, PositionChannels::OffsetPlusValue);
}

bool Motion::poseable() const {
    return root_ != nullptr && frames_ != nullptr && frames_->frameCount() > 0 &&
           frames_->channelCount() == channelTotal_ &&
           frames_->values().size() == static_cast<std::size_t>(frames_->frameCount()) *
                                           static_cast<std::size_t>(channelTotal_) &&
           !joints_.empty() && joints_.front() == root_.get();
}

void Motion::setReading(UpAxis upAxis, PositionChannels positionChannels) {
    upAxis_ = upAxis;
    positionChannels_ = positionChannels;
    baseOffsets_.resize(joints_.size());
    for (std::size_t j = 0; j < joints_.size(); ++j) {
        const Joint& joint = *joints_[j];
        std::array<float, 3> offset = joint.offset();
        if (parentIndex_[j] >= 0 && positionChannels == PositionChannels::ValueReplacesOffset) {
            for (ChannelType type : joint.channels()) {
                if (type <= Zposition) {
                    offset[static_cast<std::size_t>(type)] = 0.0f;
                }
            }
        }
        baseOffsets_[j] = offset;
    }
}
