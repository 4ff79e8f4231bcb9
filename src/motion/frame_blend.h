#pragma once

#include <array>
#include <vector>

#include "motion/motion.h"
#include "motion/quaternion.h"

// Moments between two captured frames, as the retimed motion poses and saves them: each joint's
// rotation channels blended as one rotation (slerp) and written back as angles in the joint's
// own order, nearest to the nearer frame's angles so that they run on as the file's do; its
// position channels blended linearly. A joint whose rotation channels do not name three
// different axes has its angles blended linearly, which is exact for one channel. The two rows'
// rotations are worked out once for every moment between them.
class RowBlender {
  public:
    explicit RowBlender(const Motion& motion);

    // The two rows the moments lie between; they must stay as they are while blend is called.
    void setRows(const float* a, const float* b);
    // The row `share` of the way from a to b (share 0 gives a, 1 gives b) into out, which has a
    // value for every column and may not be a or b.
    void blend(double share, float* out) const;

  private:
    // A joint's three rotation channels about three different axes: their columns and axes,
    // and the rotations they give in the two rows.
    struct Turning {
        std::array<int, 3> columns{};
        RotationOrder axes{};
        Quat a;
        Quat b;
    };

    int width_ = 0;
    std::vector<Turning> turning_;
    const float* a_ = nullptr;
    const float* b_ = nullptr;
};

// The rigid transform `share` of the way from a to b: the rotation by slerp, the translation
// linearly.
Transform blendTransforms(const Transform& a, const Transform& b, double share);
