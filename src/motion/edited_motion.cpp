#include "motion/edited_motion.h"

#include <cmath>

namespace {

// Captured frame and share of the way to the next of a moment; frame -1 for a frame outside
// the timing.
struct Moment {
    int frame = -1;
    double share = 0.0;
};

Moment momentOf(const EditedMotion& edited, int frame) {
    if (frame < 0 || frame >= edited.frameCount()) {
        return Moment{};
    }
    const double at = edited.capturedTime(frame);
    Moment m;
    m.frame = static_cast<int>(std::floor(at));
    m.share = at - m.frame;
    return m;
}

}  // namespace

double EditedMotion::capturedTime(int frame) const {
    if (times == nullptr || frame < 0 || frame >= frameCount()) {
        return frame;
    }
    return (*times)[static_cast<std::size_t>(frame)];
}

int EditedMotion::capturedFrame(int frame) const {
    return static_cast<int>(std::lround(capturedTime(frame)));
}

bool EditedMotion::pose(int frame, PosePass pass, Pose& pose) const {
    RootPlacement storage;
    if (times == nullptr || !isEditedPass(pass)) {
        return poseFrame(motion, frame, pass,
                         isEditedPass(pass) ? placement(frame, storage) : nullptr, legs, pose);
    }
    const Moment m = momentOf(*this, frame);
    RootPlacement next;
    return poseBetween(motion, m.frame, m.share, pass, placement(m.frame, storage),
                       m.share > 0.0 ? placement(m.frame + 1, next) : nullptr, legs, pose);
}

bool EditedMotion::poseSome(int frame, PosePass pass, const std::vector<int>& joints,
                            Pose& pose) const {
    RootPlacement storage;
    if (times == nullptr || !isEditedPass(pass)) {
        return ::poseSome(motion, frame, pass,
                          isEditedPass(pass) ? placement(frame, storage) : nullptr, legs, joints,
                          pose);
    }
    const Moment m = momentOf(*this, frame);
    RootPlacement next;
    return poseSomeBetween(motion, m.frame, m.share, pass, placement(m.frame, storage),
                           m.share > 0.0 ? placement(m.frame + 1, next) : nullptr, legs, joints,
                           pose);
}
