#pragma once

#include <cstdint>
#include <vector>

#include "feet/foot_contacts.h"
#include "motion/edited_motion.h"

// Foot skate, the measure of how much feet slide while they carry the weight: each ankle and toe
// joint counts as in contact on a frame of the unedited motion when it is within 6% of the
// figure's height of its own lowest point and moves slower than 15% of that height per second;
// the skate is the mean speed in the ground plane of those joints over pairs of neighbouring
// contact frames, in figure heights per second.
struct SkateReference {
    std::vector<int> joints;                         // ankles and toes, joints() order
    std::vector<std::vector<std::uint8_t>> contact;  // per joint, per frame: 1 in contact
    double height = 1.0;                             // the figure's height (display units)
    double frameTime = 1.0 / 30.0;                   // seconds
    int frameCount = 0;
};

// The contact frames of the legs' ankles and toes, on the motion as the file gives it.
SkateReference skateReference(const Motion& motion, const std::vector<LegChain>& legs);

// The skate of the motion (its edited poses when `edited`, else as the file gives it) over the
// reference's contact frames; 0 where there are none. The motion must have the reference's
// frames and skeleton (the same file, edited or saved). pairs, when given, receives the number
// of joint-frame pairs averaged.
double footSkate(const EditedMotion& motion, const SkateReference& reference, bool edited,
                 int* pairs = nullptr);

// Neighbouring frames whose edited knee angle (between thigh and shin) changes by 20 degrees or
// more where the captured one changes by less than 5: the knee flipping to another solution.
int kneeFlips(const EditedMotion& motion, const std::vector<LegChain>& legs);
