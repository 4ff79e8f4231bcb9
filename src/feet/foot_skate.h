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
// reference's contact frames (a retimed edit's frames over those of the captured frames they
// show); 0 where there are none. The motion must have the reference's
// frames and skeleton (the same file, edited or saved). pairs, when given, receives the number
// of joint-frame pairs averaged.
double footSkate(const EditedMotion& motion, const SkateReference& reference, bool edited,
                 int* pairs = nullptr);

// Neighbouring frames whose edited knee angle (between thigh and shin) changes by 20 degrees or
// more where the captured one changes by less than 5: the knee flipping to another solution.
int kneeFlips(const EditedMotion& motion, const std::vector<LegChain>& legs);

// How the knees turn against the feet: per leg and frame, the angle in the ground plane from the
// normal of the hip-knee-ankle plane to the ankle-to-toe direction, edited against captured at
// the same frame. Frames where either knee bends by less than 5 degrees (the plane is not
// defined) or either direction stands nearly upright are left out, as are legs without a toe.
struct KneeFootTwist {
    double most = 0.0;    // degrees, the largest difference over the frames measured
    int worstFrame = -1;  // where it is (-1: no frame measured)
    int backward = 0;     // frames of a leg whose knee bends against the side the capture's
                          // bends towards the foot (a difference beyond 90 degrees)
    int measured = 0;     // leg-frames measured
};
KneeFootTwist kneeFootTwist(const EditedMotion& motion, const std::vector<LegChain>& legs);

// How far, in figure heights, the lowest foot joint of any edited frame goes below the lowest
// height the capture's feet reach in any frame; 0 where none goes below it.
double footBelowGround(const EditedMotion& motion, const std::vector<LegChain>& legs);
