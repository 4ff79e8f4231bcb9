#pragma once

#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "editing/root_placement.h"
#include "motion/motion.h"
#include "motion/planted_legs.h"
#include "motion/pose.h"

// A motion as an edit shows it: where each frame's root goes on the edited path and the legs'
// values that planted feet replace. Work over a whole motion that poses edited frames (the bake,
// the planting, the skate measure, the strobes) reads the edit through it. With neither, the
// edited passes pose the frames as the file places them.
struct EditedMotion {
    // The motion as the file places it, until a placement or legs are given.
    explicit EditedMotion(const Motion& m,
                          std::function<std::optional<RootPlacement>(int frame)> place = {},
                          const PlantedLegs* plantedLegs = nullptr)
        : motion(m), placeRoot(std::move(place)), legs(plantedLegs) {}

    const Motion& motion;
    // Where frame f's root goes; none (or no function): as the file places it.
    std::function<std::optional<RootPlacement>(int frame)> placeRoot;
    const PlantedLegs* legs = nullptr;  // null: the file's own leg values

    // The placement of frame f, in `storage`; null where the file places the root.
    const RootPlacement* placement(int frame, RootPlacement& storage) const {
        const std::optional<RootPlacement> placed =
            placeRoot ? placeRoot(frame) : std::optional<RootPlacement>();
        if (!placed) {
            return nullptr;
        }
        storage = *placed;
        return &storage;
    }
    // poseFrame and poseSome with this edit (the raw passes never ask for the placement).
    bool pose(int frame, PosePass pass, Pose& pose) const {
        RootPlacement storage;
        return poseFrame(motion, frame, pass,
                         isEditedPass(pass) ? placement(frame, storage) : nullptr, legs, pose);
    }
    bool poseSome(int frame, PosePass pass, const std::vector<int>& joints, Pose& pose) const {
        RootPlacement storage;
        return ::poseSome(motion, frame, pass,
                          isEditedPass(pass) ? placement(frame, storage) : nullptr, legs, joints,
                          pose);
    }
};
